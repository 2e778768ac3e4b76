// Raster figures: the layered painting (dot groups from stamps, the rest by
// QtSvg) against QtSvg painting the whole document, on a dense genome-wide
// figure, a regional one and documents that do not split; the PNG encoder's
// two-part stream read back by Qt for odd sizes.
#include "plot/figure_layers.h"
#include "figure_app.h"
#include "plot/figure_render.h"
#include "plot/plot_svg.h"
#include "plot_test_tables.h"
#include "plot/png_encoder.h"
#include "plot/regional_svg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>

namespace {

QByteArray genomeSvg(int64_t rows, int peaks)
{
    return figureSvg(genomeModel(rows, peaks), PlotSettings{QStringLiteral("t.tsv")});
}

// Pixels whose largest channel difference exceeds `by`.
int64_t differing(const QImage& a, const QImage& b, int by)
{
    int64_t n = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            n += std::max({qAbs(qRed(p[x]) - qRed(q[x])), qAbs(qGreen(p[x]) - qGreen(q[x])),
                           qAbs(qBlue(p[x]) - qBlue(q[x]))}) > by;
    }
    return n;
}

// Layered and whole-document painting agree but for rounding at the edges
// of dots (a few units) and, where dots overlap, the rasteriser's own sum:
// a dot moved by one device pixel, a wrong colour or a layer out of order
// changes thousands of pixels by far more.
void expectSameFigure(const QByteArray& svg, QSize pixels)
{
    const QImage layered = rasterFigure(svg, pixels, RasterMethod::Layered);
    const QImage whole = rasterFigure(svg, pixels, RasterMethod::QtSvgOnly);
    ASSERT_EQ(layered.size(), pixels);
    ASSERT_EQ(whole.size(), pixels);
    const int64_t all = int64_t(pixels.width()) * pixels.height();
    EXPECT_LT(differing(layered, whole, 2), all / 100);
    EXPECT_LE(differing(layered, whole, 32), all / 1000);
    EXPECT_EQ(differing(layered, whole, 128), 0);
}

} // namespace

TEST(FigureRaster, LayersSplitAtEachDotGroup)
{
    const QByteArray svg = genomeSvg(60000, 10);
    FigureLayers layers;
    ASSERT_TRUE(splitFigureLayers(svg, 1, &layers));
    // Markers (a group a chromosome, one after another), then QQ points,
    // with the panels' axes, marks and labels around them.
    ASSERT_EQ(layers.dots.size(), 2u);
    EXPECT_EQ(layers.dots[0].size(), 22u);
    EXPECT_EQ(layers.dots[1].size(), 1u);
    ASSERT_EQ(layers.segments.size(), 1u);
    EXPECT_EQ(layers.segments[0].size(), 3u);
    EXPECT_EQ(layers.viewBox, QRectF(0, 0, 1600, 900));
    int64_t runs = 0, strokes = 0;
    for (const std::vector<DotGroup>& layer : layers.dots)
        for (const DotGroup& g : layer) {
            EXPECT_EQ(g.width, 3);
            runs += static_cast<int64_t>(g.runs.size());
            for (const DotRun& r : g.runs)
                strokes += r.length > 0;
        }
    int64_t commands = 0;
    const QRegularExpression dotPaths(QStringLiteral("class=\"(markers|qq-points)\" d=\"([^\"]*)\""));
    for (auto m = dotPaths.globalMatch(QString::fromUtf8(svg)); m.hasNext();)
        commands += m.next().captured(2).count(u'M');
    EXPECT_EQ(runs, commands);
    EXPECT_GT(strokes, 0);
    // Everything else stays: the segments hold the labels, and no dot path.
    const auto joined = [](const std::vector<QByteArray>& segments) {
        QByteArray all;
        for (const QByteArray& s : segments)
            all += s;
        return all;
    };
    const QByteArray rest = joined(layers.segments[0]);
    EXPECT_EQ(rest.count("class=\"chrom-label\""), svg.count("class=\"chrom-label\""));
    EXPECT_EQ(rest.count("<path class=\"markers\""), 0);
    // In two bands, the chromosome labels under the axis are the lower
    // band's alone; the peak bands, as tall as the plot, are in both.
    FigureLayers halves;
    ASSERT_TRUE(splitFigureLayers(svg, 2, &halves));
    ASSERT_EQ(halves.segments.size(), 2u);
    EXPECT_EQ(joined(halves.segments[0]).count("chrom-label"), 0);
    EXPECT_EQ(joined(halves.segments[1]).count("chrom-label"), svg.count("class=\"chrom-label\""));
    for (const auto& band : halves.segments)
        EXPECT_EQ(joined(band).count("class=\"peak-band\""), svg.count("class=\"peak-band\""));

    // What is not a plain dot group is not split.
    for (const char* odd : {"<g fill=\"none\" stroke=\"#123456\" stroke-width=\"3\" stroke-linecap=\"round\">"
                            "<path d=\"M1 2L3 4\"/></g>",
                            "<g transform=\"translate(1 0)\"><rect width=\"5\" height=\"5\"/></g>",
                            "<g fill=\"none\" stroke=\"#123456\" stroke-width=\"3\" stroke-linecap=\"round\">"
                            "<path d=\"M1.5 2v.1\"/></g>"}) {
        const QByteArray doc = QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\" "
                                          "viewBox=\"0 0 10 10\">") +
                               odd + "</svg>";
        EXPECT_FALSE(splitFigureLayers(doc, 2, &layers)) << odd;
    }
    EXPECT_FALSE(splitFigureLayers("<svg xmlns=\"http://www.w3.org/2000/svg\"/>", 2, &layers)); // no viewBox
}

