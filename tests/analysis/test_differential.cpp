// The fast compression and chunk building against their straightforward
// versions, on thousands of generated chromosomes of scattered, repeated and
// unsorted positions: identical positions, chunks, heights (to the bit),
// choices, chunks taken and report bytes.
#include "analysis/profile_preparation.h"
#include "reference_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

// Generated chromosomes from a fixed seed: each test makes its own.
class Generator {
public:
    int64_t uniform(int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng_); }

    // Positions: random spacing with repeats, reversals, clusters and extremes.
    IntVector positions(size_t n)
    {
        IntVector L;
        int64_t pos = uniform(-1000, 5000000);
        const int style = static_cast<int>(uniform(0, 5));
        for (size_t i = 0; i < n; ++i) {
            switch (style) {
            case 0: pos += uniform(1, 3000); break;                                   // sorted, dense
            case 1: pos += uniform(0, 2) ? uniform(1, 400) : uniform(5000, 200000); break; // clusters
            case 2: pos += uniform(-500, 3000); break;                                // repeats and reversals
            case 3: pos = uniform(INT32_MIN, INT32_MAX); break;                       // anywhere
            case 4: pos += 100; break;                                                // evenly spaced
            default: pos += uniform(0, 1) ? 0 : uniform(1, 60000); break;            // many repeats
            }
            pos = std::clamp<int64_t>(pos, INT32_MIN, INT32_MAX);
            L.push_back(static_cast<int32_t>(pos));
        }
        return L;
    }

    // Values: peaks on a background, plateaus of equal values, rare NaN and -0.
    DoubleVector values(size_t n, bool specials)
    {
        DoubleVector P;
        double level = 3;
        for (size_t i = 0; i < n; ++i) {
            const int r = static_cast<int>(uniform(0, 99));
            if (r < 8)
                level = 3 + uniform(0, 40) * 0.5;
            double v = r < 30 ? level : 3 + std::uniform_real_distribution<double>(0, 10)(rng_);
            if (specials && r == 99)
                v = std::numeric_limits<double>::quiet_NaN();
            if (specials && r == 98)
                v = -0.0;
            P.push_back(v);
        }
        return P;
    }

private:
    std::mt19937_64 rng_{20261206};
};

bool sameBits(const DoubleVector& a, const DoubleVector& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

int choiceOf(const Markers& m, const Chunks& c, const ReportedRanges& reported, const AnalysisSettings& settings)
{
    LinearChunks linear(m, c);
    int chosen = -1;
    return chooseChunk(linear, reported, settings, chosen) ? chosen : -1;
}

} // namespace

TEST(Differential, CompressionMatchesStraightforward)
{
    Generator gen;
    const double shrinks[] = {0, 0.5, 1, 2, 7.5, 1e300, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    for (int trial = 0; trial < 3000; ++trial) {
        const size_t n = static_cast<size_t>(gen.uniform(0, trial % 10 == 0 ? 2000 : 60));
        const IntVector L = gen.positions(n);
        Markers fast{L, {}, WorkPositions(L.begin(), L.end()), gen.values(n, trial % 3 == 0), {}};
        Markers slow = fast;
        compressPositions(fast, shrinks[trial % 8]);
        referenceCompressPositions(slow, shrinks[trial % 8]);
        ASSERT_EQ(fast.work, slow.work) << "trial " << trial << " n " << n << " shrink " << shrinks[trial % 8];
    }
}

TEST(Differential, ChunkBuildingMatchesStraightforward)
{
    Generator gen;
    const AnalysisSettings settings;
    for (int trial = 0; trial < 3000; ++trial) {
        const size_t n = static_cast<size_t>(gen.uniform(1, trial % 10 == 0 ? 3000 : 80));
        Markers m;
        m.positions = gen.positions(n);
        // Working positions strictly increasing, as the scan leaves them.
        int64_t w = gen.uniform(-100000, 100000);
        for (size_t i = 0; i < n; ++i) {
            w += trial % 4 == 0 ? 100 : gen.uniform(1, i % 50 == 0 ? 300000 : 2000);
            m.work.push_back(w);
        }
        m.smoothed = gen.values(n, trial % 3 == 0);
        ReportedRanges reported;
        for (int k = static_cast<int>(gen.uniform(0, 3)); k > 0; --k) {
            const size_t a = static_cast<size_t>(gen.uniform(0, static_cast<int64_t>(n) - 1));
            const size_t b = static_cast<size_t>(gen.uniform(static_cast<int64_t>(a), static_cast<int64_t>(n) - 1));
            reported.left.push_back(std::min(m.positions[a], m.positions[b]));
            reported.right.push_back(std::max(m.positions[a], m.positions[b]));
        }
        Chunks fast, slow;
        SplitScratch scratch;
        buildChunks(m, fast, scratch);
        referenceBuildChunks(m, slow, scratch);
        ASSERT_EQ(fast.start, slow.start) << "trial " << trial;
        ASSERT_EQ(fast.end, slow.end) << "trial " << trial;
        ASSERT_EQ(fast.widestGap, slow.widestGap) << "trial " << trial;
        ASSERT_TRUE(sameBits(fast.height, slow.height)) << "trial " << trial;
        ASSERT_EQ(choiceOf(m, fast, reported, settings), choiceOf(m, slow, reported, settings)) << trial;
    }
}

TEST(Differential, ReportsMatchStraightforwardAnalysis)
{
    Generator gen;
    int rows = 0;
    for (int trial = 0; trial < 1500 / kScale; ++trial) {
        const size_t n = static_cast<size_t>(gen.uniform(0, trial % 20 == 0 ? 3000 : 300));
        const IntVector L = gen.positions(n);
        DoubleVector p;
        for (double v : gen.values(n, false))
            p.push_back(std::pow(10.0, -v));
        AnalysisSettings settings;
        settings.dots = trial % 7 == 0 ? 1 : 5;
        settings.shrink = trial % 5 == 0 ? 0.0 : 2.0;
        const ScanResult fast = scanWith(settings, productionSteps(), L, p);
        ASSERT_EQ(scanDifference(fast, scanWith(settings, referenceSteps(), L, p)), "") << "trial " << trial;
        rows += static_cast<int>(std::count(fast.rows.begin(), fast.rows.end(), '\n')) / 2;
    }
    EXPECT_GT(rows, 100 / kScale) << "the generated chromosomes should report peaks";
}
