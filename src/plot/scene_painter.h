// The QPainter back end of the figure's scene (figure_scene.h): the scene
// is read once into a list of painting steps in document order (shapes
// and text as painter paths, dot groups as runs, group opacity as layers),
// with every style resolved as SVG inherits it, then painted onto a PDF page
// (text as text) or onto bands of a raster image (text from images of its
// glyph outlines, one-colour rectangles and dot groups written straight
// into the pixels).
//
// Threads: reading the scene lays out the text with Qt's fonts, so it runs
// on one thread; painting a band touches no font, and each band thread
// paints its own copy of the steps (bandCopy), since painter paths keep
// caches they fill when painted.
#pragma once
#include "plot/dot_raster.h"
#include "plot/figure_scene.h"

#include <QBrush>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <QSize>
#include <QStringList>
#include <QTransform>

#include <functional>
#include <memory>
#include <vector>

// One painting step. Shape: path filled with brush, then stroked with pen.
// Text: one stretch of text of one style, its glyph outlines in path (for
// raster images) and font, origin and text (for a PDF page, where text
// with a stroke is painted from its outlines). Dots: a dot group. Layer
// steps paint what lies between them onto a layer, composed with opacity.
struct SceneStep {
    enum class Kind { Shape, Text, Dots, BeginLayer, EndLayer };
    Kind kind = Kind::Shape;
    QTransform transform; // the element's px to the figure's px
    QPainterPath path;
    QPen pen{Qt::NoPen};
    QBrush brush{Qt::NoBrush};
    QRectF bounds; // in the figure's px, the stroke included; empty: unknown
    // Text: the font at kTextScale times the figure's size, and the origin
    // in px times kTextScale (path holds the outlines in px).
    static constexpr int kTextScale = 32;
    QFont font;
    QPointF origin;
    QString text;
    // Dots: the runs, when they are stamped (whole px, no transform, no
    // dashes), else painted by stroking path with pen. Shared by the
    // copies of the steps: the bands only read it.
    std::shared_ptr<const DotGroup> dots;
    bool stamped = false;
    double opacity = 1; // BeginLayer
};

struct SceneDrawing {
    QSize size;     // the root's width and height, in px
    QRectF viewBox; // the root's, or (0, 0, size)
    std::vector<SceneStep> steps;
    // What the painter met and does not draw as a browser would: elements,
    // attributes and values it does not know, each once ("tspan@x",
    // "path@d=M1 2A..."). Empty for every figure the panels draw.
    QStringList notUnderstood;
};

// Called on the reading thread with each text step as soon as it is read:
// its index among the steps, and the root's viewBox.
using SceneTextHook = std::function<void(size_t index, const SceneStep& step, const QRectF& viewBox)>;

// The painting steps of scene. layoutText false leaves the text steps
// without glyphs, width or font lookup (for checking a scene without fonts).
SceneDrawing drawScene(const Scene& scene, bool layoutText = true, const SceneTextHook& onText = {});
// What in scene the painter does not draw (SceneDrawing::notUnderstood).
QStringList sceneNotUnderstood(const Scene& scene);
// The size the root declares (width and height); empty when it declares none.
QSize sceneSize(const Scene& scene);

struct StepImage;
// A copy of the steps that shares no painter path with drawing; the steps
// images takes (text_images.h) keep no path, since a band draws them from
// their images.
SceneDrawing bandCopy(const SceneDrawing& drawing, const std::vector<StepImage>& images = {});

// Paints the drawing onto a PDF page (or any vector device) whose painter
// maps the figure's px to the page.
void paintSceneVector(QPainter& painter, const SceneDrawing& drawing);

// A viewBox onto the device pixels of a figure of `pixels`.
QTransform deviceTransform(const QRectF& viewBox, QSize pixels);
// Begins painting onto a raster image (a band, a layer, a text's image)
// with the figure's antialiasing.
void beginRasterPainting(QPainter& p, QImage* image);

// Paints the rows [firstRow, firstRow + band.height()) of the drawing, at
// `pixels` for the whole figure, onto band (Format_RGB32, filled white by
// the caller). The steps images takes (text_images.h) are drawn from them.
void paintSceneBand(QImage& band, int firstRow, QSize pixels, const SceneDrawing& drawing,
                    const std::vector<StepImage>& images);
