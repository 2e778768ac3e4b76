// Raster figures: an SVG drawn onto an image by QtSvg, or in layers (QtSvg
// for the segments, stamps for the dot groups) on two threads, each
// painting one band of rows of the same image and, for a PNG file, packing
// it.
#include "plot/dot_raster.h"
#include "plot/figure_layers.h"
#include "plot/figure_render.h"
#include "plot/png_encoder.h"
#include "base/thread_pool.h"

#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/mman.h>
#include <vector>

namespace {

constexpr int kBands = 2; // of rows, one a thread

// A blank image of Format_RGB32 whose memory the kernel may back with huge
// pages: a figure's tens of megabytes then cost a few page faults, not
// thousands. Null when the memory cannot be had.
QImage newImage(QSize pixels)
{
    if (pixels.isEmpty())
        return {};
    const qsizetype bytesPerLine = qsizetype(pixels.width()) * 4;
    const size_t bytes = size_t(bytesPerLine) * size_t(pixels.height());
    constexpr size_t kHuge = size_t(2) << 20;
    const size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
    void* memory = std::aligned_alloc(kHuge, rounded);
    if (!memory)
        return {};
#ifdef MADV_HUGEPAGE
    madvise(memory, rounded, MADV_HUGEPAGE); // a hint: without it, ordinary pages
#endif
    return QImage(static_cast<uchar*>(memory), pixels.width(), pixels.height(), bytesPerLine, QImage::Format_RGB32,
                  [](void* p) { std::free(p); }, memory);
}

void paintSvg(QImage& image, QSvgRenderer& renderer, QSize pixels, int firstRow)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(0, -firstRow);
    renderer.render(&painter, QRectF(0, 0, pixels.width(), pixels.height()));
}

// The whole scale from the viewBox to the image, or 0 where the viewBox
// does not put whole px on whole device pixels.
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

// Rows [first, last) of the figure into their band of the image's pixels,
// where the image has `pixels` size and bytesPerLine.
bool paintBand(uchar* bits, qsizetype bytesPerLine, QSize pixels, int first, int last,
               const std::vector<QByteArray>& segments, const FigureLayers& layers, int scale, QPoint origin)
{
    QImage band(bits + bytesPerLine * first, pixels.width(), last - first, bytesPerLine, QImage::Format_RGB32);
    band.fill(Qt::white);
    DotPainter dots(scale, origin - QPoint(0, first));
    for (size_t k = 0; k < segments.size(); ++k) {
        QSvgRenderer renderer(segments[k]);
        if (!renderer.isValid())
            return false;
        paintSvg(band, renderer, pixels, first);
        if (k < layers.dots.size())
            for (const DotGroup& group : layers.dots[k])
                dots.paint(band, group);
    }
    return true;
}

// Paints image in kBands bands of rows, one a thread, calling then(band,
// first row, last row) on each band's thread when it is painted.
template <typename Then>
bool paintLayers(QImage& image, const QByteArray& svg, const Then& then)
{
    FigureLayers layers;
    QPoint origin;
    int scale = 0;
    if (!splitFigureLayers(svg, kBands, &layers) || (scale = wholeScale(layers.viewBox, image.size(), &origin)) == 0)
        return false;
    uchar* bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    const QSize pixels = image.size();
    bool ok[kBands] = {};
    ThreadPool pool(kBands - 1);
    pool.parallelFor(kBands, [&](size_t band, int) {
        const int b = static_cast<int>(band);
        const int first = pixels.height() * b / kBands, last = pixels.height() * (b + 1) / kBands;
        ok[b] = paintBand(bits, bytesPerLine, pixels, first, last, layers.segments[b], layers, scale, origin);
        if (ok[b])
            then(b, first, last);
    });
    return std::all_of(ok, ok + kBands, [](bool b) { return b; });
}

} // namespace

QImage rasterFigure(const QByteArray& svg, QSize pixels, RasterMethod method, QString* error)
{
    QImage image = newImage(pixels);
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("an image of %1 x %2 pixels is too large").arg(pixels.width()).arg(pixels.height());
        return image;
    }
    if (method == RasterMethod::Layered && paintLayers(image, svg, [](int, int, int) {}))
        return image;
    image.fill(Qt::white); // a document that did not split may have been painted in part
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        if (error)
            *error = QStringLiteral("the figure's SVG could not be read");
        return {};
    }
    paintSvg(image, renderer, pixels, 0);
    return image;
}

QByteArray pngFigure(const QByteArray& svg, QSize pixels, int dotsPerMetre, QString* error)
{
    QImage image = newImage(pixels);
    if (!image.isNull()) {
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        std::vector<PngPart> parts(kBands);
        // Each band is packed as soon as it is painted, on its own thread.
        if (paintLayers(image, svg, [&](int b, int first, int last) {
                parts[b] = packPngRows(image, first, last, b + 1 == kBands);
            }))
            return assemblePng(image, parts);
    }
    image = rasterFigure(svg, pixels, RasterMethod::QtSvgOnly, error);
    if (image.isNull())
        return {};
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return encodePng(image);
}
