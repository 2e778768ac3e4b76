// The Manhattan panel draws every row of a table, at its value: rows above
// -inlimit as well as retained ones, -log10 p values beyond the double range
// of p unclamped, and a y axis that breaks into a compressed band when a few
// values stand far above the rest.
#include "plot/plot_collector.h"
#include "plot_test_tables.h"
#include "svg_elements.h"
#include "plot/y_axis.h"
#include "../support/test_support.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// A vertical pixel run of a marker path: x, top y, bottom y.
struct PathRun {
    int x, y0, y1;
};

// The Manhattan panel of a figure as drawn: the dot runs per chromosome (by
// the chromosome's name in the group's title) and the y of every tick value
// on the y axis, the axis-break elements counted.
struct Manhattan {
    std::map<QString, std::vector<PathRun>> dots;
    std::map<double, double> tickY;
    int breaks = 0;
    std::vector<QString> bandValues; // the texts of class band-value
};

Manhattan readManhattan(const QByteArray& svg)
{
    Manhattan m;
    QString chromosome;
    static const QRegularExpression runs(QStringLiteral("M(-?\\d+) (-?\\d+)(?:V(-?\\d+))?"));
    static const QRegularExpression named(QStringLiteral("^chromosome (.*): "));
    const QString error = forEachElement(svg, [&](QXmlStreamReader& r, const std::vector<QString>& layers) {
        const auto attr = [&r](const char* a) { return r.attributes().value(QLatin1String(a)).toString(); };
        const QString name = r.name().toString(), cls = attr("class");
        m.breaks += cls == u"axis-break";
        if (name == u"title" && layers.size() >= 2 && layers[layers.size() - 2] == u"markers") {
            chromosome = named.match(r.readElementText()).captured(1);
        } else if (name == u"path" && cls == u"markers") {
            for (auto it = runs.globalMatch(attr("d")); it.hasNext();) {
                const auto x = it.next();
                const int y0 = x.captured(2).toInt();
                m.dots[chromosome].push_back({x.captured(1).toInt(), y0, x.captured(3).isEmpty() ? y0 : x.captured(3).toInt()});
            }
        } else if (name == u"text" && cls == u"band-value") {
            m.bandValues.push_back(r.readElementText());
        } else if (name == u"text" && !layers.empty() && layers.back() == u"manhattan-axes" &&
                   attr("text-anchor") == u"end") {
            const double y = attr("y").toDouble() - 4.5; // the label sits 4.5 px under its tick
            bool number = false;
            const double v = r.readElementText().toDouble(&number);
            if (number)
                m.tickY[v] = y;
        }
    });
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return m;
}

// y of a value from the two ticks around it (or the two nearest).
double yFromTicks(const std::map<double, double>& ticks, double v)
{
    auto hi = ticks.lower_bound(v);
    if (hi == ticks.end())
        --hi;
    if (hi == ticks.begin())
        ++hi;
    const auto lo = std::prev(hi);
    return lo->second + (hi->second - lo->second) * (v - lo->first) / (hi->first - lo->first);
}

QByteArray runFigure(const std::string& dir, std::vector<std::string> args)
{
    args.insert(args.end(), {"-out", "t.out", "-plot", "t.svg"});
    const RunResult r = runQuorlin(args, dir);
    EXPECT_EQ(r.status, 0) << r.command << "\n" << r.out << r.err;
    const std::string svg = readFile(dir + "/t.svg");
    return QByteArray(svg.data(), static_cast<qsizetype>(svg.size()));
}

} // namespace

