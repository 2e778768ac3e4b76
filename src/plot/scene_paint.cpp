// Painting a scene's steps (scene_painter.h): onto a vector device with text
// as text, or onto one band of a raster image, with dot groups stamped and
// group opacity composed from layers.
#include "plot/scene_painter.h"

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

// A halo under a label: text filled and stroked in one opaque-or-not
// colour, solid with round joins, not rotated. Such a shape is the glyphs
// grown by half the stroke width (the stroke of an outline with round
// joins, joined with its inside, is the inside swept by a disc), so it is
// painted as the glyphs' coverage dilated by a disc: a few milliseconds,
// where stroking the outlines of a label takes ten times as long.
bool isHalo(const SceneStep& step)
{
    const QPen& pen = step.pen;
    return step.kind == SceneStep::Kind::Text && pen.style() == Qt::SolidLine && pen.joinStyle() == Qt::RoundJoin &&
           pen.brush().style() == Qt::SolidPattern && step.brush.style() == Qt::SolidPattern &&
           pen.color() == step.brush.color() && step.transform.type() <= QTransform::TxScale;
}

// Paints a halo step (isHalo) onto p's device, whose pixels `device` maps
// the figure's px to.
void paintHalo(QPainter& p, const QSize& deviceSize, const SceneStep& step, const QTransform& device)
{
    const QTransform t = step.transform * device;
    const double radius = step.pen.widthF() / 2 * std::abs(t.m11());
    const int reach = static_cast<int>(std::ceil(radius)) + 1;
    const QRect box = t.mapRect(step.path.boundingRect()).toAlignedRect().adjusted(-reach - 1, -reach - 1, reach + 1,
                                                                                  reach + 1) &
                      QRect(QPoint(0, 0), deviceSize);
    if (box.isEmpty())
        return;
    // The glyphs' coverage over the box and a margin of `reach` around it,
    // so that glyphs just outside the device still grow into it.
    const QRect wide = box.adjusted(-reach, -reach, reach, reach);
    QImage glyphs(wide.size(), QImage::Format_Alpha8);
    glyphs.fill(0);
    {
        QPainter g(&glyphs);
        g.setRenderHint(QPainter::Antialiasing);
        g.setTransform(t * QTransform::fromTranslate(-wide.x(), -wide.y()));
        g.fillPath(step.path, QColor(0, 0, 0));
    }
    // Dilation by a disc with the coverage as a distance: a pixel at offset
    // d whose coverage is m has the glyphs' edge about |d| + 0.5 - m px
    // away, so it covers this pixel by radius - |d| + m, clamped to [0, 1].
    //
    // Design note: a pixel's value is the largest of these over the disc,
    // which does not depend on the order the offsets are visited in. They
    // are visited nearest first (largest radius - |d|), so once radius - |d|
    // + 1 is no more than the largest so far, no later offset can exceed it
    // and the walk stops. A pixel with no coverage anywhere in the square
    // around it (found from a row-wise "any coverage" of the glyphs) is 0
    // without a walk. An offset is kept as its distance in bytes from the
    // pixel's place in glyphs.
    struct Offset {
        qsizetype at; // (reach + dy) * bytesPerLine + reach + dx
        double reach; // radius - |d|
    };
    const qsizetype stride = glyphs.bytesPerLine();
    std::vector<Offset> disc;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
            const double left = radius - std::hypot(dx, dy);
            if (left > -1)
                disc.push_back({(reach + dy) * stride + reach + dx, left});
        }
    std::stable_sort(disc.begin(), disc.end(), [](const Offset& a, const Offset& b) { return a.reach > b.reach; });
    const uchar* coverage = glyphs.constBits();
    // near[y][x]: some glyph coverage in row y of glyphs, columns x .. x + 2 * reach.
    const int side = 2 * reach + 1;
    std::vector<uint8_t> near(static_cast<size_t>(wide.height()) * static_cast<size_t>(box.width()), 0);
    for (int y = 0; y < wide.height(); ++y) {
        const uchar* row = coverage + y * stride;
        uint8_t* to = near.data() + static_cast<ptrdiff_t>(y) * box.width();
        int lastCovered = -side; // the last column with coverage, before x + side
        for (int x = 0; x < side - 1; ++x)
            if (row[x] > 0)
                lastCovered = x;
        for (int x = 0; x < box.width(); ++x) {
            if (row[x + side - 1] > 0)
                lastCovered = x + side - 1;
            to[x] = lastCovered >= x;
        }
    }
    const QColor c = step.brush.color();
    const int alpha = c.alpha();
    const QRgb clear = qPremultiply(qRgba(c.red(), c.green(), c.blue(), 0));
    QImage halo(box.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < box.height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(halo.scanLine(y));
        const uchar* row = coverage + y * stride;
        for (int x = 0; x < box.width(); ++x) {
            bool any = false;
            for (int k = 0; k < side && !any; ++k)
                any = near[static_cast<size_t>(y + k) * static_cast<size_t>(box.width()) + static_cast<size_t>(x)] != 0;
            if (!any) {
                out[x] = clear;
                continue;
            }
            double most = 0;
            for (const Offset& d : disc) {
                if (d.reach + 1 <= most)
                    break;
                const int v = row[x + d.at];
                if (v > 0 && (most = std::max(most, std::min(1.0, d.reach + v / 255.0))) == 1)
                    break;
            }
            const int a = static_cast<int>(std::lround(most * alpha));
            out[x] = qPremultiply(qRgba(c.red(), c.green(), c.blue(), a));
        }
    }
    p.save();
    p.resetTransform();
    p.drawImage(box.topLeft(), halo);
    p.restore();
}

