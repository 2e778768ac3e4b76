// Scan steps, chunk splitting and peak measurement on the worked examples;
// and the whole scan on degenerate chromosomes (run under the sanitizers).
#include "analysis/chromosome_scan.h"
#include "report/peak_row.h"
#include "analysis/profile_preparation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

Markers markersOf(const IntVector& positions, const DoubleVector& values)
{
    return Markers{positions, values, WorkPositions(positions.begin(), positions.end()), values, {}};
}

const IntVector kWorkedPositions = {10000, 10400, 11000, 11300, 11500, 11600,
                                    11800, 12400, 13000, 14000, 30000, 30500};
const DoubleVector kWorkedValues = {1, 2, 3, 8, 12, 11, 4, 3, 2, 1, 1, 1.5};

std::vector<std::string> fieldsOf(const std::string& row)
{
    std::vector<std::string> f;
    size_t at = 0;
    for (size_t tab; (tab = row.find_first_of("\t\n", at)) != std::string::npos; at = tab + 1)
        f.push_back(row.substr(at, tab - at));
    return f;
}

} // namespace

TEST(ProfilePreparation, CompressionStraighteningSmoothing)
{
    Markers m = markersOf({0, 1000, 2000, 3000}, {3, 3, 5, 3});
    compressPositions(m, 2.0);
    EXPECT_EQ(m.work, (WorkPositions{0, 1000, 1001, 1002}));
    straightenPositions(m);
    EXPECT_EQ(m.work, (WorkPositions{0, 500, 751, 1002}));
    m = markersOf({0, 1000, 2000, 3000}, {3, 3, 5, 3});
    compressPositions(m, 0.0);
    EXPECT_EQ(m.work, (WorkPositions{0, 1000, 2000, 3000}));
    // Repeated and out-of-order positions still end strictly increasing.
    m = markersOf({500, 500, 100, 900, 900, 2}, {3, 4, 8, 6, 5, 3});
    compressPositions(m, 2.0);
    for (size_t i = 1; i < m.work.size(); ++i)
        EXPECT_GT(m.work[i], m.work[i - 1]);
    // A marker moves to its neighbours' midpoint only when they lie more
    // than 3 apart.
    m = markersOf({0, 1, 2}, {3, 3, 3});
    m.work = {0, 2, 3};
    straightenPositions(m);
    EXPECT_EQ(m.work, (WorkPositions{0, 2, 3}));
    m.work = {0, 3, 4};
    straightenPositions(m);
    EXPECT_EQ(m.work, (WorkPositions{0, 2, 4}));
    // Working positions near the +-2^62 limit of the compression: the
    // midpoint is taken without overflow.
    m = markersOf({0, 1, 2}, {3, 3, 3});
    m.work = {INT64_C(4611686018427387909), 0, INT64_C(4611686019489620045)};
    straightenPositions(m);
    EXPECT_EQ(m.work[1], INT64_C(4611686018958503977));
    // Smoothing fits the unsmoothed values over real positions.
    m = markersOf({100, 200, 300, 400, 500}, {1, 2, 3, 2, 1});
    smoothProfile(m);
    EXPECT_EQ(m.smoothed[1], 2);
    EXPECT_DOUBLE_EQ(m.smoothed[2], 1.8);
    EXPECT_EQ(m.values, (DoubleVector{1, 2, 3, 2, 1}));
}

TEST(ChunkSplitting, WorkedExample)
{
    const Markers m = markersOf(kWorkedPositions, kWorkedValues);
    const AnalysisSettings settings;
    Chunks c;
    SplitScratch scratch;
    buildChunks(m, c, scratch);
    EXPECT_EQ(c.start, (std::vector<int>{0, 0, 2, 2, 3, 4, 4, 4, 4}));
    EXPECT_EQ(c.end, (std::vector<int>{9, 8, 8, 6, 6, 6, 5, 4, 4}));
    EXPECT_EQ(c.height, DoubleVector(9, 12.0));
    EXPECT_EQ(c.widestGap, (std::vector<int64_t>{1000, 600, 600, 300, 200, 200, 100, 0, 0}));
    ReportedRanges reported;
    LinearChunks linear(m, c);
    const auto chosen = [&] {
        int item = -1;
        return chooseChunk(linear, reported, settings, item) ? item : -1;
    };
    EXPECT_EQ(chosen(), 2);
    // A peak reported before at 11000..11600 makes the choice back off to 0;
    // one that the chunk only overlaps does not.
    reported.left = {11000};
    reported.right = {11600};
    EXPECT_EQ(chosen(), 0);
    reported.left = {11500};
    reported.right = {14000};
    EXPECT_EQ(chosen(), 2);
    // A chunk spans a peak with the same ends.
    reported.left = {11000};
    reported.right = {13000};
    EXPECT_EQ(chosen(), 0);
    // What the inward walk sees: means of the outer three (two, one) values,
    // the first working gap and the mean spacing.
    const struct {
        int item;
        double left, right;
        int64_t firstGap, spacing;
    } edges[] = {{2, 23 / 3.0, 3, 300, 333}, {6, 11.5, 11.5, 100, 100}, {7, 12, 12, 100, 0}};
    for (const auto& e : edges) {
        const EdgeSample sample = chunk_choice::edgeSampleOf(linear, e.item);
        EXPECT_EQ(sample.left, e.left) << e.item;
        EXPECT_EQ(sample.right, e.right) << e.item;
        EXPECT_EQ(sample.firstGap, e.firstGap) << e.item;
        EXPECT_EQ(sample.spacing, e.spacing) << e.item;
    }
}

