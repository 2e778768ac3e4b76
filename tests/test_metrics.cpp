// Peak shape metrics and the quality score.
#include "numberformat.h"
#include "peakcomber1.h"
#include "peakcomber2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Metrics, Monotony)
{
    EXPECT_EQ(monotony({1, 2, 3, 2, 1}, 2), 1.0);
    EXPECT_EQ(monotony({1, 3, 2, 3, 1}, 1), 0.75);
    EXPECT_EQ(monotony({1, 2, 2, 1}, 1), 2.0 / 3.0);
    EXPECT_EQ(monotony({4}, 0), 0.0);
    EXPECT_EQ(monotony({}, 0), 0.0);
    EXPECT_EQ(monotony({1, 2}, 5), 0.0);
}

TEST(Metrics, MultiplicityRepetitionsRatio)
{
    EXPECT_EQ(peakmultiplicity({5, 5, 3}, 5), 2.0 / 3.0);
    EXPECT_EQ(repetitions({2, 2, 2, 3}), 0.5);
    EXPECT_EQ(repetitions({-1, 0, 0}), 2.0 / 3.0);
    EXPECT_EQ(heighttowidth({1000, 2000}, 8), 8.0 / 1001 * 1000000);
    EXPECT_EQ(heighttowidth({1000}, 8), 8000000.0);
    EXPECT_EQ(heighttowidth({2000, 1999}, 8), std::numeric_limits<double>::infinity());
    EXPECT_LT(heighttowidth({2000, 1000}, 8), 0);
    EXPECT_EQ(heighttowidth({INT32_MIN, INT32_MAX}, 1), 1.0 / 4294967296.0 * 1000000);
}

TEST(Metrics, BalancesAsTexts)
{
    EXPECT_EQ(verticalBalance({1, 2, 3, 4}), "1\t2.33333");
    EXPECT_EQ(verticalBalance({1, 1, 1, 5}), "0.333333\t1.66667");
    EXPECT_EQ(verticalBalance({2, 2, 2}), "0\t0");
    EXPECT_EQ(verticalBalance({}), "0\t0");
    EXPECT_EQ(skew({1, 3, 3, 3, 2}, 1), "1\t2");
    EXPECT_EQ(skew({1, 2, 4, 4, 1, 4}, 2), "1\t1.66667");
    EXPECT_EQ(skew({5, 1, 2}, 0), "0\t0");
    EXPECT_EQ(skew({}, 0), "0\t0");
    EXPECT_EQ(maxByMean({1, 2, 3}, 2), 1.5);
    EXPECT_EQ(maxByMean({0, 0}, 1), 0.0);
    EXPECT_EQ(maxByMean({-1, -2}, 0), 0.0);
}

TEST(QualityScore, ReferenceValues)
{
    EXPECT_EQ(formatReal(GQS(7.3, 0.02)), "2.62911");
    EXPECT_EQ(formatReal(GQS(10, 0.1)), "3.46584");
    EXPECT_EQ(formatReal(GQS(20, 1)), "4.66864");
    EXPECT_EQ(formatReal(GQS(5, 0.001)), "1.52659");
    EXPECT_EQ(formatReal(GQS(100, 10)), "4.9979");
    EXPECT_EQ(formatReal(GQS(std::exp(2.23), std::exp(-3.89))), "2.99259");
    EXPECT_EQ(GQS(1e-9, 1e-9), 1.0);
    EXPECT_EQ(GQS(1e12, 1e12), 5.0);
    EXPECT_EQ(GQS(8, 0), 1.0);
    EXPECT_TRUE(std::isnan(GQS(-1, 0.5)));
}
