// Chromosome scan steps, chunk splitting and the feature set, on the worked
// examples; and the scan on degenerate chromosomes (run under the sanitizers).
#include "kolmogorov005.h"
#include "peakcomber1.h"
#include "setZ.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

void setMarkers(const IntVector& positions, const DoubleVector& values)
{
    Lvec = positions;
    Pvec = values;
    Ltemp.assign(positions.begin(), positions.end());
    Ptemp = values;
    NoCrossL.clear();
    NoCrossR.clear();
}

void setDefaults()
{
    shrink = 2.0;
    dots = 5;
    PeakThreshold = 5.0;
    inlimit = 0.001;
    if (KolmoN.empty())
        kolmogorov005();
    if (Zscore.empty())
        setZ();
    out_stream.takeCaptured();
}

const IntVector kWorkedPositions = {10000, 10400, 11000, 11300, 11500, 11600,
                                    11800, 12400, 13000, 14000, 30000, 30500};
const DoubleVector kWorkedValues = {1, 2, 3, 8, 12, 11, 4, 3, 2, 1, 1, 1.5};

} // namespace

TEST(ChromosomeScan, TrimmingKeepsAboutOneBackgroundMarkerPer25000)
{
    setDefaults();
    setMarkers({0, 12500, 25000, 37500, 50000}, {3.0, 3.1, 3.2, 3.3, 9.0});
    trimBackground();
    EXPECT_EQ(Lvec, (IntVector{25000, 37500, 50000}));
    EXPECT_EQ(Pvec, (DoubleVector{3.2, 3.3, 9.0}));
    EXPECT_EQ(Ptemp, Pvec);
    EXPECT_EQ(Ltemp, (WorkPositions{25000, 37500, 50000}));

    // Sparse background: nothing removed; a value equal to the limit stays.
    setMarkers({0, 30000, 60000, 90000}, {3.0, 3.0, 4.0, 9.0});
    trimBackground();
    EXPECT_EQ(Lvec.size(), 4u);
    // No background at all, and a dense stretch: defined, nothing out of range.
    setMarkers({0, 10, 20}, {8, 9, 10});
    trimBackground();
    EXPECT_EQ(Lvec.size(), 3u);
    setMarkers({500, 100, 90}, {3, 4, 5});
    trimBackground();
    EXPECT_EQ(Lvec, (IntVector{90}));
}

TEST(ChromosomeScan, CompressionAndStraightening)
{
    setDefaults();
    setMarkers({0, 1000, 2000, 3000}, {3, 3, 5, 3});
    compressPositions();
    EXPECT_EQ(Ltemp, (WorkPositions{0, 1000, 1001, 1002}));
    straightenPositions();
    EXPECT_EQ(Ltemp, (WorkPositions{0, 500, 751, 1002}));

    shrink = 0;
    setMarkers({0, 1000, 2000, 3000}, {3, 3, 5, 3});
    compressPositions();
    EXPECT_EQ(Ltemp, (WorkPositions{0, 1000, 2000, 3000}));

    // Repeated and out-of-order positions still end strictly increasing.
    shrink = 2;
    setMarkers({500, 500, 100, 900, 900, 2}, {3, 4, 8, 6, 5, 3});
    compressPositions();
    for (size_t i = 1; i < Ltemp.size(); ++i)
        EXPECT_GT(Ltemp[i], Ltemp[i - 1]);
}

TEST(ChromosomeScan, SmoothingUsesUnsmoothedValuesAndRealPositions)
{
    setDefaults();
    setMarkers({100, 200, 300, 400, 500}, {1, 2, 3, 2, 1});
    smoothProfile();
    EXPECT_EQ(Ptemp[0], 1);
    EXPECT_EQ(Ptemp[1], 2);
    EXPECT_DOUBLE_EQ(Ptemp[2], 1.8);
    EXPECT_EQ(Ptemp[3], 2);
    EXPECT_EQ(Pvec, (DoubleVector{1, 2, 3, 2, 1}));
}

TEST(ChunkSplitting, WorkedExample)
{
    setDefaults();
    setMarkers(kWorkedPositions, kWorkedValues);
    EXPECT_EQ(splitAll(-9.99), 2);
    EXPECT_EQ(StartL, (IntVector{0, 0, 2, 2, 3, 4, 4, 4, 4}));
    EXPECT_EQ(EndL, (IntVector{9, 8, 8, 6, 6, 6, 5, 4, 4}));
    EXPECT_EQ(PvalL, DoubleVector(9, 12.0));
    ChunkMeasures cm;
    StartL.clear();
    EndL.clear();
    PvalL.clear();
    buildChunks(cm);
    EXPECT_EQ(cm.MedChunk, (std::vector<int64_t>{444, 375, 333, 200, 166, 150, 100, 0, 0}));
    EXPECT_EQ(cm.MaxChunk, (std::vector<int64_t>{1000, 600, 600, 300, 200, 200, 100, 0, 0}));
    // A peak reported before at 11000..11600 makes the choice back off to 0.
    NoCrossL = {11000};
    NoCrossR = {11600};
    EXPECT_EQ(splitAll(-9.99), 0);
    // A reported peak that the chunk only overlaps does not.
    NoCrossL = {11500};
    NoCrossR = {14000};
    EXPECT_EQ(splitAll(-9.99), 2);
}

