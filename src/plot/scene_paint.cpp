// Painting a scene's steps (scene_painter.h): onto a vector device with text
// as text, or onto one band of a raster image, with dot groups stamped and
// group opacity composed from layers.
#include "plot/scene_painter.h"

#include "plot/rect_fill.h"
#include "plot/text_images.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>

namespace {

// The runs of a dot group as the path a browser strokes: a dot is a stroke
// of 0.1 px, as the SVG writes it.
QPainterPath runsPath(const DotGroup& g)
{
    QPainterPath path;
    for (const DotRun& r : g.runs) {
        path.moveTo(r.x, r.y);
        path.lineTo(r.x, r.y + (r.length > 0 ? r.length : 0.1));
    }
    return path;
}

void paintPath(QPainter& p, const SceneStep& step, const QPainterPath& path)
{
    p.setPen(step.pen);
    p.setBrush(step.brush);
    p.drawPath(path);
}

// The whole scale from the viewBox to the pixels, or 0 where the viewBox
// does not put whole px on whole device pixels; origin gets where px (0, 0)
// falls.
int wholeScale(const QRectF& viewBox, QSize pixels, QPoint* origin)
{
    const double sx = pixels.width() / viewBox.width(), sy = pixels.height() / viewBox.height();
    const int s = static_cast<int>(std::lround(sx));
    const double ox = -viewBox.x() * s, oy = -viewBox.y() * s;
    if (s < 1 || sx != s || sy != s || ox != std::round(ox) || oy != std::round(oy))
        return 0;
    *origin = QPoint(static_cast<int>(ox), static_cast<int>(oy));
    return s;
}

// A step that is a rectangle filled in one colour under a transform that
// neither rotates nor shears, painted onto the band itself (not a layer):
// its device rectangle and colour.
bool plainRect(const SceneStep& step, const QTransform& base, bool ontoBand, ColourRect* out)
{
    if (!ontoBand || step.kind != SceneStep::Kind::Shape || step.pen.style() != Qt::NoPen ||
        step.brush.style() != Qt::SolidPattern)
        return false;
    const QTransform t = step.transform * base;
    QRectF rect;
    if (t.type() > QTransform::TxScale || !pathRect(step.path, &rect))
        return false;
    *out = {t.mapRect(rect), step.brush.color()};
    return true;
}

} // namespace

