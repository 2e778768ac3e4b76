// The tree scan against the linear scan over compacted vectors (same chunks
// taken out in the same order, same report bytes), on generated chromosomes
// with random shrink, dots, thresholds and input limits:
// - shaped like dense imputed tables: broad strong regions, equal gaps,
//   plateaus, sharp peaks beside broad regions (the back-off), several
//   regions per chromosome, unsorted positions;
// - built from plateaus of equal values and ties at several levels, as capped
//   or imputed tables give, where the walk by levels chooses where no drop is
//   scored (checked also with the walk first in every iteration, and never);
//   and a chromosome of 100,000 equal values, which the walk carries with few
//   linear iterations.
#include "reference_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>

namespace {

// Smaller broad regions under the sanitizers.
constexpr int kLargestBroadRegion = kScale > 1 ? 2000 : 20000;

class ScanShapes {
public:
    explicit ScanShapes(uint64_t seed) : rng_(seed) {}
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
            shuffleSome(c, 20);
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
            addLog10(c, base + 7 * i, uniform(0, 3) ? 10 : real(9, 11));
        addBackground(c, static_cast<int>(uniform(0, 60)));
        return c;
    }

    // Plateaus (one p-value over a stretch), staircases of plateaus at
    // different levels, smooth peaks and background, with equal,
    // alternating, random or repeated gaps.
    Chromosome plateaus(int markers)
    {
        Chromosome c;
        pos_ = uniform(1, 100000);
        while (static_cast<int>(c.positions.size()) < markers) {
            const int left = markers - static_cast<int>(c.positions.size());
            const int n = static_cast<int>(std::min<int64_t>(left, uniform(1, std::max(1, markers / 2))));
            switch (uniform(0, 5)) {
            case 0: addBackground(c, n); break;
            case 1: addCappedPeak(c, n); break;
            case 2: addStaircase(c, n); break;
            default: addPlateau(c, n, level()); break;
            }
        }
        if (uniform(0, 11) == 0)
            shuffleSome(c, 10);
        return c;
    }

    // One plateau of n equal values with equal gaps.
    Chromosome plateau(int n, int64_t gap, double p)
    {
        Chromosome c;
        for (int i = 0; i < n; ++i) {
            c.positions.push_back(static_cast<int32_t>(10000 + gap * i));
            c.pvalues.push_back(p);
        }
        return c;
    }

private:
    void add(Chromosome& c, int64_t step, double p)
    {
        pos_ = std::min<int64_t>(pos_ + step, INT32_MAX);
        c.positions.push_back(static_cast<int32_t>(pos_));
        c.pvalues.push_back(p);
    }
    void addLog10(Chromosome& c, int64_t step, double log10p) { add(c, step, std::pow(10.0, -log10p)); }
    void addBackground(Chromosome& c, int n)
    {
        for (int i = 0; i < n; ++i)
            addLog10(c, uniform(1, 20000), real(3, 6.5));
    }
    void shuffleSome(Chromosome& c, int most)
    {
        for (int k = static_cast<int>(uniform(1, most)); k > 0; --k) {
            const size_t a = static_cast<size_t>(uniform(0, static_cast<int64_t>(c.positions.size()) - 1));
            const size_t b = static_cast<size_t>(uniform(0, static_cast<int64_t>(c.positions.size()) - 1));
            std::swap(c.positions[a], c.positions[b]);
        }
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
            addLog10(c, equalGaps ? 30 : uniform(1, 59), std::max(v, 3.0));
        }
    }
    void addSharpPeak(Chromosome& c)
    {
        addLog10(c, uniform(50, 30000), 4);
        const double height = real(8, 40);
        for (int i = -20; i <= 20; ++i)
            addLog10(c, uniform(100, 400), 3.5 + height * std::exp(-i * i / 40.0));
    }
    // Strong levels, capped ones (0, the smallest subnormal), and some near
    // the thresholds.
    double level()
    {
        const double levels[] = {1e-10, 1e-10, 1e-8, 1e-20, 1e-300, 0.0, 4.9e-324, 1e-5, 5e-8, 1e-12};
        return levels[uniform(0, 9)];
    }
    // A gap pattern for one stretch: equal, two alternating widths, random
    // (small or wide), some positions repeated, or blocks of markers at one
    // position (a reported peak there spans a marker at that position).
    std::function<int64_t()> gaps()
    {
        const int64_t a = std::vector<int64_t>{1, 7, 25, 30, 100, 101, 200, 1000}[uniform(0, 7)];
        const int64_t b = a * uniform(2, 3);
        switch (uniform(0, 5)) {
        case 0:
        case 1: return [a] { return a; };
        case 2: return [this, a, b] { return (flip_ = !flip_) ? a : b; };
        case 3: return [this, a] { return uniform(1, 2 * a); };
        case 4: return [this, a] { return uniform(0, 3) == 0 ? 0 : a; };
        default: return [this, a] { return uniform(0, 11) == 0 ? a : 0; }; // blocks at one position
        }
    }
    void addPlateau(Chromosome& c, int n, double p)
    {
        const auto gap = gaps();
        add(c, uniform(1, 20000), p);
        for (int i = 1; i < n; ++i)
            add(c, gap(), p);
    }
    // Plateaus at several levels, one after another.
    void addStaircase(Chromosome& c, int n)
    {
        const int steps = static_cast<int>(uniform(2, 6));
        for (int k = 0; k < steps; ++k)
            addPlateau(c, std::max(1, n / steps), level());
    }
    // A smooth peak, half of them with the top capped into a plateau.
    void addCappedPeak(Chromosome& c, int n)
    {
        const auto gap = gaps();
        const double height = real(6, 40);
        const bool capped = uniform(0, 1) == 0;
        for (int i = 0; i < n; ++i) {
            const double d = (i - n / 2.0) / std::max(1.0, n / 4.0);
            double logp = 3.5 + height * std::exp(-d * d);
            if (capped)
                logp = std::min(logp, 3.5 + height / 2);
            addLog10(c, i == 0 ? uniform(1, 20000) : gap(), logp);
        }
    }

    std::mt19937_64 rng_;
    int64_t pos_ = 0;
    bool flip_ = false;
};

