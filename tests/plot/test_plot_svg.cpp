// The figure: well-formed XML with one band per reported peak, markers of
// p = 0 at the top of the axis and a bounded size. Its bytes are compared
// with the committed examples/example.svg (cli/test_example.cpp).
#include "plot_test_tables.h"
#include "svg_elements.h"
#include "plot/plot_svg.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

// What a parse of the figure found.
struct Parsed {
    QString error, qqPath;
    int bands = 0, ticks = 0, labels = 0;
    QStringList markerPaths, texts; // d of each chromosome's marker paths together; text of text and title elements
};

Parsed parse(const QByteArray& svg)
{
    Parsed out;
    out.error = forEachElement(svg, [&out](QXmlStreamReader& r, const std::vector<QString>& layers) {
        const auto attr = [&r](const char* a) { return r.attributes().value(QLatin1String(a)).toString(); };
        const QString name = r.name().toString(), cls = attr("class"), d = attr("d");
        out.bands += name == u"rect" && cls == u"peak-band";
        out.ticks += name == u"rect" && cls == u"peak-tick";
        if (name == u"g" && cls == u"markers-group")
            out.markerPaths.push_back(QString());
        if (name == u"path" && cls == u"markers" && !out.markerPaths.isEmpty())
            out.markerPaths.back() += d;
        if (name == u"path" && cls == u"qq-points")
            out.qqPath += d;
        if (name == u"text" || name == u"title") {
            out.labels += name == u"text" && !layers.empty() && layers.back() == u"labels" && cls != u"halo";
            out.texts.push_back(r.readElementText(QXmlStreamReader::IncludeChildElements));
        }
    });
    return out;
}

// The y of every point ("M x y") of path commands.
std::vector<int> pointYs(const QString& d)
{
    std::vector<int> out;
    static const QRegularExpression move(QStringLiteral("M-?\\d+ (-?\\d+)"));
    for (auto it = move.globalMatch(d); it.hasNext();)
        out.push_back(it.next().captured(1).toInt());
    return out;
}

Parsed drawRows(const std::vector<std::pair<int32_t, double>>& rows, PlotDrawStats* stats = nullptr)
{
    PlotCollector c(0.001);
    c.startChromosome("1");
    for (const auto& [position, p] : rows)
        c.addRow(position, p, true);
    return parse(figureSvg(std::move(c).finish(), PlotSettings(), stats));
}

} // namespace

// Forty peaks: a mark for each (bands and ticks apart:
// test_chromosome_axis.cpp) and labels for the strongest 20 at most. The
// figure's structure, texts and panels are those of the committed example
// figure, compared byte for byte.
TEST(PlotSvg, OneMarkPerPeakAndAtMostTwentyLabels)
{
    const PlotModel m = genomeModel(300000, 40, true);
    ASSERT_GT(m.peaks.size(), 20u);
    PlotDrawStats stats;
    const Parsed p = parse(figureSvg(m, PlotSettings(), &stats));
    ASSERT_TRUE(p.error.isEmpty()) << qPrintable(p.error);
    EXPECT_EQ(p.bands + p.ticks, static_cast<int>(m.peaks.size()));
    EXPECT_LE(p.labels, 20);
    EXPECT_GE(p.labels, 15); // when there is room
    EXPECT_EQ(p.labels, stats.labels);
}

