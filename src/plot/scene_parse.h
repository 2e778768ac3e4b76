// The value syntaxes of a scene's attributes that the painter reads: numbers,
// colours, path data, transforms, dash arrays and font families. Internal
// to the plot library (scene_painter).
#pragma once
#include <QColor>
#include <QPainterPath>
#include <QString>
#include <QStringList>
#include <QTransform>
#include <QVector>

namespace sceneparse {

// A whole value that is one number (a trailing "%" or "px" not allowed);
// false for anything else.
bool number(const QString& text, double* value);
// A number or a percentage (as a fraction: "25%" is 0.25).
bool fraction(const QString& text, double* value);
// "#rgb", "#rrggbb" or a colour keyword; false for anything else (and for
// "none" and url(...), which the caller handles).
bool colour(const QString& text, QColor* value);
// The path data commands M, L, H, V and Z in either case, with implicit
// repetition; false for any other command or a malformed number.
bool pathData(const QString& d, QPainterPath* path);
bool pathData(const char* d, size_t size, QPainterPath* path);
// A list of rotate(a [cx cy]), translate(x [y]) and scale(s [t]), as one
// transform in Qt's row-vector order (the first in the list applies last,
// as in SVG).
bool transform(const QString& text, QTransform* value);
// "none" (an empty list) or non-negative numbers separated by commas or
// spaces, not all zero; an odd count is repeated, as SVG says.
bool dashArray(const QString& text, QVector<qreal>* value);
// A font-family list: names split at commas, quotes removed.
QStringList fontFamilies(const QString& text);

} // namespace sceneparse