AnalysisSettings randomSettings(ScanShapes& gen)
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

// What the tree scan is compared with: the reference steps; with Every also
// the tree scan with the walk by levels first in every iteration and never;
// with EveryLinear the same against every choice in the linear form (long
// chromosomes, where the reference chunk building is cubic).
enum class Walks { Production, Every, EveryLinear };

// Compares the scans on one chromosome; returns the tree scan's result.
ScanResult expectSameScan(const AnalysisSettings& settings, const Chromosome& c, const std::string& label,
                          Walks walks = Walks::Production)
{
    ScanSteps reference = referenceSteps();
    if (walks == Walks::EveryLinear) {
        reference = productionSteps();
        reference.treeChoice = false;
    }
    const ScanResult expected = scanWith(settings, reference, c.positions, c.pvalues);
    const ScanResult tree = scanWith(settings, productionSteps(), c.positions, c.pvalues);
    EXPECT_EQ(scanDifference(tree, expected), "") << label;
    const std::vector<ScanSteps::Levels> walkings =
        walks == Walks::Production ? std::vector<ScanSteps::Levels>{}
                                   : std::vector<ScanSteps::Levels>{ScanSteps::Levels::Always, ScanSteps::Levels::Never};
    for (ScanSteps::Levels levels : walkings) {
        ScanSteps steps = productionSteps();
        steps.levels = levels;
        EXPECT_EQ(scanDifference(scanWith(settings, steps, c.positions, c.pvalues), expected), "")
            << label << (levels == ScanSteps::Levels::Always ? ", walk always first" : ", no walk");
    }
    return tree;
}

} // namespace

TEST(TreeScan, MatchesLinearScanOnGeneratedChromosomes)
{
    ScanShapes gen(20261206);
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
    ScanShapes gen(612);
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
    ScanShapes gen(611);
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

TEST(PlateauScan, MatchesLinearScanOnGeneratedPlateausAndTies)
{
    ScanShapes gen(20261207);
    int64_t onTree = 0, byLevels = 0, linear = 0;
    for (int trial = 0; trial < 4000 / kScale; ++trial) {
        const int markers = static_cast<int>(gen.uniform(1, trial % 50 == 0 ? 2500 : 250));
        const ScanResult r =
            expectSameScan(randomSettings(gen), gen.plateaus(markers), "trial " + std::to_string(trial), Walks::Every);
        if (::testing::Test::HasFailure())
            return;
        onTree += r.treeChoices;
        byLevels += r.levelChoices;
        linear += r.linearChoices;
    }
    EXPECT_GT(byLevels, 200 / kScale) << "the walk by levels should choose on plateaus";
    EXPECT_GT(onTree, 10 * linear) << "most iterations should be chosen on the tree";
}

// Whole chromosomes of one value: every gap pattern the level structure of
// the cuts depends on, at the default settings.
TEST(PlateauScan, MatchesLinearScanOnSingleLongPlateaus)
{
    ScanShapes gen(7);
    for (int64_t gap : {1, 7, 30, 100, 101, 250})
        for (double p : {1e-10, 0.0}) {
            const int n = 5000 / kScale;
            const ScanResult r = expectSameScan(AnalysisSettings{}, gen.plateau(n, gap, p),
                                                "gap " + std::to_string(gap) + " p " + std::to_string(p),
                                                Walks::EveryLinear);
            if (::testing::Test::HasFailure())
                return;
            EXPECT_LT(r.linearChoices, 64) << "gap " << gap;
        }
}

// 100,000 equal values: the listing alone scores every chunk of a long level
// each iteration. The walk keeps the linear iterations (each O(n)) few; the
// wall time is measured by bench/plateau.sh.
TEST(PlateauScan, HandlesOneHundredThousandEqualValues)
{
    ScanShapes gen(8);
    for (int64_t gap : {30, 100}) {
        const Chromosome c = gen.plateau(100000, gap, 1e-10); // fast enough under the sanitizers too
        const ScanResult r = scanWith(AnalysisSettings{}, productionSteps(), c.positions, c.pvalues);
        EXPECT_LT(r.linearChoices, 64) << "gap " << gap;
        EXPECT_GT(r.levelChoices, 1000) << "gap " << gap;
        EXPECT_EQ(r.taken.size(), static_cast<size_t>(r.treeChoices + r.linearChoices));
        EXPECT_FALSE(r.rows.empty()) << "the plateau is reported";
    }
}