TEST(ChunkSplitting, CuttingExamples)
{
    setDefaults();
    setMarkers({100, 200, 300, 1000, 1100}, {1, 1, 1, 1, 1});
    splitAll(-9.99);
    EXPECT_EQ(StartL, (IntVector{0, 1, 1, 1}));
    EXPECT_EQ(EndL, (IntVector{2, 2, 1, 1}));
    setMarkers({100, 200, 300, 400}, {1, 1, 1, 1});
    splitAll(-9.99);
    EXPECT_EQ(StartL, (IntVector{1, 2, 2, 2}));
    EXPECT_EQ(EndL, (IntVector{3, 3, 2, 2}));
    setMarkers({100}, {9});
    EXPECT_EQ(splitAll(-9.99), 0);
    EXPECT_EQ(StartL, (IntVector{0}));
    setMarkers({100, 5000}, {9, 9});
    EXPECT_EQ(splitAll(-9.99), 1);
    EXPECT_EQ(StartL, (IntVector{0, 0}));
    EXPECT_EQ(EndL, (IntVector{0, 0}));
}

TEST(FeatureSet, RowOfTheWorkedExampleChunk)
{
    setDefaults();
    setMarkers(kWorkedPositions, kWorkedValues);
    Filename = "t.tsv";
    // Chunk 2..8: the extended peak is 0..10, the clipped peak 2..8.
    ASSERT_TRUE(writePeakRow(2, 8, "7"));
    const std::string row = out_stream.takeCaptured();
    // Fields derived from the unsmoothed values 3, 8, 12, 11, 4, 3, 2 at
    // 11000..13000: summit 12 at index 2; all 6 steps rise toward it;
    // width 2001; spacing 2000 / 7 = 285; balance 4 right of 2 left, sums
    // 20 / 11; values at or above the mean 43/7: 8, 12, 11 (sum 31) against
    // 3, 4, 3, 2 (sum 12).
    const std::string head = "t.tsv\t7\t11000-13000\t12\t";
    ASSERT_EQ(row.substr(0, head.size()), head);
    std::vector<std::string> f;
    size_t at = 0;
    while (at <= row.size()) {
        const size_t tab = row.find_first_of("\t\n", at);
        if (tab == std::string::npos)
            break;
        f.push_back(row.substr(at, tab - at));
        at = tab + 1;
    }
    ASSERT_EQ(f.size(), 20u);
    EXPECT_EQ(f[6], "1");
    EXPECT_EQ(f[7], "0.142857");
    EXPECT_EQ(f[8], "0");
    EXPECT_EQ(f[9], "5997");
    EXPECT_EQ(f[11], "2000");
    EXPECT_EQ(f[12], "7");
    EXPECT_EQ(f[13], "285");
    EXPECT_EQ(f[14], "2");
    EXPECT_EQ(f[15], "1.81818");
    EXPECT_EQ(f[16], "0.75");
    EXPECT_EQ(f[17], "2.58333");
    EXPECT_EQ(f[18], "1.95349");
}

TEST(FeatureSet, ExtendedAndClippedRanges)
{
    setDefaults();
    IntVector positions;
    DoubleVector values;
    for (int i = 0; i < 100; ++i) {
        positions.push_back(1000 + 10 * i + (i * i) % 7);
        values.push_back(3 + (i % 11));
    }
    setMarkers(positions, values);
    Filename = "f";
    ASSERT_TRUE(writePeakRow(10, 20, "1"));
    std::string row = out_stream.takeCaptured();
    EXPECT_NE(row.find("\t" + std::to_string(positions[10]) + "-" + std::to_string(positions[20]) + "\t"),
              std::string::npos);
    EXPECT_NE(row.find("\t" + std::to_string(positions[20] - positions[10]) + "\t11\t"), std::string::npos);
    ASSERT_TRUE(writePeakRow(0, 9, "1"));
    row = out_stream.takeCaptured();
    EXPECT_NE(row.find("\t" + std::to_string(positions[0]) + "-" + std::to_string(positions[9]) + "\t"),
              std::string::npos);
    EXPECT_NE(row.find("\t" + std::to_string(positions[9] - positions[2]) + "\t8\t"), std::string::npos);
    // Fewer than five markers left: the clipped peak is empty, no row.
    setMarkers({1, 2, 3}, {8, 9, 8});
    EXPECT_FALSE(writePeakRow(0, 2, "1"));
    EXPECT_EQ(out_stream.takeCaptured(), "");
}

TEST(ChromosomeScan, DegenerateChromosomesAreSafe)
{
    setDefaults();
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
    for (int d : {1, 2, 5}) {
        for (double s : {0.0, 2.0, 1e300, std::numeric_limits<double>::infinity()}) {
            for (const auto& c : cases) {
                dots = d;
                shrink = s;
                Lvec = c.positions;
                Pvec = c.pvalues;
                Analyze("x");
                for (size_t i = 1; i < Ltemp.size(); ++i)
                    ASSERT_GT(Ltemp[i], Ltemp[i - 1]);
            }
        }
    }
    out_stream.takeCaptured();
}
