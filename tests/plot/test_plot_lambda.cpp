// lambdaGC from the streaming histogram against the exact median of every
// p-value's chi-square, on tables with known inflation.
#include "plot_test_tables.h"
#include "plot_histogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The exact lambdaGC: the median (the mean of the middle two for an even
// count) of chiSquare1Upper over all p-values, / the 1-df median.
double exactLambda(std::vector<double> p)
{
    std::sort(p.begin(), p.end());
    const size_t n = p.size();
    const double a = chiSquare1Upper(p[(n - 1) / 2]);
    const double b = chiSquare1Upper(p[n / 2]);
    return (a + b) / 2 / kChiSquare1Median;
}

struct Outcome {
    double estimate, bound, exact;
};

Outcome run(double lambda, size_t n, uint64_t seed)
{
    PlotRng rng(seed);
    PlotHistogram h;
    std::vector<double> p(n);
    for (double& v : p) {
        v = scaledChiSquareP(rng, lambda);
        h.add(v);
    }
    const LambdaEstimate e = lambdaFromHistogram(h);
    return {e.lambda, e.bound, exactLambda(p)};
}

} // namespace

TEST(PlotLambda, ChiSquareQuantile)
{
    // References to 20 digits from a 60-digit computation.
    struct Case {
        double p, chi2;
    } cases[] = {{0.5, 0.45493642311957275194},  {0.05, 3.8414588206941259584}, {5e-8, 29.716785489763062542},
                 {1e-300, 1373.8726312223941371}, {0.9, 0.015790774093431224868}, {1e-20, 87.161733426909822777}};
    for (const Case& c : cases)
        EXPECT_NEAR(chiSquare1Upper(c.p), c.chi2, 1e-13 * c.chi2) << c.p;
    EXPECT_EQ(chiSquare1Upper(1), 0);
    EXPECT_TRUE(std::isinf(chiSquare1Upper(0)));
}

// The estimate is within its stated bound of the exact value, the bound is
// below 2.5e-4 (three decimals), and the exact value is near the inflation
// the table was made with.
class PlotLambdaInflation : public ::testing::TestWithParam<double> {};

TEST_P(PlotLambdaInflation, EstimateWithinBoundOfExactMedian)
{
    const double lambda = GetParam();
    for (size_t n : {size_t(1000000), size_t(1000001), size_t(20000)}) {
        const Outcome o = run(lambda, n, 17 + n);
        EXPECT_LE(std::fabs(o.estimate - o.exact), o.bound * (1 + 1e-9)) << "n " << n;
        EXPECT_LT(o.bound, 2.5e-4) << "n " << n;
        EXPECT_NEAR(o.exact, lambda, n > 100000 ? 0.01 * lambda : 0.04 * lambda) << "n " << n;
        std::printf("lambda %.2f n %zu: estimate %.6f exact %.6f error %.2e bound %.2e\n", lambda, n, o.estimate,
                    o.exact, std::fabs(o.estimate - o.exact), o.bound);
    }
}

INSTANTIATE_TEST_SUITE_P(Inflation, PlotLambdaInflation, ::testing::Values(1.0, 1.2, 0.9, 2.0));

TEST(PlotLambda, BoundHoldsOverTheStatedRangeOfMedians)
{
    // One value per fine bin edge over median p 0.05 .. 0.75: the half
    // interval of the bin around each median stays below 2.3e-4.
    PlotHistogram h;
    double worst = 0;
    for (double p = 0.05; p <= 0.75; p *= 1.0005) {
        const size_t bin = PlotHistogram::binOf(p);
        const double high = chiSquare1Upper(h.binLow(bin)) / kChiSquare1Median;
        const double low = chiSquare1Upper(h.binHigh(bin)) / kChiSquare1Median;
        worst = std::max(worst, (high - low) / 2);
    }
    std::printf("largest half interval for median p in 0.05..0.75: %.3e\n", worst);
    EXPECT_LT(worst, 2.3e-4);
}

TEST(PlotLambda, SmallTablesAndSpecialValues)
{
    PlotHistogram h;
    EXPECT_TRUE(std::isnan(lambdaFromHistogram(h).lambda));
    h.add(0.5);
    LambdaEstimate e = lambdaFromHistogram(h);
    EXPECT_LE(std::fabs(e.lambda - 1.0), e.bound * (1 + 1e-9));
    EXPECT_LE(e.bound, 2e-4);
    // Two values: the mean of the two chi-squares.
    h.add(0.05);
    e = lambdaFromHistogram(h);
    const double exact = (chiSquare1Upper(0.5) + chiSquare1Upper(0.05)) / 2 / kChiSquare1Median;
    EXPECT_LE(std::fabs(e.lambda - exact), e.bound * (1 + 1e-9));
    // Half of the values 0: the median chi-square is infinite.
    PlotHistogram z;
    z.add(0);
    z.add(0);
    z.add(0.5);
    EXPECT_TRUE(std::isinf(lambdaFromHistogram(z).lambda));
}