// addRows sets the cells of rows above -inlimit at once, through a cursor
// that chromosome changes, growing and coarsening grids must clear: the
// grids it builds from runs of any length equal those of a collector that
// takes every row the long way (an -inlimit of 1 retains them all), one
// row at a time, whatever the order; so do the spans, counts and histogram.
TEST(ManhattanRows, QuickCellsMatchTheLongWay)
{
    for (int order = 0; order < 3; ++order) {
        SCOPED_TRACE(order);
        PlotRng rng(17 + order);
        PlotCollector quick(1e-4), slow(1.0);
        const char* names[] = {"1", "2", "3", "X"};
        int32_t position = order == 1 ? 400000000 : 1000;
        std::vector<int32_t> positions;
        std::vector<double> ps;
        std::vector<uint8_t> numbers;
        const auto flush = [&] {
            quick.addRows(positions.data(), ps.data(), numbers.data(), positions.size());
            positions.clear();
            ps.clear();
            numbers.clear();
        };
        for (int i = 0; i < 300000; ++i) {
            if (i % (order == 2 ? 7 : 50000) == 0) {
                flush();
                const char* name = names[rng.next() % 4];
                quick.startChromosome(name);
                slow.startChromosome(name);
            }
            if (rng.next() % 3000 == 0)
                flush(); // runs of any length, some longer than the pending batch
            // Ascending, descending, or jumping over a growing range.
            position = order == 0 ? position + 300 : order == 1 ? position - 700 : int32_t(rng.next() % (1000 + 3000 * uint64_t(i)));
            const uint64_t kind = rng.next() % 1000;
            const double p = kind == 0 ? -0.0 : kind == 1 ? 1.5 : i % 97 == 0 ? 1e-6 * rng.uniform() : rng.uniform();
            const bool number = kind != 2;
            positions.push_back(position);
            ps.push_back(p);
            numbers.push_back(number);
            slow.addRow(position, p, number);
        }
        flush();
        const PlotModel a = std::move(quick).finish(), b = std::move(slow).finish();
        EXPECT_EQ(a.rows, b.rows);
        EXPECT_EQ(a.drawn, b.drawn);
        EXPECT_EQ(a.xShift, b.xShift);
        EXPECT_EQ(a.yShift, b.yShift);
        EXPECT_EQ(a.maxLog2Fixed, b.maxLog2Fixed);
        EXPECT_EQ(a.histogram.total(), b.histogram.total());
        for (size_t bin = 0; bin < PlotHistogram::kBinCount; ++bin)
            ASSERT_EQ(a.histogram.count(bin), b.histogram.count(bin)) << bin;
        ASSERT_EQ(a.chromosomes.size(), b.chromosomes.size());
        for (size_t k = 0; k < a.chromosomes.size(); ++k) {
            const PlotChromosome &x = a.chromosomes[k], &y = b.chromosomes[k];
            EXPECT_EQ(x.rows, y.rows) << x.name;
            EXPECT_EQ(x.minPosition, y.minPosition) << x.name;
            EXPECT_EQ(x.maxPosition, y.maxPosition) << x.name;
            EXPECT_EQ(x.drawn, y.drawn) << x.name;
            EXPECT_EQ(x.cellsDrawn, y.cellsDrawn) << x.name;
            EXPECT_LT(x.retained, y.retained) << x.name;
            // The grids may hold different spare columns: compare the set cells.
            for (uint32_t col = std::min(x.colLo, y.colLo); col < std::max(x.colLo + x.cols, y.colLo + y.cols); ++col)
                for (int cell = 0; cell <= kPlotTopCell; ++cell)
                    ASSERT_EQ(x.cellSet(col, cell), y.cellSet(col, cell)) << x.name << " col " << col << " cell " << cell;
        }
    }
}

// Millions of extreme markers (a -log10 p column of a huge effect) are
// thinned to a bounded list, each kept one still at a value that was given;
// every one counts as drawn and retained and goes into the QQ histogram.
// (Which ordinary rows are drawn where: test_plot_collector.cpp.)
TEST(ManhattanRows, ExtremeMarkersStayBounded)
{
    PlotCollector c(0.001);
    c.startChromosome("1");
    c.addRow(10, 0.9, true);
    for (int i = 0; i < 400000; ++i)
        c.addExtreme(i * 50, 0, 400 + (i % 997) * 0.37);
    const PlotModel m = std::move(c).finish();
    EXPECT_EQ(m.extremes, 400000);
    EXPECT_EQ(m.drawn, 400001);
    EXPECT_EQ(m.retained, 400000);
    EXPECT_EQ(m.retainedTop, 0);
    EXPECT_EQ(m.histogram.total(), 400001u);
    const std::vector<PlotExtreme>& kept = m.chromosomes[0].extremes;
    EXPECT_LE(kept.size(), kPlotExtremeCap);
    EXPECT_GT(kept.size(), 1000u);
    for (const PlotExtreme& e : kept)
        ASSERT_NEAR(std::fmod(e.value - 400 + 1e-9, 0.37), 0, 1e-6) << e.value;
}

