// The streaming collector: spans and counts per chromosome, which rows are
// drawn where, the p-value histogram, and memory that stays bounded however
// the rows come.
#include "plot_test_tables.h"
#include "plot_collector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

int64_t totalSpan(const PlotModel& m)
{
    int64_t t = 0;
    for (const PlotChromosome& c : m.chromosomes)
        t += c.span();
    return t;
}

} // namespace

TEST(PlotCollector, SpansRowsAndUngroupedChromosomes)
{
    PlotCollector c(0.001);
    c.startChromosome("1");
    c.addRow(500, 0.5, true);
    c.addRow(100, 0.5, true);
    c.addRow(900, 0.5, true);
    c.startChromosome("2");
    c.addRow(-20, 0.5, true);
    c.startChromosome("1"); // comes back: the same chromosome, its span grows
    c.addRow(1000, 0.5, true);
    const PlotModel m = std::move(c).finish();
    ASSERT_EQ(m.chromosomes.size(), 2u);
    EXPECT_EQ(m.chromosomes[0].name, "1");
    EXPECT_EQ(m.chromosomes[0].rows, 4);
    EXPECT_EQ(m.chromosomes[0].minPosition, 100);
    EXPECT_EQ(m.chromosomes[0].maxPosition, 1000);
    EXPECT_EQ(m.chromosomes[1].name, "2");
    EXPECT_EQ(m.chromosomes[1].span(), 0);
    EXPECT_EQ(m.chromosomes[1].minPosition, -20);
    EXPECT_EQ(m.rows, 5);
}

TEST(PlotCollector, RowsBeforeAnyNameGoToAnUnnamedChromosome)
{
    PlotCollector c(0.001);
    c.addRow(7, 1e-5, true);
    c.startChromosome("X");
    c.addRow(8, 0.5, true);
    const PlotModel m = std::move(c).finish();
    ASSERT_EQ(m.chromosomes.size(), 2u);
    EXPECT_EQ(m.chromosomes[0].name, "");
    EXPECT_EQ(m.chromosomes[0].retained, 1);
    EXPECT_EQ(m.chromosomes[1].name, "X");
}

TEST(PlotCollector, WhichRowsAreDrawnAndWhere)
{
    PlotCollector c(0.001);
    c.startChromosome("1");
    c.addRow(100, 0.5, true);       // not retained
    c.addRow(200, 1e-5, true);      // at its value
    c.addRow(300, 0, true);         // top
    c.addRow(400, -1, true);        // top (p <= 0 is retained)
    c.addRow(500, kTiny, true);     // top: text below the smallest double
    c.addRow(600, 1e-310, true);    // a real subnormal: at its value
    c.addRow(700, kNaN, true);      // not retained
    c.addRow(800, 0, false);        // not a number: retained by the analysis, not drawn
    c.addRow(900, -0.0, true);      // top
    const PlotModel m = std::move(c).finish();
    EXPECT_EQ(m.retained, 6);
    EXPECT_EQ(m.retainedTop, 4);
    EXPECT_EQ(m.retainedNotNumber, 1);
    const PlotChromosome& chr = m.chromosomes[0];
    EXPECT_TRUE(chr.cellSet(colOf(m, 200), cellOf(m, 1e-5)));
    EXPECT_TRUE(chr.cellSet(colOf(m, 300), kPlotTopCell));
    EXPECT_TRUE(chr.cellSet(colOf(m, 400), kPlotTopCell));
    EXPECT_TRUE(chr.cellSet(colOf(m, 500), kPlotTopCell));
    EXPECT_TRUE(chr.cellSet(colOf(m, 900), kPlotTopCell));
    EXPECT_TRUE(chr.cellSet(colOf(m, 600), cellOf(m, 1e-310)));
    EXPECT_FALSE(chr.cellSet(colOf(m, 600), kPlotTopCell));
    // The y scale grew to hold -log10 p = 310, the top cell stayed the top.
    EXPECT_GT(m.yShift, 7);
    EXPECT_NEAR(m.maxLog2Fixed / 4096.0, -std::log2(1e-310), 2.5 / 4096);
    // Valid p-values for the QQ panel: 0.5, 1e-5, 0, tiny, 1e-310, -0.
    EXPECT_EQ(m.histogram.total(), 6u);
    EXPECT_EQ(m.histogram.count(0), 3u);
}

