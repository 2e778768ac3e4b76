// Layout arithmetic: chromosome offsets, tick choice, colours, and the
// thinning of markers to pixels.
#include "plot_layout.h"
#include "plot_svg.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <cmath>

using namespace plotlayout;

TEST(PlotLayout, ChromosomeSegmentsAreProportionalToSpans)
{
    // Spans 99, 199, 299 bp are 100, 200 and 300 slots of 1 bp.
    const auto s = chromosomeSegments({99, 199, 299}, 50, 608, 4);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_DOUBLE_EQ(s[0].x0, 50);
    EXPECT_DOUBLE_EQ(s[0].width, 100);
    EXPECT_DOUBLE_EQ(s[1].x0, 154);
    EXPECT_DOUBLE_EQ(s[1].width, 200);
    EXPECT_DOUBLE_EQ(s[2].x0, 358);
    EXPECT_DOUBLE_EQ(s[2].width, 300);
    EXPECT_DOUBLE_EQ(s[2].x0 + s[2].width, 658); // ends at left + width
}

TEST(PlotLayout, SinglePositionChromosomesAndManyChromosomes)
{
    const auto equal = chromosomeSegments({0, 0, 0, 0}, 0, 406, 2);
    for (const Segment& s : equal)
        EXPECT_DOUBLE_EQ(s.width, 100);
    // 10,000 contigs in 1,000 px: the gap shrinks to a quarter of a share.
    const auto many = chromosomeSegments(std::vector<int64_t>(10000, 9), 0, 1000, 4);
    EXPECT_NEAR(many.back().x0 + many.back().width, 1000, 1e-6);
    EXPECT_NEAR(many[1].x0 - (many[0].x0 + many[0].width), 0.025, 1e-9);
    EXPECT_GT(many[0].width, 0);
}

TEST(PlotLayout, PositionsMapIntoTheirSegment)
{
    const Segment s{100, 200};
    // Span 999: 1,000 slots of 0.2 px; position 1000 is the first slot.
    EXPECT_DOUBLE_EQ(positionX(s, 999, 1000, 1000), 100.1);
    EXPECT_DOUBLE_EQ(positionX(s, 999, 1000, 1999), 299.9);
    EXPECT_DOUBLE_EQ(positionX(s, 999, 1000, 1499.5), 200);
    // Outside the span (the middle of a coarse x cell): clamped to the ends.
    EXPECT_DOUBLE_EQ(positionX(s, 999, 1000, -5e6), 100);
    EXPECT_DOUBLE_EQ(positionX(s, 999, 1000, 5e6), 300);
    // One position: the middle.
    EXPECT_DOUBLE_EQ(positionX(s, 0, 42, 42), 200);
}

TEST(PlotLayout, NiceTicks)
{
    struct Case {
        double max;
        int count;
        double step, top;
    } cases[] = {
        {7.8, 8, 1, 8}, {8.0, 8, 1, 8},   {8.01, 8, 2, 10}, {10.2, 8, 2, 12}, {35, 8, 5, 35},
        {36, 8, 5, 40}, {324, 8, 50, 350}, {0.7, 8, 0.1, 0.7}, {6.2, 6, 2, 8},  {1234, 5, 500, 1500},
    };
    for (const Case& c : cases) {
        const Ticks t = niceTicks(c.max, c.count);
        EXPECT_DOUBLE_EQ(t.step, c.step) << c.max;
        EXPECT_NEAR(t.top, c.top, 1e-9) << c.max;
        ASSERT_EQ(t.values.size(), size_t(std::lround(t.top / t.step)) + 1) << c.max;
        EXPECT_EQ(t.values.front(), 0);
        EXPECT_NEAR(t.values.back(), t.top, 1e-9);
        EXPECT_LE(t.values.size(), size_t(c.count) + 1);
    }
    // Nothing to show: one step.
    EXPECT_EQ(niceTicks(0, 8).top, 1);
    EXPECT_EQ(niceTicks(std::nan(""), 8).top, 1);
    EXPECT_EQ(niceTicks(INFINITY, 8).top, 1);
}

TEST(PlotLayout, TickTextAndCounts)
{
    EXPECT_EQ(tickText(0), "0");
    EXPECT_EQ(tickText(5), "5");
    EXPECT_EQ(tickText(0.1 * 3), "0.3");
    EXPECT_EQ(tickText(7.30103), "7.30103");
    EXPECT_EQ(tickText(350), "350");
    EXPECT_EQ(groupedCount(0), "0");
    EXPECT_EQ(groupedCount(999), "999");
    EXPECT_EQ(groupedCount(1000), "1,000");
    EXPECT_EQ(groupedCount(10000000), "10,000,000");
}

TEST(PlotLayout, GqsColoursRunFromPaleToDark)
{
    EXPECT_EQ(gqsColour(1), kGqsAnchors[0]);
    EXPECT_EQ(gqsColour(3), kGqsAnchors[2]);
    EXPECT_EQ(gqsColour(5), kGqsAnchors[4]);
    EXPECT_EQ(gqsColour(0.2), kGqsAnchors[0]);
    EXPECT_EQ(gqsColour(9), kGqsAnchors[4]);
    EXPECT_EQ(gqsColour(std::nan("")), kGqsAnchors[0]);
    EXPECT_EQ(gqsColour(4.5), "#b20d21"); // halfway from #e31a1c to #800026, rounded
}

TEST(PlotLayout, PixelSetDrawsEachPixelOnceAndRunsAsStrokes)
{
    PixelSet p(4, 10);
    p.set(1, 2);
    p.set(1, 2);
    p.set(1, 3);
    p.set(1, 4);
    p.set(3, 9);
    p.set(50, -3); // clamped to (3, 0)
    EXPECT_EQ(p.count(), 5);
    std::string d;
    EXPECT_EQ(p.appendPath(d, 100, 10), 3);
    EXPECT_EQ(d, "M101 12V14M103 10v0M103 19v0");
}

namespace {

PlotDrawStats drawStats(PlotCollector& c)
{
    const PlotModel m = std::move(c).finish();
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    PlotDrawStats stats;
    EXPECT_TRUE(writeManhattanQqSvg(m, PlotSettings(), b, &stats));
    return stats;
}

} // namespace

TEST(PlotLayout, MarkersOnTheSamePixelAreDrawnOnce)
{
    // 100,000 retained rows within a few bp and a hair of -log10 p of each
    // other, on a 100 Mb chromosome: one pixel.
    PlotCollector c(0.001);
    c.startChromosome("1");
    c.addRow(1, 0.5, true);
    c.addRow(100000000, 0.5, true);
    for (int i = 0; i < 100000; ++i)
        c.addRow(50000000 + i % 7, 1e-6 * (1 + 1e-4 * (i % 3)), true);
    const PlotDrawStats one = drawStats(c);
    EXPECT_EQ(one.manhattanPixels, 1);
    EXPECT_EQ(one.manhattanDots, 1);
}

TEST(PlotLayout, MarkersOnDifferentPixelsAreEachDrawn)
{
    // Markers 1 Mb apart on a 100 Mb chromosome over about 1,500 px are 15 px
    // apart: each is drawn, at two heights each.
    PlotCollector c(0.001);
    c.startChromosome("1");
    c.addRow(1, 0.5, true);
    c.addRow(100000000, 0.5, true);
    for (int i = 1; i < 100; ++i) {
        c.addRow(i * 1000000, 1e-6, true);
        c.addRow(i * 1000000 + 10, 1e-12, true);
    }
    const PlotDrawStats s = drawStats(c);
    EXPECT_EQ(s.manhattanPixels, 198);
}
