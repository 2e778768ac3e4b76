// The tree scan against the linear scan over compacted vectors, on
// generated chromosomes shaped like dense imputed tables: broad strong
// regions, equal gaps, plateaus, sharp peaks beside broad regions (the
// back-off), several regions per chromosome, unsorted positions, and random
// shrink, dots, thresholds and input limits. Same chunks taken out in the
// same order, same report bytes.
#include "reference_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

namespace {

// Smaller broad regions under the sanitizers.
constexpr int kLargestBroadRegion = kScale > 1 ? 2000 : 20000;

class ShapeGenerator {
public:
    explicit ShapeGenerator(uint64_t seed) : rng_(seed) {}
    int64_t uniform(int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng_); }
    double real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }

    // Background of about `background` markers with regions of the given sizes.
    Chromosome make(int background, const std::vector<int>& regions)
    {
        Chromosome c;
        pos_ = uniform(1, 100000);
        for (int region : regions) {
            addBackground(c, background / (static_cast<int>(regions.size()) + 1));
            addRegion(c, region);
            if (uniform(0, 2) == 0)
                addSharpPeak(c);
        }
        addBackground(c, background / (static_cast<int>(regions.size()) + 1));
        if (uniform(0, 9) == 0)
            shuffleSome(c);
        return c;
    }

    // A strong stretch whose gaps widen steadily, so that every gap is a new
    // widest one and the path peels one marker per chunk: the tree gives up
    // there. The straightforward chunk building is cubic on it: small ones.
    Chromosome widening(int n)
    {
        Chromosome c;
        pos_ = uniform(1, 100000);
        addBackground(c, static_cast<int>(uniform(0, 60)));
        const int64_t base = uniform(0, 1) ? 200 : 50000;
        for (int i = 0; i < n; ++i)
            add(c, base + 7 * i, uniform(0, 3) ? 10 : real(9, 11));
        addBackground(c, static_cast<int>(uniform(0, 60)));
        return c;
    }

private:
    void add(Chromosome& c, int64_t step, double logp)
    {
        pos_ += step;
        c.positions.push_back(static_cast<int32_t>(std::min<int64_t>(pos_, INT32_MAX)));
        c.pvalues.push_back(std::pow(10.0, -logp));
    }
    void addBackground(Chromosome& c, int n)
    {
        for (int i = 0; i < n; ++i)
            add(c, uniform(1, 20000), real(3, 6.5));
    }
    // A broad strong region: a smooth bump, a plateau, or a noisy one; equal
    // or random gaps of about 30.
    void addRegion(Chromosome& c, int n)
    {
        const int shape = static_cast<int>(uniform(0, 3));
        const bool equalGaps = uniform(0, 2) == 0;
        const double height = real(10, 60), width = real(0.2, 2.0);
        for (int i = 0; i < n; ++i) {
            const double d = (i - n / 2.0) / (n * width);
            double v = shape == 1 ? height : height * std::exp(-d * d);
            if (shape == 2)
                v *= real(0.9, 1.0);
            if (shape == 3 && i % 97 < 20)
                v = height * 0.5; // plateaus of equal values inside
            add(c, equalGaps ? 30 : uniform(1, 59), std::max(v, 3.0));
        }
    }
    void addSharpPeak(Chromosome& c)
    {
        add(c, uniform(50, 30000), 4);
        const double height = real(8, 40);
        for (int i = -20; i <= 20; ++i)
            add(c, uniform(100, 400), 3.5 + height * std::exp(-i * i / 40.0));
    }
    void shuffleSome(Chromosome& c)
    {
        for (int k = static_cast<int>(uniform(1, 20)); k > 0; --k) {
            const size_t a = static_cast<size_t>(uniform(0, static_cast<int64_t>(c.positions.size()) - 1));
            const size_t b = static_cast<size_t>(uniform(0, static_cast<int64_t>(c.positions.size()) - 1));
            std::swap(c.positions[a], c.positions[b]);
        }
    }

    std::mt19937_64 rng_;
    int64_t pos_ = 0;
};

AnalysisSettings randomSettings(ShapeGenerator& gen)
{
    AnalysisSettings s;
    const double shrinks[] = {0, 0.5, 1, 2, 2, 4};
    const double thresholds[] = {3, 5, 5, 7.3, 12};
    const double inlimits[] = {1e-3, 1e-3, 1e-2, 1e-6};
    s.shrink = shrinks[gen.uniform(0, 5)];
    s.dots = static_cast<int>(gen.uniform(0, 7));
    s.peakThreshold = thresholds[gen.uniform(0, 4)];
    s.inlimit = inlimits[gen.uniform(0, 3)];
    return s;
}

// Compares the two scans on one chromosome; returns the tree scan's result.
ScanResult expectSameScan(const AnalysisSettings& settings, const Chromosome& c, const std::string& label)
{
    const ScanResult tree = scanWith(settings, productionSteps(), c.positions, c.pvalues);
    EXPECT_EQ(scanDifference(tree, scanWith(settings, referenceSteps(), c.positions, c.pvalues)), "") << label;
    return tree;
}

} // namespace

TEST(TreeScan, MatchesLinearScanOnGeneratedChromosomes)
{
    ShapeGenerator gen(20261206);
    int64_t onTree = 0, linear = 0;
    for (int trial = 0; trial < 2400 / kScale; ++trial) {
        std::vector<int> regions(static_cast<size_t>(gen.uniform(0, 3)));
        for (int& r : regions)
            r = static_cast<int>(gen.uniform(1, trial % 40 == 0 ? 1500 : 300));
        const Chromosome c = gen.make(static_cast<int>(gen.uniform(0, 300)), regions);
        const ScanResult r = expectSameScan(randomSettings(gen), c, "trial " + std::to_string(trial));
        if (::testing::Test::HasFailure())
            return;
        onTree += r.treeChoices;
        linear += r.linearChoices;
    }
    EXPECT_GT(onTree, 10 * linear) << "most iterations should be chosen on the tree";
}

TEST(TreeScan, MatchesLinearScanWhereTheTreeGivesUp)
{
    ShapeGenerator gen(612);
    int64_t linear = 0;
    for (int trial = 0; trial < 120; ++trial) {
        const Chromosome c = gen.widening(static_cast<int>(gen.uniform(50, 400)));
        const ScanResult r = expectSameScan(randomSettings(gen), c, "trial " + std::to_string(trial));
        if (::testing::Test::HasFailure())
            return;
        linear += r.linearChoices;
    }
    EXPECT_GT(linear, 1000) << "the tree should give up on these";
}

// Broad regions of 1k-20k markers (50k with QUORLIN_LONG_TESTS set): the
// linear scan is quadratic there, so there are few of them.
TEST(TreeScan, MatchesLinearScanOnBroadRegions)
{
    ShapeGenerator gen(611);
    const int largest = std::getenv("QUORLIN_LONG_TESTS") ? 50000 : kLargestBroadRegion;
    for (int size : {1000, 2000, 3000, 5000, 8000, 12000, 20000, 50000}) {
        for (int variant = 0; variant < (size <= 3000 ? 6 : 1) && size <= largest; ++variant) {
            std::vector<int> regions = {size};
            if (variant % 3 == 2)
                regions.push_back(size / 3);
            const Chromosome c = gen.make(static_cast<int>(gen.uniform(0, 400)), regions);
            const ScanResult r = expectSameScan(randomSettings(gen), c, "size " + std::to_string(size));
            if (::testing::Test::HasFailure())
                return;
            EXPECT_GE(r.treeChoices, 5 * r.linearChoices) << "size " << size;
        }
    }
}