TEST(PlotCollector, PValuesAboveOneAreDrawnAtZero)
{
    PlotCollector c(2.0);
    c.startChromosome("1");
    c.addRow(10, 1.5, true);
    c.addRow(20, 1.0, true);
    const PlotModel m = std::move(c).finish();
    EXPECT_EQ(m.retained, 2);
    EXPECT_EQ(m.retainedAbove1, 1);
    EXPECT_TRUE(m.chromosomes[0].cellSet(colOf(m, 10), 0));
    EXPECT_TRUE(m.chromosomes[0].cellSet(colOf(m, 20), 0));
    EXPECT_EQ(m.histogram.total(), 1u); // 1.5 is not a p-value
}

TEST(PlotCollector, PeakRangesAreNormalised)
{
    PlotCollector c(0.001);
    PlotPeak p;
    p.chromosome = "3";
    p.first = 900;
    p.last = 100;
    c.addPeak(p);
    const PlotModel m = std::move(c).finish();
    ASSERT_EQ(m.peaks.size(), 1u);
    EXPECT_EQ(m.peaks[0].first, 100);
    EXPECT_EQ(m.peaks[0].last, 900);
}

TEST(PlotHistogram, BinsHoldTheirValuesInAscendingOrder)
{
    const PlotHistogram h;
    size_t previousBin = 0;
    double previous = 0;
    for (int i = 0; i < 200000; ++i) {
        // log-uniform over the whole range of doubles, sorted by construction
        const double p = std::pow(10.0, -323.0 * (1.0 - i / 200000.0));
        const size_t bin = PlotHistogram::binOf(p);
        ASSERT_LE(h.binLow(bin), p) << p;
        ASSERT_LE(p, h.binHigh(bin)) << p;
        // Bins of subnormal values have rounded edges.
        if (bin != 0 && bin + 1 != PlotHistogram::kBinCount && p >= std::numeric_limits<double>::min()) {
            ASSERT_LT(p, h.binHigh(bin)) << p;
        }
        ASSERT_GE(bin, previousBin) << previous << " " << p;
        previousBin = bin;
        previous = p;
    }
    EXPECT_EQ(PlotHistogram::binOf(1.0), PlotHistogram::kBinCount - 1);
    EXPECT_EQ(PlotHistogram::binOf(0.0), 0u);
    EXPECT_EQ(PlotHistogram::binOf(-0.0), 0u);
    EXPECT_EQ(PlotHistogram::binOf(kTiny), 0u);
    EXPECT_NE(PlotHistogram::binOf(2 * kTiny), 0u);
}

TEST(PlotHistogram, FineBinsAreNarrowEnoughForLambda)
{
    PlotHistogram h;
    for (double p : {0.5, 0.3, 0.05, 0.75, 0.999, 1e-9}) {
        const size_t bin = PlotHistogram::binOf(p);
        EXPECT_LE((h.binHigh(bin) - h.binLow(bin)) / h.binLow(bin), std::ldexp(1.0, -13)) << p;
    }
}

TEST(PlotHistogram, OnlyValidPValuesCount)
{
    PlotHistogram h;
    for (double p : {0.0, -0.0, 1.0, 0.5, kTiny, kNaN, -0.1, 1.1, -kNaN, std::numeric_limits<double>::infinity()})
        h.add(p);
    EXPECT_EQ(h.total(), 5u);
    EXPECT_EQ(h.count(0), 3u);
    EXPECT_EQ(h.count(PlotHistogram::kBinCount - 1), 1u);
}

