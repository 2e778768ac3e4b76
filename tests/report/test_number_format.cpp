// Real-number formatting: C's "%g" to the letter, including the cases where
// other formatters differ (ties to even, minus zero, NaN with a sign bit).
#include "report/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

TEST(NumberFormat, TiesSignsAndSpecialValues)
{
    EXPECT_EQ(formatReal(123456.5), "123456");
    EXPECT_EQ(formatReal(0.01953125), "0.0195312");
    EXPECT_EQ(formatReal(-0.0), "-0");
    EXPECT_EQ(formatReal(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(formatReal(-std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(formatReal(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(formatReal(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(formatReal(std::numeric_limits<double>::denorm_min()), "4.94066e-324");
}

TEST(NumberFormat, MatchesPrintfOnRandomDoubles)
{
    std::mt19937_64 rng(7);
    char expected[64];
    for (int n = 0; n < 200000; ++n) {
        double x;
        const uint64_t bits = rng();
        std::memcpy(&x, &bits, sizeof x);
        if (std::isnan(x))
            continue;
        if (n % 2)
            x = static_cast<double>(static_cast<int64_t>(rng() % 2000001) - 1000000) / 64.0;
        std::snprintf(expected, sizeof expected, "%g", x);
        ASSERT_EQ(formatReal(x), expected) << "bits " << bits;
    }
}
