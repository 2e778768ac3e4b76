// Raster figures: a scene's painting steps (scene_painter.h) painted onto
// an image in two bands of rows on two threads, each band packed into its
// part of the PNG stream by the thread that painted it.
#include "plot/figure_raster.h"

#include "plot/png_encoder.h"
#include "base/thread_pool.h"

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

// Paints image in kBands bands of rows, one a thread, calling then(band,
// first row, last row) on each band's thread when it is painted. Each band
// but the first paints its own copy of the steps.
template <typename Then>
void paintBands(QImage& image, const SceneDrawing& drawing, const Then& then)
{
    std::vector<SceneDrawing> copies;
    for (int b = 1; b < kBands; ++b)
        copies.push_back(bandCopy(drawing));
    uchar* bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    const QSize pixels = image.size();
    ThreadPool pool(kBands - 1);
    pool.parallelFor(kBands, [&](size_t band, int) {
        const int b = static_cast<int>(band);
        const int first = pixels.height() * b / kBands, last = pixels.height() * (b + 1) / kBands;
        QImage rows(bits + bytesPerLine * first, pixels.width(), last - first, bytesPerLine, QImage::Format_RGB32);
        rows.fill(Qt::white);
        paintSceneBand(rows, first, pixels, b == 0 ? drawing : copies[static_cast<size_t>(b - 1)]);
        then(b, first, last);
    });
}

QImage blank(QSize pixels, QString* error)
{
    QImage image = newImage(pixels);
    if (image.isNull() && error)
        *error = QStringLiteral("an image of %1 x %2 pixels is too large").arg(pixels.width()).arg(pixels.height());
    return image;
}

} // namespace

QImage rasterScene(const SceneDrawing& drawing, QSize pixels, QString* error)
{
    QImage image = blank(pixels, error);
    if (!image.isNull())
        paintBands(image, drawing, [](int, int, int) {});
    return image;
}

QByteArray pngScene(const SceneDrawing& drawing, QSize pixels, int dotsPerMetre, QString* error)
{
    QImage image = blank(pixels, error);
    if (image.isNull())
        return {};
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    std::vector<PngPart> parts(kBands);
    // Each band is packed as soon as it is painted, on its own thread.
    paintBands(image, drawing,
               [&](int b, int first, int last) { parts[b] = packPngRows(image, first, last, b + 1 == kBands); });
    return assemblePng(image, parts);
}