// The break rule: the lowest gap where a value above 40 is more than twice
// the one below it (and the dashed lines' floor); given values, never, or
// a break value with nothing above it.
TEST(ManhattanAxis, BreakRule)
{
    const double floor = 7.3;
    const YAxis plain = makeYAxis({0.1, 3, 12, 35}, floor, {}, 84, 600);
    EXPECT_FALSE(plain.broken);
    EXPECT_GE(plain.low.top, 35);
    // 90 is over twice 35 and above 40, but 1000.5 over 450 is the higher
    // gap: the lowest one wins, so all three extremes share the band.
    const YAxis a = makeYAxis({0.2, 12, 35, 401, 450, 1000.5}, floor, {}, 84, 600);
    ASSERT_TRUE(a.broken);
    EXPECT_GE(a.low.top, 35);
    EXPECT_LT(a.low.top, 401);
    EXPECT_LE(a.bandLow, 401);
    EXPECT_GT(a.bandHigh, 1000.5);
    EXPECT_LT(a.y(1000.5), a.y(450));
    EXPECT_LT(a.y(450), a.y(401));
    EXPECT_LT(a.y(401), a.bandBottom + 1e-9);
    EXPECT_GT(a.y(35), a.lowTop - 1e-9);
    EXPECT_DOUBLE_EQ(a.y(0), 84 + 600);
    EXPECT_GT(a.y(35) - a.y(0), -600); // the lower part keeps most of the height
    EXPECT_LT(a.y(35), 84 + 600 - 0.5 * 600 * 35 / a.low.top);
    // Values under 40, or not over twice the one below: no break.
    EXPECT_FALSE(makeYAxis({5, 39}, floor, {}, 84, 600).broken);
    EXPECT_FALSE(makeYAxis({30, 55}, floor, {}, 84, 600).broken);
    // Only the floor below: 60 is over twice 7.3.
    EXPECT_TRUE(makeYAxis({1, 60}, floor, {}, 84, 600).broken);
    EXPECT_FALSE(makeYAxis({0.2, 12, 401, 1000.5}, floor, {YBreakChoice::Never, 0}, 84, 600).broken);
    const YAxis at = makeYAxis({0.2, 12, 25, 401}, floor, {YBreakChoice::At, 20}, 84, 600);
    ASSERT_TRUE(at.broken);
    EXPECT_EQ(at.low.top, 20);
    EXPECT_LE(at.bandLow, 25);
    EXPECT_FALSE(makeYAxis({0.2, 12}, floor, {YBreakChoice::At, 20}, 84, 600).broken);
    // Absurd values keep the arithmetic finite, broken or not.
    for (const YBreakChoice& choice : {YBreakChoice{}, YBreakChoice{YBreakChoice::Never, 0}}) {
        const YAxis huge = makeYAxis({3, 1e308, 1.7e308}, floor, choice, 84, 600);
        EXPECT_TRUE(std::isfinite(huge.y(1e300)));
        EXPECT_TRUE(std::isfinite(huge.y(3)));
        EXPECT_GE(huge.y(1e300), 84 - 1e-6);
        EXPECT_EQ(huge.y(1.7e308), 84); // beyond the axis: at its top
    }
}

