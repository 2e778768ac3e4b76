// The scan on plateaus of equal values and ties at several levels, as capped
// or imputed tables give: the tree scan, whose walk by levels chooses where
// no drop is scored, against the linear scan on thousands of generated
// chromosomes (same chunks taken, same report bytes); and a chromosome of
// 100,000 equal values, which the walk carries with few linear iterations.
#include "reference_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

namespace {

// Chromosomes built from plateaus (one p-value over a stretch), staircases of
// plateaus at different levels, smooth peaks and background, with equal,
// alternating, random or repeated gaps.
class PlateauGenerator {
public:
    explicit PlateauGenerator(uint64_t seed) : rng_(seed) {}
    int64_t uniform(int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng_); }
    double real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }

    Chromosome make(int markers)
    {
        Chromosome c;
        pos_ = uniform(1, 100000);
        while (static_cast<int>(c.positions.size()) < markers) {
            const int left = markers - static_cast<int>(c.positions.size());
            const int n = static_cast<int>(std::min<int64_t>(left, uniform(1, std::max(1, markers / 2))));
            switch (uniform(0, 5)) {
            case 0: addBackground(c, n); break;
            case 1: addPeak(c, n); break;
            case 2: addStaircase(c, n); break;
            default: addPlateau(c, n, level()); break;
            }
        }
        if (uniform(0, 11) == 0)
            shuffleSome(c);
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
    void add(Chromosome& c, int64_t step, double p)
    {
        pos_ = std::min<int64_t>(pos_ + step, INT32_MAX);
        c.positions.push_back(static_cast<int32_t>(pos_));
        c.pvalues.push_back(p);
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
    void addPeak(Chromosome& c, int n)
    {
        const auto gap = gaps();
        const double height = real(6, 40);
        const bool capped = uniform(0, 1) == 0; // the top capped into a plateau
        for (int i = 0; i < n; ++i) {
            const double d = (i - n / 2.0) / std::max(1.0, n / 4.0);
            double logp = 3.5 + height * std::exp(-d * d);
            if (capped)
                logp = std::min(logp, 3.5 + height / 2);
            add(c, i == 0 ? uniform(1, 20000) : gap(), std::pow(10.0, -logp));
        }
    }
    void addBackground(Chromosome& c, int n)
    {
        for (int i = 0; i < n; ++i)
            add(c, uniform(1, 20000), std::pow(10.0, -real(3, 6.5)));
    }
    void shuffleSome(Chromosome& c)
    {
        for (int k = static_cast<int>(uniform(1, 10)); k > 0; --k) {
            const auto last = static_cast<int64_t>(c.positions.size()) - 1;
            std::swap(c.positions[static_cast<size_t>(uniform(0, last))],
                      c.positions[static_cast<size_t>(uniform(0, last))]);
        }
    }

    std::mt19937_64 rng_;
    int64_t pos_ = 0;
    bool flip_ = false;
};

AnalysisSettings randomSettings(PlateauGenerator& gen)
{
    AnalysisSettings s;
    const double shrinks[] = {0, 0.5, 2, 2, 4};
    const double thresholds[] = {3, 5, 5, 7.3, 12};
    const double inlimits[] = {1e-3, 1e-3, 1e-2, 1e-6};
    s.shrink = shrinks[gen.uniform(0, 4)];
    s.dots = static_cast<int>(gen.uniform(0, 7));
    s.peakThreshold = thresholds[gen.uniform(0, 4)];
    s.inlimit = inlimits[gen.uniform(0, 3)];
    return s;
}

// Against the reference steps, or (long chromosomes, where the reference
// chunk building is cubic) against every choice in the linear form.
ScanResult expectSameScan(const AnalysisSettings& settings, const Chromosome& c, const std::string& label,
                          bool linearOnly = false)
{
    ScanSteps reference = referenceSteps();
    if (linearOnly) {
        reference = productionSteps();
        reference.treeChoice = false;
    }
    const ScanResult expected = scanWith(settings, reference, c.positions, c.pvalues);
    const ScanResult tree = scanWith(settings, productionSteps(), c.positions, c.pvalues);
    EXPECT_EQ(scanDifference(tree, expected), "") << label;
    // The walk by levels first in every iteration, and never.
    for (ScanSteps::Levels levels : {ScanSteps::Levels::Always, ScanSteps::Levels::Never}) {
        ScanSteps steps = productionSteps();
        steps.levels = levels;
        EXPECT_EQ(scanDifference(scanWith(settings, steps, c.positions, c.pvalues), expected), "")
            << label << (levels == ScanSteps::Levels::Always ? ", walk always first" : ", no walk");
    }
    return tree;
}

} // namespace

TEST(PlateauScan, MatchesLinearScanOnGeneratedPlateausAndTies)
{
    PlateauGenerator gen(20261207);
    int64_t onTree = 0, byLevels = 0, linear = 0;
    for (int trial = 0; trial < 4000 / kScale; ++trial) {
        const int markers = static_cast<int>(gen.uniform(1, trial % 50 == 0 ? 2500 : 250));
        const ScanResult r = expectSameScan(randomSettings(gen), gen.make(markers), "trial " + std::to_string(trial));
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
    PlateauGenerator gen(7);
    for (int64_t gap : {1, 7, 30, 100, 101, 250})
        for (double p : {1e-10, 0.0}) {
            const int n = 5000 / kScale;
            const ScanResult r = expectSameScan(AnalysisSettings{}, gen.plateau(n, gap, p),
                                                "gap " + std::to_string(gap) + " p " + std::to_string(p), true);
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
    PlateauGenerator gen(8);
    for (int64_t gap : {30, 100}) {
        const Chromosome c = gen.plateau(100000, gap, 1e-10); // fast enough under the sanitizers too
        const ScanResult r = scanWith(AnalysisSettings{}, productionSteps(), c.positions, c.pvalues);
        EXPECT_LT(r.linearChoices, 64) << "gap " << gap;
        EXPECT_GT(r.levelChoices, 1000) << "gap " << gap;
        EXPECT_EQ(r.taken.size(), static_cast<size_t>(r.treeChoices + r.linearChoices));
        EXPECT_FALSE(r.rows.empty()) << "the plateau is reported";
    }
}
