// The streaming collector: spans and counts per chromosome, which rows are
// drawn where, the p-value histogram, and memory that stays bounded however
// the rows come.
#include "plot_test_tables.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kTiny = std::numeric_limits<double>::denorm_min();

uint32_t colOf(const PlotModel& m, int32_t position)
{
    return static_cast<uint32_t>(uint64_t(uint32_t(position) ^ 0x80000000u) >> m.xShift);
}
int cellOf(const PlotModel& m, double p) { return static_cast<int>(plotMinusLog2Fixed(p) >> m.yShift); }

size_t totalCols(const PlotModel& m)
{
    size_t n = 0;
    for (const PlotChromosome& c : m.chromosomes)
        n += c.cols;
    return n;
}

} // namespace

TEST(PlotCollector, ChromosomesSpansAndPeaks)
{
    PlotCollector c(0.001);
    c.addRow(7, 1e-5, true); // before any name: an unnamed chromosome
    c.startChromosome("1");
    for (int32_t position : {500, 100, 900})
        c.addRow(position, 0.5, true);
    c.startChromosome("2");
    c.addRow(-20, 0.5, true);
    c.startChromosome("1"); // comes back: the same chromosome, its span grows
    c.addRow(1000, 0.5, true);
    c.addPeak({"1", 900, 100, 1, 0, ""});
    const PlotModel m = std::move(c).finish();
    ASSERT_EQ(m.chromosomes.size(), 3u);
    EXPECT_EQ(m.chromosomes[0].name + m.chromosomes[1].name + m.chromosomes[2].name, "12");
    EXPECT_EQ(m.chromosomes[0].retained, 1);
    EXPECT_EQ(m.chromosomes[1].rows, 4);
    EXPECT_EQ(m.chromosomes[1].minPosition, 100);
    EXPECT_EQ(m.chromosomes[1].span(), 900);
    EXPECT_EQ(m.chromosomes[2].minPosition, -20);
    EXPECT_EQ(m.chromosomes[2].span(), 0);
    EXPECT_EQ(m.rows, 6);
    ASSERT_EQ(m.peaks.size(), 1u); // its range put in order
    EXPECT_EQ(m.peaks[0].first, 100);
    EXPECT_EQ(m.peaks[0].last, 900);
}

// Each row before one of p = 1e-310, which coarsens the y scale after it:
// whether the row is drawn, where (at its value, in the top cell, or at 0 for
// p >= 1), the counts, and whether the QQ histogram takes it (valid p-values
// only; 0 and the smallest subnormal in its top bin, 1 alone in its last).
TEST(PlotCollector, WhichRowsAreDrawnAndWhere)
{
    enum Where { None, AtValue, Top, Zero };
    const struct {
        double inlimit, p;
        bool number;
        Where where;
        bool counted;
    } rows[] = {
        {0.001, 0.5, true, None, true},   {0.001, 1e-5, true, AtValue, true},
        {0.001, 0, true, Top, true},      {0.001, -0.0, true, Top, true},
        {0.001, -0.1, true, Top, false},  {0.001, kTiny, true, Top, true}, // text below the smallest double
        {0.001, 2e-310, true, AtValue, true}, // a real subnormal
        {0.001, kNaN, true, None, false}, {0.001, 0, false, None, false}, // not a number: not drawn
        {2.0, 1.5, true, Zero, false},    {2.0, 1.0, true, Zero, true},
        {2.0, -kNaN, true, None, false},  {2.0, std::numeric_limits<double>::infinity(), true, None, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "p " << r.p << (r.number ? "" : " (text)"));
        PlotCollector c(r.inlimit);
        c.startChromosome("1");
        c.addRow(100, r.p, r.number);
        c.addRow(200, 1e-310, true);
        const PlotModel m = std::move(c).finish();
        const PlotChromosome& chr = m.chromosomes[0];
        EXPECT_EQ(m.retained, 1 + (r.where != None));
        EXPECT_EQ(m.retainedTop, r.where == Top);
        EXPECT_EQ(m.retainedAbove1, r.where == Zero && r.p > 1);
        EXPECT_EQ(m.retainedNotNumber, !r.number);
        EXPECT_EQ(chr.cellSet(colOf(m, 100), kPlotTopCell), r.where == Top);
        EXPECT_TRUE(r.where != AtValue || chr.cellSet(colOf(m, 100), cellOf(m, r.p)));
        EXPECT_TRUE(r.where != Zero || chr.cellSet(colOf(m, 100), 0));
        EXPECT_LT(cellOf(m, 1e-310), kPlotTopCell); // the scale grew to hold it
        EXPECT_TRUE(chr.cellSet(colOf(m, 200), cellOf(m, 1e-310)));
        EXPECT_NEAR(m.maxLog2Fixed / 4096.0, -std::log2(1e-310), 2.5 / 4096);
        EXPECT_EQ(m.histogram.total(), 1u + r.counted);
        EXPECT_EQ(m.histogram.count(0), r.counted && r.p <= kTiny);
        EXPECT_EQ(m.histogram.count(PlotHistogram::kBinCount - 1), r.counted && r.p == 1);
    }
}

