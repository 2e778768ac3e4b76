// The fast compression and chunk building against their straightforward
// versions, on thousands of generated chromosomes: identical positions,
// chunks, heights (to the bit), choices and report bytes.
#include "kolmogorov005.h"
#include "peakcomber1.h"
#include "reference_analysis.h"
#include "setZ.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

// Fewer generated chromosomes under the sanitizers, which run far slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kScale = 4;
#else
constexpr int kScale = 1;
#endif

std::mt19937_64 rng(20261206);

int64_t uniformInt(int64_t lo, int64_t hi)
{
    return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
}

// Positions: random spacing with repeats, reversals, clusters and extremes.
IntVector makePositions(size_t n)
{
    IntVector L;
    int64_t pos = uniformInt(-1000, 5000000);
    const int style = static_cast<int>(uniformInt(0, 5));
    for (size_t i = 0; i < n; ++i) {
        switch (style) {
        case 0: pos += uniformInt(1, 3000); break;                       // sorted, dense
        case 1: pos += uniformInt(0, 2) ? uniformInt(1, 400) : uniformInt(5000, 200000); break; // clusters
        case 2: pos += uniformInt(-500, 3000); break;                    // repeats and reversals
        case 3: pos = uniformInt(INT32_MIN, INT32_MAX); break;           // anywhere
        case 4: pos += 100; break;                                       // evenly spaced
        default: pos += uniformInt(0, 1) ? 0 : uniformInt(1, 60000); break; // many repeats
        }
        pos = std::clamp<int64_t>(pos, INT32_MIN, INT32_MAX);
        L.push_back(static_cast<int32_t>(pos));
    }
    return L;
}

// Values: peaks on a background, plateaus of equal values, rare NaN and -0.
DoubleVector makeValues(size_t n, bool specials)
{
    DoubleVector P;
    double level = 3;
    for (size_t i = 0; i < n; ++i) {
        const int r = static_cast<int>(uniformInt(0, 99));
        if (r < 8)
            level = 3 + uniformInt(0, 40) * 0.5;
        double v = r < 30 ? level : 3 + std::uniform_real_distribution<double>(0, 10)(rng);
        if (specials && r == 99)
            v = std::numeric_limits<double>::quiet_NaN();
        if (specials && r == 98)
            v = -0.0;
        P.push_back(v);
    }
    return P;
}

bool sameBits(const DoubleVector& a, const DoubleVector& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

void tables()
{
    if (KolmoN.empty())
        kolmogorov005();
    if (Zscore.empty())
        setZ();
}

} // namespace

TEST(Differential, CompressionMatchesStraightforward)
{
    for (int trial = 0; trial < 3000; ++trial) {
        const size_t n = static_cast<size_t>(uniformInt(0, trial % 10 == 0 ? 2000 : 60));
        const IntVector L = makePositions(n);
        Ptemp = makeValues(n, trial % 3 == 0);
        const double shrinks[] = {0, 0.5, 1, 2, 7.5, 1e300, std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
        shrink = shrinks[trial % 8];
        Ltemp.assign(L.begin(), L.end());
        compressPositions();
        const WorkPositions fast = Ltemp;
        Ltemp.assign(L.begin(), L.end());
        referenceCompressPositions();
        ASSERT_EQ(fast, Ltemp) << "trial " << trial << " n " << n << " shrink " << shrink;
    }
    shrink = 2.0;
}

TEST(Differential, ChunkBuildingMatchesStraightforward)
{
    tables();
    inlimit = 0.001;
    PeakThreshold = 5;
    for (int trial = 0; trial < 3000; ++trial) {
        const size_t n = static_cast<size_t>(uniformInt(1, trial % 10 == 0 ? 3000 : 80));
        // Working positions strictly increasing, as the scan leaves them.
        const IntVector raw = makePositions(n);
        Ltemp.clear();
        int64_t w = uniformInt(-100000, 100000);
        for (size_t i = 0; i < n; ++i) {
            w += trial % 4 == 0 ? 100 : uniformInt(1, i % 50 == 0 ? 300000 : 2000);
            Ltemp.push_back(w);
        }
        Lvec = raw;
        Ptemp = makeValues(n, trial % 3 == 0);
        NoCrossL.clear();
        NoCrossR.clear();
        for (int k = static_cast<int>(uniformInt(0, 3)); k > 0; --k) {
            const size_t a = static_cast<size_t>(uniformInt(0, static_cast<int64_t>(n) - 1));
            const size_t b = static_cast<size_t>(uniformInt(static_cast<int64_t>(a), static_cast<int64_t>(n) - 1));
            NoCrossL.push_back(std::min(Lvec[a], Lvec[b]));
            NoCrossR.push_back(std::max(Lvec[a], Lvec[b]));
        }
        const int fast = splitAll(-9.99);
        const IntVector s = StartL, e = EndL;
        const DoubleVector h = PvalL;
        const int ref = referenceSplitAll(-9.99);
        ASSERT_EQ(fast, ref) << "trial " << trial;
        ASSERT_EQ(s, StartL) << "trial " << trial;
        ASSERT_EQ(e, EndL) << "trial " << trial;
        ASSERT_TRUE(sameBits(h, PvalL)) << "trial " << trial;
    }
}

TEST(Differential, ReportsMatchStraightforwardAnalysis)
{
    tables();
    int rows = 0;
    for (int trial = 0; trial < 1500 / kScale; ++trial) {
        const size_t n = static_cast<size_t>(uniformInt(0, trial % 20 == 0 ? 3000 : 300));
        const IntVector L = makePositions(n);
        DoubleVector p;
        for (double v : makeValues(n, false))
            p.push_back(std::pow(10.0, -v));
        dots = trial % 7 == 0 ? 1 : 5;
        shrink = trial % 5 == 0 ? 0.0 : 2.0;
        PeakThreshold = 5.0;
        inlimit = 0.001;
        Filename = "d.tsv";
        std::string out[2];
        for (int pass = 0; pass < 2; ++pass) {
            Lvec = L;
            Pvec = p;
            if (pass == 0)
                analyzeWith("1", compressPositions, splitAll);
            else
                analyzeWith("1", referenceCompressPositions, referenceSplitAll);
            out[pass] = out_stream.takeCaptured();
        }
        ASSERT_EQ(out[0], out[1]) << "trial " << trial;
        rows += static_cast<int>(std::count(out[0].begin(), out[0].end(), '\n'));
    }
    EXPECT_GT(rows, 100 / kScale) << "the generated chromosomes should report peaks";
    dots = 5;
    shrink = 2.0;
}