TEST(FigureRaster, LayeredPaintingMatchesQtSvg)
{
    ensureGui();
    expectSameFigure(genomeSvg(300000, 30), QSize(3200, 1800));
    expectSameFigure(genomeSvg(300000, 30), QSize(1600, 900)); // scale 1

    RegionalFigure r;
    r.chromosome = "chr2";
    r.windowStart = 1000000;
    r.windowEnd = 1400000;
    PlotRng rng(3);
    for (int32_t pos = 1000000; pos < 1400000; pos += 150) {
        r.positions.push_back(pos);
        r.values.push_back(std::abs(pos - 1200000) < 40000 ? 6 + 8 * rng.uniform() : 3 * rng.uniform());
    }
    r.leadPosition = 1200000;
    r.leadId = "rs1";
    r.leadValue = 14;
    r.peaks = {{1150000, 1250000, 4.2, "4.2"}};
    r.status = "peak";
    expectSameFigure(regionalSvg(r), QSize(2400, 1350));

    // Text, a ring and a path across the line between the bands, next to
    // a dot group: each band draws its part.
    const QByteArray across =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\" viewBox=\"0 0 400 300\">"
        "<rect width=\"400\" height=\"300\" fill=\"#ffffff\"/>"
        "<text x=\"20\" y=\"160\" font-size=\"30\" stroke=\"#ffffff\" stroke-width=\"4\">Ågjpq 150</text>"
        "<text x=\"20\" y=\"160\" font-size=\"30\">Ågjpq 150</text>"
        "<g fill=\"none\" stroke=\"#1f4e79\" stroke-width=\"3\" stroke-linecap=\"round\">"
        "<path d=\"M300 100V200M310 149v.1\"/></g>"
        "<circle cx=\"250\" cy=\"150\" r=\"12\" fill=\"none\" stroke=\"#1a1a1a\" stroke-width=\"1.3\"/>"
        "<path d=\"M200 140L190 160L210 160Z\" fill=\"none\" stroke=\"#7b3294\" stroke-width=\"2\"/></svg>";
    EXPECT_EQ(differing(rasterFigure(across, QSize(800, 600), RasterMethod::Layered),
                        rasterFigure(across, QSize(800, 600), RasterMethod::QtSvgOnly), 2),
              0);

    // A document that does not split is painted whole, the same either way.
    const QByteArray odd = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"50\" viewBox=\"0 0 100 50\">"
                           "<g transform=\"translate(10 0)\"><rect width=\"30\" height=\"20\" fill=\"#ff0000\"/></g>"
                           "<g fill=\"none\" stroke=\"#1f4e79\" stroke-width=\"3\" stroke-linecap=\"round\">"
                           "<path d=\"M50 10V30\"/></g></svg>";
    EXPECT_EQ(rasterFigure(odd, QSize(200, 100), RasterMethod::Layered),
              rasterFigure(odd, QSize(200, 100), RasterMethod::QtSvgOnly));
    // A size that is no whole multiple of the viewBox: painted whole too.
    const QByteArray svg = genomeSvg(20000, 3);
    EXPECT_EQ(rasterFigure(svg, QSize(2000, 1125), RasterMethod::Layered),
              rasterFigure(svg, QSize(2000, 1125), RasterMethod::QtSvgOnly));
}

TEST(FigureRaster, PngReadsBackExactly)
{
    ensureGui();
    QImage source(41, 37, QImage::Format_RGB32);
    PlotRng rng(5);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) // flat runs and noise, as in a figure
            source.setPixel(x, y, x < 20 ? qRgb(255, 255, 255) : qRgb(int(rng.next() % 256), y * 6, x * 5));
    for (const QSize size : {QSize(1, 1), QSize(3, 2), QSize(41, 1), QSize(5, 3), QSize(41, 37)}) {
        const QImage image = source.copy(QRect(QPoint(0, 0), size));
        const QImage back = QImage::fromData(encodePng(image), "PNG").convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(back, image) << size.width() << "x" << size.height();
    }
}