void beginRasterPainting(QPainter& p, QImage* image)
{
    p.begin(image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
}

QTransform deviceTransform(const QRectF& viewBox, QSize pixels)
{
    return QTransform::fromTranslate(-viewBox.x(), -viewBox.y()) *
           QTransform::fromScale(pixels.width() / viewBox.width(), pixels.height() / viewBox.height());
}

SceneDrawing bandCopy(const SceneDrawing& drawing, const std::vector<StepImage>& images)
{
    SceneDrawing copy = drawing;
    for (size_t k = 0; k < copy.steps.size(); ++k) {
        SceneStep& step = copy.steps[k];
        if (k < images.size() && images[k].taken) {
            step.path = QPainterPath(); // painted from its image
            continue;
        }
        if (step.path.isEmpty())
            continue;
        QPainterPath fresh;
        fresh.setFillRule(step.path.fillRule());
        fresh.addPath(step.path); // copies the elements: nothing shared
        step.path = std::move(fresh);
    }
    return copy;
}

void paintSceneVector(QPainter& p, const SceneDrawing& drawing)
{
    const QTransform base = p.transform();
    for (const SceneStep& step : drawing.steps) {
        p.setTransform(step.transform * base);
        switch (step.kind) {
        case SceneStep::Kind::Shape:
            paintPath(p, step, step.path);
            break;
        case SceneStep::Kind::Text:
            if (step.pen.style() != Qt::NoPen) {
                // A stroked outline (the halo under a label) is no text to
                // copy or search: its outlines.
                paintPath(p, step, step.path);
            } else if (step.brush.style() != Qt::NoBrush) {
                p.scale(1.0 / SceneStep::kTextScale, 1.0 / SceneStep::kTextScale);
                p.setFont(step.font);
                p.setPen(QPen(step.brush, 1));
                p.drawText(step.origin, step.text);
            }
            break;
        case SceneStep::Kind::Dots:
            p.setPen(step.pen);
            p.setBrush(Qt::NoBrush);
            p.drawPath(step.stamped ? runsPath(*step.dots) : step.path);
            break;
        case SceneStep::Kind::BeginLayer:
            // A PDF page has no layers here: the opacity applies to each
            // shape of the group, which differs only where they overlap.
            p.save();
            p.setOpacity(p.opacity() * step.opacity);
            break;
        case SceneStep::Kind::EndLayer:
            p.restore();
            break;
        }
    }
    p.setTransform(base);
}

void paintSceneBand(QImage& band, int firstRow, QSize pixels, const SceneDrawing& drawing,
                    const std::vector<StepImage>& images)
{
    const QRectF& vb = drawing.viewBox;
    if (vb.isEmpty() || pixels.isEmpty())
        return;
    const QTransform base = deviceTransform(drawing.viewBox, pixels) * QTransform::fromTranslate(0, -firstRow);
    const QRect rows(0, firstRow, band.width(), band.height());
    // The band's rows in the figure's px, for leaving out what lies elsewhere.
    const QRectF visible = base.inverted().mapRect(QRectF(0, 0, band.width(), band.height()));
    QPoint origin;
    const int scale = wholeScale(vb, pixels, &origin);
    DotPainter dotter(scale, origin - QPoint(0, firstRow));

    // Layers of group opacity over the band, the innermost last.
    struct Layer {
        QImage image;
        double opacity;
    };
    std::deque<Layer> layers;
    QImage* target = &band;
    // The painter is open only while it paints: rectangles and dot stamps
    // write the pixels themselves.
    QPainter p;
    const auto painter = [&]() -> QPainter& {
        if (!p.isActive())
            beginRasterPainting(p, target);
        return p;
    };
    const auto pixelsOnly = [&] {
        if (p.isActive())
            p.end();
    };
    for (size_t k = 0; k < drawing.steps.size(); ++k) {
        const SceneStep& step = drawing.steps[k];
        switch (step.kind) {
        case SceneStep::Kind::Shape:
        case SceneStep::Kind::Text: {
            if (k < images.size() && images[k].taken) {
                const StepImage& image = images[k];
                if (!image.image.isNull() && rows.intersects(QRect(image.at, image.image.size()))) {
                    painter().resetTransform();
                    p.drawImage(image.at - QPoint(0, firstRow), image.image);
                }
                break;
            }
            if (!step.bounds.isEmpty() && !step.bounds.intersects(visible))
                break;
            // A run of rectangles in one colour each is filled row by row.
            std::vector<ColourRect> rects;
            for (size_t r = k; r < drawing.steps.size(); ++r) {
                ColourRect next;
                if (!plainRect(drawing.steps[r], base, target == &band, &next))
                    break;
                rects.push_back(next);
                k = r;
            }
            if (!rects.empty()) {
                pixelsOnly();
                fillRectsExactly(band, rects);
                break;
            }
            const QTransform t = step.transform * base;
            painter().setTransform(t);
            paintPath(p, step, step.path);
            break;
        }
        case SceneStep::Kind::Dots:
            if (step.stamped && scale > 0) {
                pixelsOnly();
                dotter.paint(*target, *step.dots);
            } else if (step.bounds.isEmpty() || step.bounds.intersects(visible)) {
                painter().setTransform(step.transform * base);
                p.setPen(step.pen);
                p.setBrush(Qt::NoBrush);
                p.drawPath(step.stamped ? runsPath(*step.dots) : step.path);
            }
            break;
        case SceneStep::Kind::BeginLayer:
            pixelsOnly();
            layers.push_back({QImage(band.size(), QImage::Format_ARGB32_Premultiplied), step.opacity});
            layers.back().image.fill(Qt::transparent);
            target = &layers.back().image;
            break;
        case SceneStep::Kind::EndLayer: {
            if (layers.empty())
                break;
            pixelsOnly();
            const Layer done = std::move(layers.back());
            layers.pop_back();
            target = layers.empty() ? &band : &layers.back().image;
            painter().setOpacity(done.opacity);
            p.drawImage(0, 0, done.image);
            p.setOpacity(1);
            break;
        }
        }
    }
    pixelsOnly();
}
