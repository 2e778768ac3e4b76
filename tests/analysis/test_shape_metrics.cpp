// Peak shape metrics and the quality score on small hand-checked cases,
// including the guarded quotients and out-of-range summits.
#include "report/number_format.h"
#include "analysis/quality_score.h"
#include "analysis/shape_metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
std::string text(SplitRatios r)
{
    return formatReal(r.counts) + " " + formatReal(r.sums);
}
} // namespace

TEST(ShapeMetrics, MonotonyMultiplicityRepetitionsRatio)
{
    EXPECT_EQ(monotony({1, 2, 3, 2, 1}, 2), 1.0);
    EXPECT_EQ(monotony({1, 3, 2, 3, 1}, 1), 0.75);
    EXPECT_EQ(monotony({1, 2, 2, 1}, 1), 2.0 / 3.0);
    EXPECT_EQ(monotony({4}, 0), 0.0);
    EXPECT_EQ(monotony({}, 0), 0.0);
    EXPECT_EQ(monotony({1, 2}, 5), 0.0);
    EXPECT_EQ(summitMultiplicity({5, 5, 3}, 5), 2.0 / 3.0);
    EXPECT_EQ(repetitionShare({2, 2, 2, 3}), 0.5);
    EXPECT_EQ(repetitionShare({-1, 0, 0}), 2.0 / 3.0);
    EXPECT_EQ(heightPerMegabase({1000, 2000}, 8), 8.0 / 1001 * 1000000);
    EXPECT_EQ(heightPerMegabase({2000, 1999}, 8), std::numeric_limits<double>::infinity());
    EXPECT_LT(heightPerMegabase({2000, 1000}, 8), 0);
    EXPECT_EQ(heightPerMegabase({INT32_MIN, INT32_MAX}, 1), 1.0 / 4294967296.0 * 1000000);
}

TEST(ShapeMetrics, Balances)
{
    EXPECT_EQ(text(verticalBalance({1, 2, 3, 4})), "1 2.33333");
    EXPECT_EQ(text(verticalBalance({1, 1, 1, 5})), "0.333333 1.66667");
    EXPECT_EQ(text(verticalBalance({2, 2, 2})), "0 0");
    EXPECT_EQ(text(verticalBalance({})), "0 0");
    EXPECT_EQ(text(flankBalance({1, 3, 3, 3, 2}, 1)), "1 2");
    EXPECT_EQ(text(flankBalance({1, 2, 4, 4, 1, 4}, 2)), "1 1.66667");
    EXPECT_EQ(text(flankBalance({5, 1, 2}, 0)), "0 0");
    EXPECT_EQ(text(flankBalance({}, 0)), "0 0");
    EXPECT_EQ(summitOverMean({1, 2, 3}, 2), 1.5);
    EXPECT_EQ(summitOverMean({0, 0}, 1), 0.0);
    EXPECT_EQ(summitOverMean({-1, -2}, 0), 0.0);
}

TEST(QualityScore, ReferenceValues)
{
    EXPECT_EQ(formatReal(qualityScore(7.3, 0.02)), "2.62911");
    EXPECT_EQ(formatReal(qualityScore(10, 0.1)), "3.46584");
    EXPECT_EQ(formatReal(qualityScore(20, 1)), "4.66864");
    EXPECT_EQ(formatReal(qualityScore(5, 0.001)), "1.52659");
    EXPECT_EQ(formatReal(qualityScore(100, 10)), "4.9979");
    EXPECT_EQ(formatReal(qualityScore(std::exp(2.23), std::exp(-3.89))), "2.99259");
    EXPECT_EQ(qualityScore(1e-9, 1e-9), 1.0);
    EXPECT_EQ(qualityScore(1e12, 1e12), 5.0);
    EXPECT_EQ(qualityScore(8, 0), 1.0);
    EXPECT_TRUE(std::isnan(qualityScore(-1, 0.5)));
}
