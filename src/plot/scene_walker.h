// Internal to the scene painter: the style a scene's elements inherit and
// the walk that reads a scene into painting steps (scene_painter.cpp: the
// elements; scene_style.cpp: attributes, paints and pens; scene_text.cpp:
// text layout).
#pragma once
#include "plot/scene_painter.h"

#include <QGradient>
#include <QHash>
#include <QPainterPath>
#include <QSet>

#include <initializer_list>
#include <map>
#include <vector>

namespace scenewalk {

struct Paint {
    enum class Kind { None, Colour, Url } kind = Kind::None;
    QColor colour;
    QString id; // Url
};

// The inherited properties (opacity and transform are not inherited: they
// apply to the element and its subtree as a whole).
struct Style {
    Paint fill{Paint::Kind::Colour, QColor(Qt::black), QString()};
    Paint stroke;
    double fillOpacity = 1, strokeOpacity = 1, strokeWidth = 1, miterLimit = 4, dashOffset = 0;
    QVector<qreal> dash;
    Qt::PenCapStyle cap = Qt::FlatCap;
    Qt::PenJoinStyle join = Qt::SvgMiterJoin;
    QStringList families{QStringLiteral("sans-serif")};
    double fontSize = 16;
    int weight = 400;
    enum class Anchor { Start, Middle, End } anchor = Anchor::Start;
    bool preserveSpace = false;
};

struct Gradient {
    QGradientStops stops;
    double x1 = 0, y1 = 0, x2 = 1, y2 = 0; // fractions of the bounding box
};

// A stretch of a text element in one style, at a y offset from the text's y.
struct Stretch {
    Style style;
    QString text;
    double dy = 0;
};

// Reads a scene into out's steps; one walker a scene, on one thread.
class Walker {
public:
    Walker(SceneDrawing& out, bool layoutText, const SceneTextHook& onText)
        : out_(out), layout_(layoutText), onText_(onText)
    {
    }
    void root(const SceneNode& n);

private:
    void note(const QString& what);
    // Style and element-wide attributes; geometry names those the element
    // reads itself. Returns the element's opacity.
    double readAttrs(const SceneNode& n, Style& s, QTransform& world, std::initializer_list<const char*> geometry);
    bool paintOf(const QString& v, Paint* p);
    bool styleAttr(const QString& name, const QString& v, Style& s, double& opacity, QTransform& world);
    void collectGradients(const SceneNode& n);
    QBrush brushOf(const Paint& p, double opacity, const QRectF& box) const;
    QPen penOf(const Style& s, const QRectF& box) const;
    void addShape(QPainterPath path, const Style& s, const QTransform& world, bool filled = true);
    void element(const SceneNode& n, Style s, QTransform world);
    void shape(const SceneNode& n, const Style& s, const QTransform& world);
    void dots(const SceneNode& n, const Style& s, const QTransform& world);
    void text(const SceneNode& n, Style s, const QTransform& world);
    double stretches(const SceneNode& n, const Style& s, double dy, std::vector<Stretch>& out);
    // A stretch of text laid out once per font and text: its advance and
    // its glyph outlines with the origin at (0, 0), in px. A figure says
    // many texts more than once (a label and its halo, tick values).
    struct Laid {
        double advance = 0;
        QPainterPath path;
    };
    const Laid& laidOut(const Style& s, const QString& text);

    SceneDrawing& out_;
    bool layout_;
    const SceneTextHook& onText_;
    std::map<QString, Gradient> gradients_;
    QSet<QString> noted_;
    QHash<QString, Laid> laid_; // by the layout font's key and the text
    QHash<QString, QPainterPath> glyphs_; // outlines by face, size, weight and glyph
};

} // namespace scenewalk