TEST(PlotSvg, ZeroAndTooSmallPValuesAreDrawnAtTheTop)
{
    // p = 0 and the smallest subnormal (what text like 1e-400 reads as).
    const Parsed p = drawRows(
        {{1000, 0.5}, {2000, 1e-9}, {50000, 0.0}, {90000, std::numeric_limits<double>::denorm_min()}, {100000, 0.5}});
    ASSERT_TRUE(p.error.isEmpty()) << qPrintable(p.error);
    ASSERT_EQ(p.markerPaths.size(), 1);
    // The plot area's top is y = 84 in both panels; the axis reaches 10 (the
    // genome-wide line and the 1e-9 marker fit), and the marker at 9 sits
    // below the top; the markers at p = 0.5, above -inlimit, are drawn too.
    const std::vector<int> manhattan = pointYs(p.markerPaths[0]), qq = pointYs(p.qqPath);
    ASSERT_EQ(manhattan.size(), 5u);
    EXPECT_EQ(std::count(manhattan.begin(), manhattan.end(), 84), 2);
    EXPECT_TRUE(p.texts.contains(QStringLiteral("10")));
    EXPECT_NE(std::count(qq.begin(), qq.end(), 84), 0);
    // A table reaching 1e-250: ticks of 50 up to 300.
    EXPECT_TRUE(drawRows({{1000, 1e-250}, {2000, 0.5}}).texts.contains(QStringLiteral("300")));
}

// On a 100 Mb chromosome over about 1,500 px: 100,000 markers within a few
// bp and a hair of -log10 p of each other are one pixel (and their QQ points
// about one per pixel); markers 1 Mb apart (15 px) at two heights are each
// drawn, as are the two at p = 0.5 at the chromosome's ends. The size of a figure of millions of rows: test_chromosome_axis.cpp.
TEST(PlotSvg, MarkersAreThinnedToPixels)
{
    std::vector<std::pair<int32_t, double>> close = {{1, 0.5}, {100000000, 0.5}}, apart = close;
    for (int i = 0; i < 100000; ++i)
        close.push_back({50000000 + i % 7, 1e-6 * (1 + 1e-4 * (i % 3))});
    for (int i = 1; i < 100; ++i)
        apart.insert(apart.end(), {{i * 1000000, 1e-6}, {i * 1000000 + 10, 1e-12}});
    PlotDrawStats one, many;
    drawRows(close, &one);
    drawRows(apart, &many);
    EXPECT_EQ(one.manhattanPixels, 3);
    EXPECT_EQ(one.manhattanDots, 3);
    EXPECT_LT(one.qqPixels, 4 * 400); // about one QQ point per pixel along the curve
    EXPECT_EQ(many.manhattanPixels, 200);
}

TEST(PlotSvg, NamesWithMarkupAndControlCharactersStayWellFormed)
{
    PlotCollector c(0.001);
    const std::string name = std::string("chr<1>&\"'%2") + '\x01' + "\xff";
    c.startChromosome(name);
    c.addRow(10, 1e-8, true);
    c.addPeak({name, 10, 10, 1, 8, std::string("rs1") + '\x02' + "</text>"});
    PlotSettings s;
    s.title = QStringLiteral("a&b<c>") + QChar(0x1b);
    const Parsed p = parse(figureSvg(std::move(c).finish(), s));
    ASSERT_TRUE(p.error.isEmpty()) << qPrintable(p.error);
    EXPECT_EQ(p.bands, 1);
    EXPECT_TRUE(p.texts.contains(QStringLiteral("rs1\ufffd</text>")));
    EXPECT_TRUE(std::any_of(p.texts.begin(), p.texts.end(), [](const QString& t) {
        return t.startsWith(QStringLiteral("chr<1>&\"'%2\ufffd\ufffd:10-10"));
    }));
}

TEST(PlotSvg, EmptyTableAndUnknownPeakChromosome)
{
    PlotCollector c(0.001);
    c.addPeak({"7", 0, 0, 1, 0, ""});
    PlotDrawStats stats;
    const Parsed p = parse(figureSvg(std::move(c).finish(), PlotSettings(), &stats));
    ASSERT_TRUE(p.error.isEmpty()) << qPrintable(p.error);
    EXPECT_EQ(p.bands, 0);
    EXPECT_EQ(stats.peaksOffChromosome, 1);
    EXPECT_TRUE(p.texts.contains(QStringLiteral("\u03bbGC not defined")));
}
