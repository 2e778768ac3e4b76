// Standard normal table and the Kolmogorov-Smirnov test.
#include "numerics/kolmogorov_smirnov.h"
#include "numerics/normal_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {
// The table entry at grid point z, read through the interpolation.
double FxAt(double z) { return normalProbability(std::lround(z * 1000) / 1000.0); }
double zAt(size_t k) { return (static_cast<int>(k) - 5000) / 1000.0; }
} // namespace

// A few entries where a slip of the grid or of the rounding shows (the
// 1e-4 and 1e-3 boundaries, the saturated tail), the clamping beyond +-5
// and for NaN, interpolation between grid points, and the critical values
// on each side of the table's end at 50.
TEST(NormalTable, GridEdgesInterpolationAndCriticalValues)
{
    const struct {
        double z, fx;
    } rows[] = {{-5.000, 2.87e-07},   {-3.720, 9.96e-05},  {-3.719, 0.000100007}, {-3.091, 0.000997418},
                {-3.090, 0.001000782}, {0.000, 0.5},        {1.960, 0.9750021},   {5.000, 0.9999997},
                {5.5, 0.9999999},      {std::nan(""), 0.9999999}, {-5.5, 1e-7}};
    for (const auto& r : rows)
        EXPECT_EQ(std::abs(r.z) <= 5 ? FxAt(r.z) : normalProbability(r.z), r.fx) << "z = " << r.z;
    for (size_t k = 1; k < 10001; ++k)
        ASSERT_GE(FxAt(zAt(k)), FxAt(zAt(k - 1))) << "z = " << zAt(k);
    EXPECT_DOUBLE_EQ(normalProbability(0.0005), 0.5 - (0.5 - FxAt(0.001)) * 0.5);
    const struct {
        int n;
        double critical;
    } criticals[] = {{2, 0.842}, {50, 0.19}, {51, 1.36 / std::sqrt(51.0)}};
    for (const auto& c : criticals)
        EXPECT_DOUBLE_EQ(kolmogorovCritical(c.n), c.critical) << c.n;
}

TEST(Kolmogorov, Examples)
{
    EXPECT_TRUE(positionsLookNormal({1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(positionsLookNormal({100, 400}));
    // Clearly not bell-shaped: two clusters far apart.
    IntVector twoClusters;
    for (int i = 0; i < 30; ++i)
        twoClusters.push_back(i < 15 ? 1000 + i : 90000 + i);
    EXPECT_FALSE(positionsLookNormal(twoClusters));
    // Degenerate inputs have a defined answer and no undefined behaviour.
    EXPECT_TRUE(positionsLookNormal({}));
    EXPECT_TRUE(positionsLookNormal({5}));
    EXPECT_TRUE(positionsLookNormal({7, 7, 7, 7}));
    EXPECT_TRUE(positionsLookNormal({900, 100}));
    EXPECT_TRUE(positionsLookNormal({INT32_MIN, INT32_MAX}));
}

// Bin counting by search over following bins against the check of every bin,
// on bins built as the test builds them (from sorted, unsorted, repeated and
// extreme positions) and on overlapping or reversed ones.
TEST(KolmogorovSmirnov, BinCountsMatchEveryBinCheck)
{
    uint64_t state = 12345;
    auto next = [&state](int64_t range) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int64_t>((state >> 33) % static_cast<uint64_t>(range));
    };
    for (int trial = 0; trial < 600; ++trial) {
        IntVector positions;
        const int n = 1 + static_cast<int>(next(400));
        int64_t pos = next(2) ? INT32_MAX - 100000 : next(1000000);
        for (int i = 0; i < n; ++i) {
            pos += trial % 4 == 0 ? next(3) - 1 : next(trial % 3 == 0 ? 2 : 500);
            positions.push_back(static_cast<int32_t>(std::min<int64_t>(pos, INT32_MAX)));
        }
        const int bins = std::max(3, n / 3);
        DoubleVector lower, upper;
        double position = positions.front();
        const double binsize = static_cast<double>(int64_t(positions.back()) - positions.front() + 1) / bins;
        for (int j = 0; j < bins; ++j) {
            lower.push_back(position);
            position += trial % 5 == 1 ? -binsize : binsize; // reversed bins in some trials
            upper.push_back(position);
        }
        lower.front() -= 1.0;
        upper.back() += 1.0;
        if (trial % 7 == 3)
            lower[static_cast<size_t>(bins / 2)] -= binsize; // overlapping bins
        DoubleVector expected(upper.size(), 0.0);
        for (int32_t loc : positions)
            for (size_t j = 0; j < upper.size(); ++j)
                if (loc >= lower[j] && upper[j] > loc)
                    expected[j] += 1;
        ASSERT_EQ(binContents(positions, lower, upper), expected) << "trial " << trial;
    }
}
