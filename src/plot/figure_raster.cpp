// Raster figures: an SVG drawn onto an image by QtSvg, or in layers (QtSvg
// for the segments, stamps for the dot groups) on two threads, each
// painting one band of rows of the same image.
#include "dot_raster.h"
#include "figure_layers.h"
#include "figure_render.h"

#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <system_error>
#include <thread>

namespace {

constexpr int kBands = 2; // of rows, one a thread

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
bool paintBand(uchar* bits, qsizetype bytesPerLine, QSize pixels, int first, int last, const FigureLayers& layers,
               int scale, QPoint origin)
{
    QImage band(bits + bytesPerLine * first, pixels.width(), last - first, bytesPerLine, QImage::Format_RGB32);
    band.fill(Qt::white);
    DotPainter dots(scale, origin - QPoint(0, first));
    for (size_t k = 0; k < layers.segments.size(); ++k) {
        QSvgRenderer renderer(layers.segments[k]);
        if (!renderer.isValid())
            return false;
        paintSvg(band, renderer, pixels, first);
        if (k < layers.dots.size())
            dots.paint(band, layers.dots[k]);
    }
    return true;
}

bool paintLayers(QImage& image, const QByteArray& svg)
{
    FigureLayers layers;
    QPoint origin;
    int scale = 0;
    if (!splitFigureLayers(svg, &layers) || (scale = wholeScale(layers.viewBox, image.size(), &origin)) == 0)
        return false;
    uchar* bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    const QSize pixels = image.size();
    bool ok[kBands] = {};
    const auto work = [&](int b) {
        ok[b] = paintBand(bits, bytesPerLine, pixels, pixels.height() * b / kBands, pixels.height() * (b + 1) / kBands,
                          layers, scale, origin);
    };
    std::thread helper;
    try {
        helper = std::thread(work, 1);
    } catch (const std::system_error&) {
        work(1); // no thread to be had: the same bands, one after the other
    }
    work(0);
    if (helper.joinable())
        helper.join();
    return ok[0] && ok[1];
}

} // namespace

QImage rasterFigure(const QByteArray& svg, QSize pixels, RasterMethod method, QString* error)
{
    QImage image(pixels, QImage::Format_RGB32);
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("an image of %1 x %2 pixels is too large").arg(pixels.width()).arg(pixels.height());
        return image;
    }
    if (method == RasterMethod::Layered && paintLayers(image, svg))
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
