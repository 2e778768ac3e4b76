// Vector toolkit and regression: method codes, sentinels, empty inputs, and
// the raw-sum slope.
#include "peakcomber3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Toolkit, MinmaxSentinelsAndNaN)
{
    EXPECT_EQ(minmax({}, 1), -999999999.9);
    EXPECT_EQ(minmax({}, -1), 999999999.9);
    EXPECT_EQ(minmax({}, 0), 0.0);
    EXPECT_EQ(minmax({1, 5, 2}, 2), 0.0);
    EXPECT_EQ(minmax({-2e9}, 1), -999999999.9);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(minmax({nan, 3, nan, 7, nan}, 1), 7);
    EXPECT_EQ(minmax({nan, 3, nan, 7}, -1), 3);
}

TEST(Toolkit, MinmaxlocFirstIndexAndSentinel)
{
    EXPECT_EQ(minmaxloc({1, 3, 3}, 1), 1);
    EXPECT_EQ(minmaxloc({2, 1, 1}, -1), 1);
    EXPECT_EQ(minmaxloc({2, 1, 1}, 0), 1);
    EXPECT_EQ(minmaxloc({}, 1), 0);
    EXPECT_EQ(minmaxloc({-30000000, -20000000}, 1), 0);
}

TEST(Toolkit, SubVectorsAndClipping)
{
    const DoubleVector v = {10, 11, 12, 13, 14};
    EXPECT_EQ(subVector1(v, 1, 3, 2), v);
    EXPECT_TRUE(subVector1(v, 3, 1, 0).empty());
    EXPECT_EQ(subVector1(v, 4, 10, 0), DoubleVector{14});
    EXPECT_EQ(subVector2({1, 2, 3, 4, 5}, 0, 0, 2), (IntVector{1, 2, 3}));
    EXPECT_EQ(clipEnds1(v, 2, 2), DoubleVector{12});
    EXPECT_TRUE(clipEnds1({1, 2, 3, 4}, 2, 2).empty());
    EXPECT_EQ(clipEnds2({1, 2, 3, 4, 5, 6}, 2, 2), (IntVector{3, 4}));
}

TEST(Toolkit, ElementwiseOperations)
{
    EXPECT_EQ(vectorMath({0.01, 0, -1}, 1), (DoubleVector{2, 0, 0}));
    EXPECT_TRUE(vectorMath({0.01}, 2).empty());
    EXPECT_EQ(vectorMath({std::numeric_limits<double>::quiet_NaN()}, 1), DoubleVector{0});
    EXPECT_EQ(twoArrays({6, 6}, {3, 0}, 3), (DoubleVector{2, 0}));
    EXPECT_EQ(twoArrays({6, 6}, {3, 2}, 5), (DoubleVector{0, 0}));
    EXPECT_EQ(twoArrays({6, 6}, {3, 2}, 4), (DoubleVector{18, 12}));
    EXPECT_EQ(twoArrays({6, 6}, {3, 2}, 2), (DoubleVector{3, 4}));
    EXPECT_EQ(samesign({-2, 3, -0.5}, 1), (DoubleVector{2, 3, 0.5}));
    EXPECT_EQ(samesign({-2, 3, -0.5}, -1), (DoubleVector{-2, -3, -0.5}));
    EXPECT_TRUE(newDoubleVector(0, 1).empty());
    EXPECT_TRUE(newDoubleVector(-3, 1).empty());
    EXPECT_EQ(newDoubleVector(2, 1.5), (DoubleVector{1.5, 1.5}));
}

TEST(Regression, SlopeAndFittedValue)
{
    EXPECT_EQ(linreg({1, 2, 3}, {2, 4, 6}), 2.0);
    EXPECT_EQ(linreg_val({1, 2, 3}, {2, 4, 6}, 0), 2.0);
    EXPECT_EQ(linreg({100, 200, 300, 400, 500}, {1, 2, 3, 2, 1}), 0.0);
    EXPECT_DOUBLE_EQ(linreg_val({100, 200, 300, 400, 500}, {1, 2, 3, 2, 1}, 2), 1.8);
    EXPECT_EQ(linreg({}, {}), 0.0);
    EXPECT_EQ(linreg({0, 0, 0}, {1, 2, 3}), 0.0);
    EXPECT_EQ(linreg_val({0, 0, 0}, {1, 2, 6}, 1), 3.0);
    // Equal non-zero positions: numerator and denominator both exactly 0.
    EXPECT_EQ(linreg({4, 4}, {1, 1}), 0.0);
}

TEST(Regression, RawSumFormulaFixesTheLastBits)
{
    const IntVector L = {1000003, 1000171, 1000298, 1000511, 1000777};
    const DoubleVector P = {3.1, 4.7, 8.25, 6.125, 2.2};
    double n = 0, sx = 0, sy = 0, sxy = 0, sxx = 0;
    for (size_t i = 0; i < L.size(); ++i) {
        n += 1.0;
        sx += L[i];
        sy += P[i];
        sxy += static_cast<double>(L[i]) * P[i];
        sxx += static_cast<double>(L[i]) * L[i];
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    EXPECT_EQ(linreg(L, P), slope);
    EXPECT_EQ(linreg_val(L, P, 2), L[2] * slope + (sy - slope * sx) / n);
}

TEST(Regression, DerivativeWindows)
{
    const DoubleVector zeros(7, 0.0);
    const DoubleVector d = derivative(5, {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}, zeros);
    EXPECT_EQ(d, (DoubleVector{0, 0, 1, 1, 1, 0, 0}));
    EXPECT_EQ(derivative(5, {1, 2, 3, 4}, {1, 2, 3, 4}, DoubleVector(4, 9.0)), DoubleVector(4, 9.0));
}
