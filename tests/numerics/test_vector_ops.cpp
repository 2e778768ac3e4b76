// Vector operations and regression: sentinels, NaN, empty and out-of-range
// inputs, where a wrong guard would change a report field.
#include "numerics/regression.h"
#include "numerics/vector_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}

TEST(VectorOps, MaximaStartFromSentinelsAndSkipNaN)
{
    EXPECT_EQ(largestValue({}), kNoMaximum);
    EXPECT_EQ(smallestValue({}), kNoMinimum);
    EXPECT_EQ(largestValue({-2e9}), kNoMaximum);
    EXPECT_EQ(largestValue({kNaN, 3, kNaN, 7, kNaN}), 7);
    EXPECT_EQ(smallestValue({kNaN, 3, kNaN, 7}), 3);
    EXPECT_EQ(firstMaxIndex({1, 3, 3}), 1);
    EXPECT_EQ(firstMaxIndex({}), 0);
    EXPECT_EQ(firstMaxIndex({-30000000, -20000000}), 0);
}

TEST(VectorOps, WindowsAndElementwise)
{
    const DoubleVector v = {10, 11, 12, 13, 14};
    EXPECT_EQ(windowAround(v, 1, 3, 2), v);
    EXPECT_TRUE(windowAround(v, 3, 1, 0).empty());
    EXPECT_EQ(windowAround(v, 4, 10, 0), DoubleVector{14});
    EXPECT_EQ(windowAround(IntVector{1, 2, 3, 4, 5}, 0, 0, 2), (IntVector{1, 2, 3}));
    EXPECT_EQ(dropEnds(v, 2, 2), DoubleVector{12});
    EXPECT_TRUE(dropEnds(DoubleVector{1, 2, 3, 4}, 2, 2).empty());
    EXPECT_EQ(negativeLog10({0.01, 0, -1, kNaN}), (DoubleVector{2, 0, 0, 0}));
    EXPECT_EQ(elementProducts({6, 6, 6}, {3, 2}), (DoubleVector{18, 12, 0}));
    const DoubleVector abs = absoluteValues({-2, 3, -0.5, -0.0});
    EXPECT_EQ(abs, (DoubleVector{2, 3, 0.5, 0}));
    EXPECT_TRUE(std::signbit(abs[3])) << "-0 is not below 0 and keeps its sign";
}

TEST(Regression, SlopeFittedValueAndWindows)
{
    const IntVector L = {1, 2, 3};
    const DoubleVector P = {2, 4, 6};
    EXPECT_EQ(slopeAt(L.data(), P.data(), 3), 2.0);
    EXPECT_EQ(fittedValueAt(L.data(), P.data(), 3, 0), 2.0);
    const IntVector L5 = {100, 200, 300, 400, 500};
    const DoubleVector P5 = {1, 2, 3, 2, 1};
    EXPECT_EQ(slopeAt(L5.data(), P5.data(), 5), 0.0);
    EXPECT_DOUBLE_EQ(fittedValueAt(L5.data(), P5.data(), 5, 2), 1.8);
    // Undefined slopes are 0: no points, a zero position sum, equal positions.
    EXPECT_EQ(slopeAt(L.data(), P.data(), 0), 0.0);
    const IntVector zeros = {0, 0, 0}, fours = {4, 4};
    const DoubleVector P3 = {1, 2, 6};
    EXPECT_EQ(slopeAt(zeros.data(), P3.data(), 3), 0.0);
    EXPECT_EQ(fittedValueAt(zeros.data(), P3.data(), 3, 1), 3.0);
    EXPECT_EQ(slopeAt(fours.data(), P3.data(), 2), 0.0);
    EXPECT_EQ(fittedValueAt(L.data(), P.data(), 3, 3), 0.0);
    EXPECT_EQ(windowSlopes(5, {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}), (DoubleVector{0, 0, 1, 1, 1, 0, 0}));
    EXPECT_EQ(windowSlopes(5, {1, 2, 3, 4}, {1, 2, 3, 4}), DoubleVector(4, 0.0));
}
