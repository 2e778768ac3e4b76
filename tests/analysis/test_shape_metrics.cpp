// Peak shape metrics and the quality score where a report row's worked
// example and the golden runs do not reach: guarded quotients, out-of-range
// summits, ties at the mean and the score's clamps.
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

// The ordinary values of every field are those of the worked example's row
// (test_scan_steps.cpp) and of the golden reports; here the guarded cases:
// summits out of range, empty and flat inputs, zero or negative spans.
TEST(ShapeMetrics, GuardedQuotientsAndOutOfRangeSummits)
{
    EXPECT_EQ(monotony({1, 3, 2, 3, 1}, 1), 0.75);
    EXPECT_EQ(monotony({1, 2, 2, 1}, 1), 2.0 / 3.0);
    EXPECT_EQ(monotony({4}, 0), 0.0);
    EXPECT_EQ(monotony({}, 0), 0.0);
    EXPECT_EQ(monotony({1, 2}, 5), 0.0);
    EXPECT_EQ(repetitionShare({-1, 0, 0}), 2.0 / 3.0);
    EXPECT_EQ(heightPerMegabase({2000, 1999}, 8), std::numeric_limits<double>::infinity());
    EXPECT_LT(heightPerMegabase({2000, 1000}, 8), 0);
    EXPECT_EQ(heightPerMegabase({INT32_MIN, INT32_MAX}, 1), 1.0 / 4294967296.0 * 1000000);
    EXPECT_EQ(text(verticalBalance({1, 2, 3})), "2 5"); // a value at the mean counts above it
    EXPECT_EQ(text(verticalBalance({2, 2, 2})), "0 0");
    EXPECT_EQ(text(verticalBalance({})), "0 0");
    EXPECT_EQ(text(flankBalance({1, 2, 4, 4, 1, 4}, 2)), "1 1.66667"); // a summit value repeated on the right
    EXPECT_EQ(text(flankBalance({5, 1, 2}, 0)), "0 0");
    EXPECT_EQ(text(flankBalance({}, 0)), "0 0");
    EXPECT_EQ(summitOverMean({0, 0}, 1), 0.0);
    EXPECT_EQ(summitOverMean({-1, -2}, 0), 0.0);
}

// The score's clamps at 1 and 5, and NaN for a negative height; one
// ordinary value besides the worked example's.
TEST(QualityScore, ClampsAndUndefinedInputs)
{
    EXPECT_EQ(formatReal(qualityScore(std::exp(2.23), std::exp(-3.89))), "2.99259");
    EXPECT_EQ(qualityScore(1e-9, 1e-9), 1.0);
    EXPECT_EQ(qualityScore(1e12, 1e12), 5.0);
    EXPECT_EQ(qualityScore(8, 0), 1.0);
    EXPECT_TRUE(std::isnan(qualityScore(-1, 0.5)));
}