TEST(PeakFeatures, RowOfTheWorkedExampleChunk)
{
    const Markers m = markersOf(kWorkedPositions, kWorkedValues);
    // Chunk 2..8: the extended peak is 0..10, the clipped peak 2..8.
    const auto f = measurePeak(m, 2, 8);
    ASSERT_TRUE(f);
    std::string row;
    appendPeakRow(row, "t.tsv", "7", *f);
    // Fields derived from the unsmoothed values 3, 8, 12, 11, 4, 3, 2 at
    // 11000..13000: summit 12 at index 2; all 6 steps rise toward it;
    // width 2001; spacing 2000 / 7 = 285; balance 4 right of 2 left, sums
    // 20 / 11; values at or above the mean 43/7: 8, 12, 11 (sum 31) against
    // 3, 4, 3, 2 (sum 12). Least-squares slopes of the 5-marker windows over
    // 10000..30000: steepest 0.00862661 (10400..11800), largest product
    // 0.00700565 x 11 at 11600; GQS of height 12 and that product. The
    // positions in three bins hold 4, 1, 2 markers: largest gap 0.161 to the
    // fitted normal, below the critical 0.486 for 7.
    const std::vector<std::string> expected = {"t.tsv", "7", "11000-13000", "12", "0.00862661", "0.0770621", "1",
                                               "0.142857", "0", "5997", "1", "2000", "7", "285", "2", "1.81818",
                                               "0.75", "2.58333", "1.95349", "3.66305"};
    const auto fields = fieldsOf(row);
    ASSERT_EQ(fields.size(), 20u) << row;
    for (size_t k = 0; k < fields.size(); ++k)
        EXPECT_EQ(fields[k], expected[k]) << "field " << k + 1;
    EXPECT_EQ(f->leadPosition, 11500);
    EXPECT_EQ(f->leadIndex, 4u);
}

TEST(ChromosomeScan, DegenerateChromosomesAreSafe)
{
    const double tiny = std::numeric_limits<double>::denorm_min();
    const struct {
        IntVector positions;
        DoubleVector pvalues;
    } cases[] = {
        {{}, {}},
        {{100}, {1e-20}},
        {{5, 5, 5, 5, 5, 5, 5, 5}, {1e-9, 1e-9, 1e-9, 1e-9, 1e-9, 1e-9, 1e-9, 1e-9}},
        {{9, 8, 7, 6, 5, 4, 3, 2, 1}, {1e-9, 1e-12, 1e-30, 1e-8, 1e-9, 1e-12, 1e-3, 1e-4, 1e-9}},
        {{INT32_MIN, INT32_MAX, 0, INT32_MAX, INT32_MIN, 7, 8, 9}, {1e-9, 1e-12, tiny, 0, -1, 1e-9, 1e-8, 1e-7}},
        {{100, 200, 300, 400, 500, 600, 700, 800}, {1e-8, 1e-8, 1e-8, 1e-8, 1e-8, 1e-8, 1e-8, 1e-8}},
    };
    for (int dots : {1, 2, 5}) {
        for (double shrink : {0.0, 2.0, 1e300, std::numeric_limits<double>::infinity()}) {
            AnalysisSettings settings;
            settings.dots = dots;
            settings.shrink = shrink;
            ChromosomeScan scan(settings);
            for (const auto& c : cases) {
                IntVector positions = c.positions;
                DoubleVector pvalues = c.pvalues;
                std::vector<PeakFeatures> peaks;
                scan.analyse(positions, pvalues, peaks);
                EXPECT_TRUE(positions.empty() && pvalues.empty());
                const WorkPositions& work = scan.workPositions();
                for (size_t i = 1; i < work.size(); ++i)
                    ASSERT_GT(work[i], work[i - 1]);
            }
        }
    }
}
