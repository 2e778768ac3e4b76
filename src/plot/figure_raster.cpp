// Raster figures: a scene's painting steps (scene_painter.h) painted onto
// an image on two threads, the text first, step by step (text_images.h),
// then band by band, each band packed into its part of the PNG stream by
// the thread that painted it.
#include "plot/figure_raster.h"

#include "plot/png_encoder.h"
#include "plot/text_images.h"
#include "base/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/mman.h>
#include <vector>

namespace {

constexpr int kThreads = 2;

// The bands of an image of `rows` rows: none empty.
int bandsOf(int rows, int bands = kRasterBands) { return std::max(1, std::min(bands, rows)); }

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

// Paints image in `bands` bands of rows on the pool's threads, the text
// from its images, calling then(band, first row, last row) on each band's
// thread when it is painted. Each thread but the caller paints its own
// copy of the steps.
template <typename Then>
void paintBands(QImage& image, const SceneDrawing& drawing, const std::vector<StepImage>& text, ThreadPool& pool,
                int bands, const Then& then)
{
    std::vector<SceneDrawing> copies;
    for (int w = 0; w < pool.workers(); ++w)
        copies.push_back(bandCopy(drawing, text));
    uchar* bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    const QSize pixels = image.size();
    pool.parallelFor(static_cast<size_t>(bands), [&](size_t band, int slot) {
        const int b = static_cast<int>(band);
        const int first = pixels.height() * b / bands, last = pixels.height() * (b + 1) / bands;
        QImage rows(bits + bytesPerLine * first, pixels.width(), last - first, bytesPerLine, QImage::Format_RGB32);
        rows.fill(Qt::white);
        paintSceneBand(rows, first, pixels, slot == 0 ? drawing : copies[static_cast<size_t>(slot - 1)], text);
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

QImage rasterScene(const SceneDrawing& drawing, QSize pixels, QString* error, int bands)
{
    QImage image = blank(pixels, error);
    if (image.isNull())
        return image;
    ThreadPool pool(kThreads - 1);
    const std::vector<StepImage> text = textImages(drawing, pixels, pool);
    paintBands(image, drawing, text, pool, bandsOf(pixels.height(), bands), [](int, int, int) {});
    return image;
}

QByteArray pngOfScene(const Scene& scene, QSize pixels, int dotsPerMetre, QString* error)
{
    QImage image = blank(pixels, error);
    if (image.isNull())
        return {};
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    ThreadPool pool(kThreads - 1);
    // The text is painted on the worker as the steps are read.
    SceneDrawing drawing;
    std::vector<StepImage> text;
    {
        TextPainter painter(pixels, pool);
        drawing = drawScene(scene, true, [&painter](size_t k, const SceneStep& step, const QRectF& viewBox) {
            painter.add(k, step, viewBox);
        });
        text = painter.finish(drawing.steps.size());
    }
    if (drawing.viewBox.isEmpty()) {
        if (error)
            *error = QStringLiteral("the figure has no drawing area");
        return {};
    }
    const int bands = bandsOf(pixels.height());
    std::vector<PngPart> parts(static_cast<size_t>(bands));
    // Each band is packed as soon as it is painted, on its own thread.
    paintBands(image, drawing, text, pool, bands,
               [&](int b, int first, int last) { parts[b] = packPngRows(image, first, last, b + 1 == bands); });
    return assemblePng(image, parts);
}