TEST(PlotHistogram, BinsHoldTheirValuesInAscendingOrder)
{
    const PlotHistogram h;
    size_t previousBin = 0;
    for (int i = 0; i < 200000; ++i) {
        const double p = std::pow(10.0, -323.0 * (1.0 - i / 200000.0)); // log-uniform, ascending
        const size_t bin = PlotHistogram::binOf(p);
        ASSERT_LE(h.binLow(bin), p) << p;
        ASSERT_LE(p, h.binHigh(bin)) << p;
        // Open at the top but for the first, the last and the subnormal bins.
        const bool roundedEdges = bin == 0 || bin + 1 == PlotHistogram::kBinCount || p < 0x1p-1022;
        ASSERT_TRUE(roundedEdges || p < h.binHigh(bin)) << p;
        ASSERT_GE(bin, previousBin) << p;
        previousBin = bin;
    }
    EXPECT_EQ(PlotHistogram::binOf(1.0), PlotHistogram::kBinCount - 1);
    EXPECT_EQ(PlotHistogram::binOf(-0.0), 0u);
    EXPECT_EQ(PlotHistogram::binOf(kTiny), 0u);
    EXPECT_NE(PlotHistogram::binOf(2 * kTiny), 0u);
}

// A bin's count past its counter's width (16 bits for p from 2^-32 to 1)
// carries, and the count stays whole: one p-value in 150,000 rows is no
// rarity.
TEST(PlotHistogram, CountsPastTheCounterWidthCarry)
{
    PlotHistogram h;
    for (int i = 0; i < 150000; ++i)
        h.add(i % 3 ? 1.0 : 0.5);
    h.add(1e-40);
    EXPECT_EQ(h.count(PlotHistogram::kBinCount - 1), 100000u);
    EXPECT_EQ(h.count(PlotHistogram::binOf(0.5)), 50000u);
    EXPECT_EQ(h.count(PlotHistogram::binOf(1e-40)), 1u);
    EXPECT_EQ(h.total(), 150001u);
    EXPECT_NEAR(lambdaFromHistogram(h).lambda, 0, 1e-3); // the median p is 1
}