TEST(PlotCollector, FixedPointLog2IsWithinOneStep)
{
    PlotRng rng(5);
    for (int i = 0; i < 100000; ++i) {
        const double p = std::pow(2.0, -1074.0 * rng.uniform() * rng.uniform());
        if (p == 0)
            continue;
        const double exact = -std::log2(p);
        const double fixed = plotMinusLog2Fixed(p) / 4096.0;
        ASSERT_GE(fixed, exact - 1e-9) << p;
        ASSERT_LE(fixed, exact + 2.5 / 4096) << p;
    }
    EXPECT_EQ(plotMinusLog2Fixed(1.0), 0);
    EXPECT_EQ(plotMinusLog2Fixed(0.5), 4096);
}

// Whatever the order of positions, the grids stay within their bound and
// every retained row's cell is set.
class PlotCollectorOrders : public ::testing::TestWithParam<int> {};

TEST_P(PlotCollectorOrders, GridStaysBoundedAndHoldsEveryRow)
{
    const int order = GetParam();
    PlotCollector c(1.0); // every row retained
    PlotRng rng(11);
    const int chromosomes = 25;
    const int64_t perChromosome = 80000;
    std::vector<std::vector<std::pair<int32_t, double>>> probes(chromosomes);
    for (int k = 0; k < chromosomes; ++k) {
        c.startChromosome(std::to_string(k));
        const int64_t length = 5000000 + int64_t(k) * 9000000; // 5..221 Mb
        for (int64_t i = 0; i < perChromosome; ++i) {
            double f = double(i) / perChromosome;
            if (order == 1)
                f = 1 - f; // descending
            else if (order == 2)
                f = 0.5 + (i % 2 ? 0.5 : -0.5) * f; // zig-zag outwards
            else if (order == 3)
                f = rng.uniform(); // random
            const int32_t position = static_cast<int32_t>(1000 + f * length);
            const double p = std::pow(10.0, -12 * rng.uniform() * rng.uniform());
            c.addRow(position, p, true);
            if (i % 997 == 0)
                probes[k].push_back({position, p});
        }
    }
    const PlotModel m = std::move(c).finish();
    const int64_t span = totalSpan(m);
    // x cells: at most span / 4096 bp wide, at most 16,384 + 2 per chromosome.
    EXPECT_LE(std::ldexp(1.0, m.xShift), double(span) / 4096);
    EXPECT_LE(totalCols(m), 16384u + 2 * chromosomes);
    // y cells: no taller than 1/512 of the highest value.
    EXPECT_LE(std::ldexp(1.0, m.yShift), std::max(double(m.maxLog2Fixed) / 511, 128.0));
    for (int k = 0; k < chromosomes; ++k)
        for (const auto& [position, p] : probes[k])
            ASSERT_TRUE(m.chromosomes[k].cellSet(colOf(m, position), cellOf(m, p)))
                << "chromosome " << k << " position " << position;
    EXPECT_EQ(m.retained, chromosomes * perChromosome);
}

INSTANTIATE_TEST_SUITE_P(Orders, PlotCollectorOrders, ::testing::Values(0, 1, 2, 3));

TEST(PlotCollector, ExtremePositionsAndManyChromosomes)
{
    PlotCollector c(0.5);
    for (int k = 0; k < 3000; ++k) {
        c.startChromosome("contig" + std::to_string(k));
        c.addRow(std::numeric_limits<int32_t>::min(), 0.01, true);
        c.addRow(std::numeric_limits<int32_t>::max(), 0.02, true);
        c.addRow(0, 0.03, true);
    }
    const PlotModel m = std::move(c).finish();
    EXPECT_EQ(m.chromosomes.size(), 3000u);
    EXPECT_LE(totalCols(m), 16384u + 2 * 3000);
    const PlotChromosome& last = m.chromosomes.back();
    EXPECT_TRUE(last.cellSet(colOf(m, std::numeric_limits<int32_t>::min()), cellOf(m, 0.01)));
    EXPECT_TRUE(last.cellSet(colOf(m, std::numeric_limits<int32_t>::max()), cellOf(m, 0.02)));
}
