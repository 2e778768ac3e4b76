// Text steps painted into images of their own, before the bands, on the
// pool's threads: plain text in its colour, label halos as the glyphs'
// coverage grown by a disc.
#include "plot/text_images.h"

#include "base/thread_pool.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The device box of a step's outlines, grown by `margin` px each way and
// cut to the figure; empty when nothing of it shows.
QRect deviceBox(const SceneStep& step, const QTransform& t, int margin, QSize pixels)
{
    return t.mapRect(step.path.boundingRect()).toAlignedRect().adjusted(-margin, -margin, margin, margin) &
           QRect(QPoint(0, 0), pixels);
}

// A halo under a label: text filled and stroked in one colour, solid with
// round joins, not rotated. Such a shape is the glyphs grown by half the
// stroke width (the stroke of an outline with round joins, joined with its
// inside, is the inside swept by a disc), so it is painted as the glyphs'
// coverage dilated by a disc: a few milliseconds, where stroking the
// outlines of a label takes ten times as long.
bool isHalo(const SceneStep& step)
{
    const QPen& pen = step.pen;
    return step.kind == SceneStep::Kind::Text && pen.style() == Qt::SolidLine && pen.joinStyle() == Qt::RoundJoin &&
           pen.brush().style() == Qt::SolidPattern && step.brush.style() == Qt::SolidPattern &&
           pen.color() == step.brush.color() && step.transform.type() <= QTransform::TxScale;
}

// The outlines of a text path in groups of contours that share no device
// pixel (under t): a glyph's contours, and glyphs that come that close,
// stay together. Each group then fills its pixels exactly as the whole
// path fills them, since no other group covers any part of them.
//
// Design note: Qt's rasterizer takes time that grows with a path's width
// as well as its length, so a line of 80 glyphs filled as one path takes
// six times as long as its glyphs filled one after another.
std::vector<QPainterPath> glyphGroups(const QPainterPath& path, const QTransform& t)
{
    struct Group {
        QRect pixels;
        QPainterPath path;
    };
    std::vector<Group> groups;
    QPainterPath contour;
    // A contour joins every group whose pixels it meets, and those groups
    // become one: a glyph's hole may come after another glyph's contours.
    const auto endContour = [&] {
        if (contour.isEmpty())
            return;
        Group joined{t.mapRect(contour.controlPointRect()).toAlignedRect(), QPainterPath()};
        std::vector<Group> apart;
        for (Group& g : groups) {
            if (g.pixels.intersects(joined.pixels)) {
                joined.pixels |= g.pixels;
                joined.path.addPath(g.path);
            } else {
                apart.push_back(std::move(g));
            }
        }
        joined.path.addPath(contour);
        apart.push_back(std::move(joined));
        groups = std::move(apart);
        contour = QPainterPath();
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            endContour();
            contour.moveTo(e);
        } else if (e.isLineTo()) {
            contour.lineTo(e);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            contour.cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
            i += 2;
        }
    }
    endContour();
    std::vector<QPainterPath> out;
    for (Group& g : groups) {
        g.path.setFillRule(path.fillRule());
        out.push_back(std::move(g.path));
    }
    return out;
}

// Text filled with one solid colour and not stroked, in that colour over
// transparent pixels.
StepImage plainText(const SceneStep& step, const QTransform& t, QSize pixels)
{
    const QRect box = deviceBox(step, t, 1, pixels);
    if (box.isEmpty())
        return {true, {}, {}};
    StepImage out{true, QImage(box.size(), QImage::Format_ARGB32_Premultiplied), box.topLeft()};
    out.image.fill(Qt::transparent);
    QPainter p;
    beginRasterPainting(p, &out.image);
    p.setTransform(t * QTransform::fromTranslate(-box.x(), -box.y()));
    p.setPen(Qt::NoPen);
    p.setBrush(step.brush);
    for (const QPainterPath& group : glyphGroups(step.path, t))
        p.drawPath(group);
    p.end();
    return out;
}