// A -log10 p table with values 401, 450 and 1000.5, each alone on its
// chromosome among ordinary rows: the axis breaks (an element of class
// axis-break), and each extreme dot sits at its value on the band's scale,
// read back from the band's tick labels, its value written beside it.
TEST(ManhattanAxis, ExtremeValuesSitAtTheirValueAboveTheBreak)
{
    const std::string dir = makeTempDir();
    std::string table;
    const double extreme[3] = {401, 450, 1000.5};
    for (int chr = 1; chr <= 3; ++chr) {
        for (int i = 0; i < 200; ++i)
            table += std::to_string(chr) + "\t" + std::to_string(1000 + i * 5000) + "\t" +
                     std::to_string(0.05 * (i % 60)) + "\n";
        table += std::to_string(chr) + "\t500000\t" + QString::number(extreme[chr - 1]).toStdString() + "\n";
    }
    writeFile(dir + "/t.tsv", table);
    const Manhattan m = readManhattan(
        runFigure(dir, {"-file", "t.tsv", "-chrcolumn", "1", "-lcolumn", "2", "-pcolumn", "3", "-log10p", "yes"}));
    EXPECT_EQ(m.breaks, 1);
    // The band's scale is compressed: each extreme value is written out.
    EXPECT_EQ(m.bandValues, (std::vector<QString>{QStringLiteral("1000.5"), QStringLiteral("450"), QStringLiteral("401")}));
    std::map<double, double> band;
    double lowTopY = 0; // the lower part's highest tick
    for (const auto& [v, y] : m.tickY) {
        if (v > 300)
            band[v] = y;
        else
            lowTopY = y;
    }
    ASSERT_GE(band.size(), 2u);
    for (int chr = 1; chr <= 3; ++chr) {
        const std::vector<PathRun>& dots = m.dots.at(QString::number(chr));
        ASSERT_FALSE(dots.empty()) << chr;
        const int top = std::min_element(dots.begin(), dots.end(), [](const PathRun& a, const PathRun& b) {
                            return a.y0 < b.y0;
                        })->y0;
        EXPECT_NEAR(top, yFromTicks(band, extreme[chr - 1]), 1.0) << extreme[chr - 1];
        EXPECT_LT(top, lowTopY - 14) << "above the break";
    }
    // The same table with -plot-ybreak no: one linear axis up to 1000.5 and beyond.
    const Manhattan flat = readManhattan(runFigure(dir, {"-file", "t.tsv", "-chrcolumn", "1", "-lcolumn", "2",
                                                         "-pcolumn", "3", "-log10p", "yes", "-plot-ybreak", "no"}));
    EXPECT_EQ(flat.breaks, 0);
    const std::vector<PathRun>& dots = flat.dots.at(QStringLiteral("3"));
    ASSERT_FALSE(dots.empty());
    const int top = std::min_element(dots.begin(), dots.end(), [](const PathRun& a, const PathRun& b) { return a.y0 < b.y0; })->y0;
    EXPECT_NEAR(top, yFromTicks(flat.tickY, 1000.5), 1.0);
}

// The pig table, unfiltered: its markers cover the whole -log10 p range
// from 0 to its strongest (8.3), every unit of it.
TEST(ManhattanAxis, PigTableShowsMarkersAcrossThePRange)
{
    QUORLIN_NEEDS_REAL_DATA();
    const std::string dir = makeTempDir();
    const Manhattan m = readManhattan(runFigure(dir, {"-file", realFile("CMplot_pig60K_sorted.tsv"), "-header", "yes",
                                                      "-chrcolumn", "2", "-lcolumn", "3", "-pcolumn", "4"}));
    EXPECT_EQ(m.breaks, 0);
    EXPECT_GE(m.dots.size(), 18u);
    size_t runs = 0;
    for (int unit = 0; unit < 8; ++unit) {
        const double yLow = yFromTicks(m.tickY, unit), yHigh = yFromTicks(m.tickY, unit + 1);
        int hits = 0;
        for (const auto& [name, dots] : m.dots)
            for (const PathRun& r : dots)
                hits += r.y1 >= yHigh && r.y0 <= yLow;
        EXPECT_GT(hits, 0) << "-log10 p from " << unit << " to " << unit + 1;
    }
    for (const auto& [name, dots] : m.dots)
        runs += dots.size();
    EXPECT_GT(runs, 5000u); // far more than the 11 markers at p <= 0.001
}