// The one-pass walk over the bins sees what count() sees bin by bin:
// carried bins, a bin whose counter wrapped to exactly 0, the top bin,
// coarse and fine bins; and it stops where it is told to.
TEST(PlotHistogram, WalkMatchesCountsBinByBin)
{
    PlotHistogram h;
    PlotRng rng(11);
    for (int i = 0; i < 65536; ++i) // a counter that wraps to 0
        h.add(0.75);
    for (int i = 0; i < 70000; ++i)
        h.add(0.25);
    for (int i = 0; i < 20000; ++i)
        h.add(std::pow(10.0, -330 * rng.uniform() * rng.uniform()));
    h.add(0);
    h.add(1);
    std::vector<std::pair<size_t, uint64_t>> walked, counted;
    h.forEachBin([&](size_t bin, uint64_t c) {
        walked.emplace_back(bin, c);
        return true;
    });
    for (size_t bin = 0; bin < PlotHistogram::kBinCount; ++bin)
        if (const uint64_t c = h.count(bin))
            counted.emplace_back(bin, c);
    EXPECT_EQ(walked, counted);
    ASSERT_GT(walked.size(), 1000u);
    EXPECT_EQ(h.count(PlotHistogram::binOf(0.75)), 65536u);
    size_t visits = 0;
    h.forEachBin([&](size_t, uint64_t) { return ++visits < 5; });
    EXPECT_EQ(visits, 5u);
    // The median's bin, found by the walk.
    uint64_t before = 0;
    const size_t median = h.binOfRank(h.total() / 2, &before);
    uint64_t below = 0;
    for (size_t bin = 0; bin < median; ++bin)
        below += h.count(bin);
    EXPECT_EQ(before, below);
    EXPECT_GE(below + h.count(median), h.total() / 2);
}

TEST(PlotCollector, FixedPointLog2IsWithinOneStep)
{
    PlotRng rng(5);
    for (int i = 0; i < 100000; ++i) {
        const double p = std::pow(2.0, -1074.0 * rng.uniform() * rng.uniform());
        const double exact = -std::log2(p);
        ASSERT_GE(plotMinusLog2Fixed(p) / 4096.0, exact - 1e-9) << p;
        ASSERT_LE(plotMinusLog2Fixed(p) / 4096.0, exact + 2.5 / 4096) << p;
    }
    EXPECT_EQ(plotMinusLog2Fixed(1.0), 0);
}

// Whatever the order of positions (ascending, descending, zig-zag outwards,
// random), the grids stay within their bound and every retained row's cell
// is set.
class PlotCollectorOrders : public ::testing::TestWithParam<int> {};

TEST_P(PlotCollectorOrders, GridStaysBoundedAndHoldsEveryRow)
{
    const int order = GetParam(), chromosomes = 25, perChromosome = 80000;
    PlotCollector c(1.0); // every row retained
    PlotRng rng(11);
    std::vector<std::tuple<int, int32_t, double>> probes;
    for (int k = 0; k < chromosomes; ++k) {
        c.startChromosome(std::to_string(k));
        const int64_t length = 5000000 + int64_t(k) * 9000000; // 5..221 Mb
        for (int i = 0; i < perChromosome; ++i) {
            const double f = double(i) / perChromosome;
            const double at[] = {f, 1 - f, 0.5 + (i % 2 ? 0.5 : -0.5) * f, order == 3 ? rng.uniform() : 0};
            const int32_t position = static_cast<int32_t>(1000 + at[order] * length);
            const double p = std::pow(10.0, -12 * rng.uniform() * rng.uniform());
            c.addRow(position, p, true);
            if (i % 997 == 0)
                probes.emplace_back(k, position, p);
        }
    }
    const PlotModel m = std::move(c).finish();
    int64_t span = 0;
    for (const PlotChromosome& chr : m.chromosomes)
        span += chr.span();
    // x cells: at most span / 4096 bp wide, at most 16,384 + 2 per chromosome;
    // y cells no taller than 1/512 of the highest value.
    EXPECT_LE(std::ldexp(1.0, m.xShift), double(span) / 4096);
    EXPECT_LE(totalCols(m), 16384u + 2 * chromosomes);
    EXPECT_LE(std::ldexp(1.0, m.yShift), std::max(double(m.maxLog2Fixed) / 511, 128.0));
    for (const auto& [k, position, p] : probes)
        ASSERT_TRUE(m.chromosomes[k].cellSet(colOf(m, position), cellOf(m, p))) << k << " " << position;
    EXPECT_EQ(m.retained, int64_t(chromosomes) * perChromosome);
}

INSTANTIATE_TEST_SUITE_P(Orders, PlotCollectorOrders, ::testing::Values(0, 1, 2, 3));
