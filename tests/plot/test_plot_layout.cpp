// Layout arithmetic: chromosome offsets, tick choice, colours, and the
// thinning of markers to pixels (drawn figures: test_plot_svg.cpp).
#include "plot/plot_layout.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plotlayout;

TEST(PlotLayout, ChromosomeSegments)
{
    // Spans 99, 199, 299 bp are 100, 200 and 300 slots of 1 bp, 4 px apart,
    // ending at left + width.
    const auto s = chromosomeSegments({99, 199, 299}, 50, 608, 4);
    const double want[][2] = {{50, 100}, {154, 200}, {358, 300}};
    ASSERT_EQ(s.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_DOUBLE_EQ(s[k].x0, want[k][0]) << k;
        EXPECT_DOUBLE_EQ(s[k].width, want[k][1]) << k;
    }
    for (const Segment& one : chromosomeSegments({0, 0, 0, 0}, 0, 406, 2)) // one position each
        EXPECT_DOUBLE_EQ(one.width, 100);
    // 10,000 contigs in 1,000 px: the gap shrinks to a quarter of a share.
    const auto many = chromosomeSegments(std::vector<int64_t>(10000, 9), 0, 1000, 4);
    EXPECT_NEAR(many.back().x0 + many.back().width, 1000, 1e-6);
    EXPECT_NEAR(many[1].x0 - (many[0].x0 + many[0].width), 0.025, 1e-9);
}

TEST(PlotLayout, PositionsMapIntoTheirSegment)
{
    // Span 999 over 200 px: 1,000 slots of 0.2 px, a position in the middle
    // of its slot; outside the span (the middle of a coarse x cell) clamped
    // to the ends; a chromosome of one position in the middle.
    const struct {
        int64_t span;
        int32_t min;
        double position, x;
    } cases[] = {{999, 1000, 1000, 100.1}, {999, 1000, 1999, 299.9}, {999, 1000, 1499.5, 200},
                 {999, 1000, -5e6, 100},   {999, 1000, 5e6, 300},     {0, 42, 42, 200}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(positionX(Segment{100, 200}, c.span, c.min, c.position), c.x) << c.position;
}

TEST(PlotLayout, NiceTicks)
{
    const struct {
        double max;
        int count;
        double step, top;
    } cases[] = {
        {7.8, 8, 1, 8}, {8.0, 8, 1, 8},   {8.01, 8, 2, 10}, {10.2, 8, 2, 12}, {35, 8, 5, 35},
        {36, 8, 5, 40}, {324, 8, 50, 350}, {0.7, 8, 0.1, 0.7}, {6.2, 6, 2, 8},  {1234, 5, 500, 1500},
        {0, 8, 1, 1},   {NAN, 8, 1, 1},    {INFINITY, 8, 1, 1}, // nothing to show: one step
    };
    for (const auto& c : cases) {
        const Ticks t = niceTicks(c.max, c.count);
        EXPECT_DOUBLE_EQ(t.step, c.step) << c.max;
        EXPECT_NEAR(t.top, c.top, 1e-9) << c.max;
        ASSERT_EQ(t.values.size(), size_t(std::lround(t.top / t.step)) + 1) << c.max;
        EXPECT_EQ(t.values.front(), 0);
        EXPECT_NEAR(t.values.back(), t.top, 1e-9);
        EXPECT_LE(t.values.size(), size_t(c.count) + 1);
    }
}

// Ordinary ticks, counts and GQS colours are the committed example figure's
// (cli/test_example.cpp); here rounding noise, the sign and the extremes.
TEST(PlotLayout, TickTextCountsAndColours)
{
    EXPECT_EQ(tickText(0.1 * 3), "0.3");
    EXPECT_EQ(tickText(7.30103), "7.30103");
    EXPECT_EQ(groupDigits(-1234), "-1,234");
    EXPECT_EQ(groupDigits(INT64_MIN), "-9,223,372,036,854,775,808");
    // Clamped below 1 and above 5, NaN as the palest; 4.5 halfway from
    // #e31a1c to #800026.
    const std::pair<double, std::string> colours[] = {
        {0.2, kGqsAnchors[0]}, {9, kGqsAnchors[4]}, {NAN, kGqsAnchors[0]}, {4.5, "#b20d21"}};
    for (const auto& [gqs, colour] : colours)
        EXPECT_EQ(gqsColour(gqs), colour) << gqs;
}

TEST(PlotLayout, PixelSetDrawsEachPixelOnceAndRunsAsStrokes)
{
    PixelSet p(4, 10);
    for (const auto& [x, y] : {std::pair{1, 2}, {1, 2}, {1, 3}, {1, 4}, {3, 9}, {50, -3}}) // the last clamped to (3, 0)
        p.set(x, y);
    EXPECT_EQ(p.count(), 5);
    std::string d;
    EXPECT_EQ(p.appendPath(d, 100, 10), 3);
    EXPECT_EQ(d, "M101 12V14M103 10v.1M103 19v.1");
}

// Against every pixel looked at one by one, on scattered pixels and
// rectangles of all sizes (some reaching outside the set): a rectangle
// holding a set pixel is never free, and one 4 px or more from every set
// pixel always is.
TEST(PlotLayout, PixelCellsNeverCallAnOccupiedRectangleFree)
{
    PixelSet pixels(37, 29);
    uint64_t state = 12345;
    const auto next = [&](int n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % uint64_t(n));
    };
    for (int k = 0; k < 12; ++k)
        pixels.set(next(37), next(29));
    const PixelCells cells(pixels);
    int free = 0, occupied = 0;
    for (int k = 0; k < 4000; ++k) {
        const int x0 = next(45) - 4, y0 = next(37) - 4;
        const int x1 = x0 + next(12), y1 = y0 + next(12);
        bool inside = false, near = false;
        for (int x = x0 - 4; x <= x1 + 4; ++x)
            for (int y = y0 - 4; y <= y1 + 4; ++y)
                if (pixels.get(x, y)) {
                    near = true;
                    inside = inside || (x >= x0 && x <= x1 && y >= y0 && y <= y1);
                }
        if (inside) {
            EXPECT_FALSE(cells.free(x0, y0, x1, y1)) << x0 << "," << y0 << " to " << x1 << "," << y1;
            ++occupied;
        }
        if (!near) {
            EXPECT_TRUE(cells.free(x0, y0, x1, y1)) << x0 << "," << y0 << " to " << x1 << "," << y1;
            ++free;
        }
    }
    EXPECT_GT(free, 100);
    EXPECT_GT(occupied, 100);
}