// A halo step (isHalo): the glyphs' coverage grown by a disc of half the
// stroke width, in the step's colour.
StepImage halo(const SceneStep& step, const QTransform& t, QSize pixels)
{
    const double radius = step.pen.widthF() / 2 * std::abs(t.m11());
    const int reach = static_cast<int>(std::ceil(radius)) + 1;
    const QRect box = deviceBox(step, t, reach + 1, pixels);
    if (box.isEmpty())
        return {true, {}, {}};
    // The glyphs' coverage over the box and a margin of `reach` around it,
    // so that glyphs just outside the figure still grow into it. It is
    // painted in ARGB, which the painter fills several times faster than
    // an alpha-only image, and its alpha kept.
    const QRect wide = box.adjusted(-reach, -reach, reach, reach);
    QImage painted(wide.size(), QImage::Format_ARGB32_Premultiplied);
    painted.fill(Qt::transparent);
    {
        QPainter g;
        beginRasterPainting(g, &painted);
        g.setTransform(t * QTransform::fromTranslate(-wide.x(), -wide.y()));
        for (const QPainterPath& group : glyphGroups(step.path, t))
            g.fillPath(group, QColor(0, 0, 0));
    }
    const QImage glyphs = painted.convertToFormat(QImage::Format_Alpha8);
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
    StepImage out{true, QImage(box.size(), QImage::Format_ARGB32_Premultiplied), box.topLeft()};
    for (int y = 0; y < box.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.image.scanLine(y));
        const uchar* row = coverage + y * stride;
        for (int x = 0; x < box.width(); ++x) {
            bool any = false;
            for (int k = 0; k < side && !any; ++k)
                any = near[static_cast<size_t>(y + k) * static_cast<size_t>(box.width()) + static_cast<size_t>(x)] != 0;
            if (!any) {
                line[x] = clear;
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
            line[x] = qPremultiply(qRgba(c.red(), c.green(), c.blue(), a));
        }
    }
    return out;
}

bool isPlainText(const SceneStep& step)
{
    return step.kind == SceneStep::Kind::Text && step.pen.style() == Qt::NoPen &&
           step.brush.style() == Qt::SolidPattern;
}

} // namespace

TextPainter::TextPainter(QSize pixels, ThreadPool& pool) : pixels_(pixels), pool_(pool)
{
    if (pool_.workers() > 0) {
        pool_.start([this](int) { work(); });
        started_ = true;
    }
}

TextPainter::~TextPainter()
{
    if (!started_)
        return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        jobs_.clear();
    }
    added_.notify_all();
    try {
        pool_.wait();
    } catch (...) {
        // Unwinding already: what a worker threw is not news.
    }
}

void TextPainter::add(size_t index, const SceneStep& step, const QRectF& viewBox)
{
    if (!(isHalo(step) || isPlainText(step)) || viewBox.isEmpty() || pixels_.isEmpty())
        return;
    // What painting reads, the path's elements copied: nothing is shared
    // with the caller's step.
    Job job{index, SceneStep(), deviceTransform(viewBox, pixels_)};
    job.step.kind = step.kind;
    job.step.transform = step.transform;
    job.step.pen = step.pen;
    job.step.brush = step.brush;
    job.step.path.setFillRule(step.path.fillRule());
    job.step.path.addPath(step.path);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    added_.notify_one();
}

void TextPainter::work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        added_.wait(lock, [this] { return closed_ || !jobs_.empty(); });
        if (jobs_.empty())
            return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        const QTransform t = job.step.transform * job.device;
        StepImage image = isHalo(job.step) ? halo(job.step, t, pixels_) : plainText(job.step, t, pixels_);
        lock.lock();
        done_.emplace_back(job.index, std::move(image));
    }
}

std::vector<StepImage> TextPainter::finish(size_t steps)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    added_.notify_all();
    work(); // the caller takes its share of what is left
    if (started_) {
        started_ = false;
        pool_.wait();
    }
    std::vector<StepImage> images(steps);
    for (auto& [index, image] : done_)
        if (index < steps)
            images[index] = std::move(image);
    done_.clear();
    return images;
}

std::vector<StepImage> textImages(const SceneDrawing& drawing, QSize pixels, ThreadPool& pool)
{
    TextPainter painter(pixels, pool);
    for (size_t k = 0; k < drawing.steps.size(); ++k)
        painter.add(k, drawing.steps[k], drawing.viewBox);
    return painter.finish(drawing.steps.size());
}
