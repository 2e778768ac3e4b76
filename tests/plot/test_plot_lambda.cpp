// lambdaGC from the streaming histogram against the exact median of every
// p-value's chi-square, on tables with known inflation.
#include "plot_test_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// The exact lambdaGC: the median (the mean of the middle two for an even
// count) of the 1-df chi-squares, over the 1-df median.
double exactLambda(std::vector<double> p)
{
    std::sort(p.begin(), p.end());
    const size_t n = p.size();
    return (chiSquare1Upper(p[(n - 1) / 2]) + chiSquare1Upper(p[n / 2])) / 2 / kChiSquare1Median;
}

LambdaEstimate estimate(const std::vector<double>& p)
{
    PlotHistogram h;
    for (double v : p)
        h.add(v);
    return lambdaFromHistogram(h);
}

} // namespace

TEST(PlotLambda, ChiSquareQuantile)
{
    // References to 20 digits from a 60-digit computation.
    const double cases[][2] = {{0.5, 0.45493642311957275194},  {0.05, 3.8414588206941259584},
                               {5e-8, 29.716785489763062542},   {1e-300, 1373.8726312223941371},
                               {0.9, 0.015790774093431224868}, {1e-20, 87.161733426909822777}};
    for (const auto& c : cases)
        EXPECT_NEAR(chiSquare1Upper(c[0]), c[1], 1e-13 * c[1]) << c[0];
    EXPECT_EQ(chiSquare1Upper(1), 0);
    EXPECT_TRUE(std::isinf(chiSquare1Upper(0)));
}

// The estimate is within its stated bound of the exact value, the bound is
// below 2.5e-4 (three decimals), and the exact value is near the inflation
// the table was made with. 0.3 and 8 put the median p near the ends of the
// range the bound is stated for (0.75 and 0.05); odd and even counts.
class PlotLambdaInflation : public ::testing::TestWithParam<double> {};

TEST_P(PlotLambdaInflation, EstimateWithinBoundOfExactMedian)
{
    const double lambda = GetParam();
    for (size_t n : {size_t(1000000), size_t(1000001), size_t(20000)}) {
        PlotRng rng(17 + n);
        std::vector<double> p(n);
        for (double& v : p)
            v = scaledChiSquareP(rng, lambda);
        const LambdaEstimate e = estimate(p);
        const double exact = exactLambda(p);
        EXPECT_LE(std::fabs(e.lambda - exact), e.bound * (1 + 1e-9)) << "n " << n;
        EXPECT_LT(e.bound, 2.5e-4) << "n " << n;
        EXPECT_NEAR(exact, lambda, (n > 100000 ? 0.01 : 0.04) * lambda) << "n " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Inflation, PlotLambdaInflation, ::testing::Values(1.0, 1.2, 0.9, 2.0, 0.3, 8.0));

TEST(PlotLambda, SmallTablesAndSpecialValues)
{
    EXPECT_TRUE(std::isnan(estimate({}).lambda));
    for (const std::vector<double>& p : {std::vector<double>{0.5}, {0.5, 0.05}, {0.3, 1.0, 0.5, 0.05}}) {
        const LambdaEstimate e = estimate(p);
        EXPECT_LE(std::fabs(e.lambda - exactLambda(p)), e.bound * (1 + 1e-9)) << p.size();
        EXPECT_LT(e.bound, 2.5e-4) << p.size();
    }
    // Half of the values 0: the median chi-square is infinite.
    EXPECT_TRUE(std::isinf(estimate({0, 0, 0.5}).lambda));
}