void beginPainting(QPainter& p, QImage* image)
{
    p.begin(image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
}

} // namespace

SceneDrawing bandCopy(const SceneDrawing& drawing)
{
    SceneDrawing copy = drawing;
    for (SceneStep& step : copy.steps) {
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

void paintSceneBand(QImage& band, int firstRow, QSize pixels, const SceneDrawing& drawing)
{
    const QRectF& vb = drawing.viewBox;
    if (vb.isEmpty() || pixels.isEmpty())
        return;
    const double sx = pixels.width() / vb.width(), sy = pixels.height() / vb.height();
    const QTransform base = QTransform::fromTranslate(-vb.x(), -vb.y()) * QTransform::fromScale(sx, sy) *
                            QTransform::fromTranslate(0, -firstRow);
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
    QPainter p;
    beginPainting(p, target);
    for (const SceneStep& step : drawing.steps) {
        switch (step.kind) {
        case SceneStep::Kind::Shape:
        case SceneStep::Kind::Text:
            if (!step.bounds.isEmpty() && !step.bounds.intersects(visible))
                break;
            if (isHalo(step)) {
                paintHalo(p, band.size(), step, base);
                break;
            }
            p.setTransform(step.transform * base);
            paintPath(p, step, step.path);
            break;
        case SceneStep::Kind::Dots:
            if (step.stamped && scale > 0) {
                // The stamps write the pixels themselves: no painter open.
                p.end();
                dotter.paint(*target, *step.dots);
                beginPainting(p, target);
            } else if (step.bounds.isEmpty() || step.bounds.intersects(visible)) {
                p.setTransform(step.transform * base);
                p.setPen(step.pen);
                p.setBrush(Qt::NoBrush);
                p.drawPath(step.stamped ? runsPath(*step.dots) : step.path);
            }
            break;
        case SceneStep::Kind::BeginLayer:
            p.end();
            layers.push_back({QImage(band.size(), QImage::Format_ARGB32_Premultiplied), step.opacity});
            layers.back().image.fill(Qt::transparent);
            target = &layers.back().image;
            beginPainting(p, target);
            break;
        case SceneStep::Kind::EndLayer: {
            if (layers.empty())
                break;
            p.end();
            const Layer done = std::move(layers.back());
            layers.pop_back();
            target = layers.empty() ? &band : &layers.back().image;
            beginPainting(p, target);
            p.setOpacity(done.opacity);
            p.drawImage(0, 0, done.image);
            p.setOpacity(1);
            break;
        }
        }
    }
    p.end();
}
