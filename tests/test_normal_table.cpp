// Standard normal table and the Kolmogorov-Smirnov test.
#include "kolmogorov.h"
#include "kolmogorov005.h"
#include "setZ.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
void fillTables()
{
    if (KolmoN.empty())
        kolmogorov005();
    if (Zscore.empty())
        setZ();
}
double FxAt(double z) { return Fx[static_cast<size_t>(std::lround(z * 1000) + 5000)]; }
} // namespace

TEST(NormalTable, GridAndTellingRows)
{
    fillTables();
    ASSERT_EQ(Zscore.size(), 10001u);
    ASSERT_EQ(Fx.size(), 10001u);
    EXPECT_EQ(Zscore.front(), -5.0);
    EXPECT_EQ(Zscore.back(), 5.0);
    EXPECT_EQ(Zscore[5000], 0.0);
    EXPECT_EQ(Zscore[1], -4.999);
    EXPECT_EQ(Zscore[5001], 0.001);
    const struct {
        double z, fx;
    } rows[] = {{-5.000, 2.87e-07},      {-3.720, 9.96e-05},      {-3.719, 0.000100007}, {-3.707, 0.000104865},
                {-3.091, 0.000997418},   {-3.090, 0.001000782},   {-3.000, 0.001349898}, {-2.000, 0.02275013},
                {-1.000, 0.1586553},     {0.000, 0.5},            {1.000, 0.8413447},    {1.960, 0.9750021},
                {3.000, 0.9986501},      {4.500, 0.9999966},      {5.000, 0.9999997}};
    for (const auto& r : rows)
        EXPECT_EQ(FxAt(r.z), r.fx) << "z = " << r.z;
}

TEST(NormalTable, RoundingLeavesEqualPairsAndRaisedEntries)
{
    fillTables();
    int equalPairs = 0;
    for (size_t k = 1; k < Fx.size(); ++k) {
        ASSERT_GE(Fx[k], Fx[k - 1]);
        ASSERT_GT(Zscore[k], Zscore[k - 1]);
        equalPairs += Fx[k] == Fx[k - 1];
    }
    EXPECT_EQ(equalPairs, 800);
    for (size_t k = 9962; k < 10001; ++k)
        EXPECT_EQ(Fx[k], 0.9999997) << "z = " << Zscore[k];
    // The two-step rounding of the middle band raises 32 entries one unit in
    // the ninth decimal place over a single rounding to 9 places.
    int raised = 0;
    for (size_t k = 0; k < Fx.size(); ++k) {
        const double p = 0.5 * std::erfc(-Zscore[k] / std::sqrt(2.0));
        if (p >= 0.0001 && p < 0.001) {
            char text[32];
            std::snprintf(text, sizeof text, "%.9f", p);
            raised += Fx[k] != std::strtod(text, nullptr);
        }
    }
    EXPECT_EQ(raised, 32);
}

TEST(Kolmogorov, CriticalValues)
{
    fillTables();
    EXPECT_EQ(kolmogorovCritical(9), 0.432);
    EXPECT_DOUBLE_EQ(kolmogorovCritical(22), 0.2844);
    EXPECT_DOUBLE_EQ(kolmogorovCritical(64), 0.17);
    EXPECT_EQ(kolmogorovCritical(2), 0.842);
    EXPECT_EQ(kolmogorovCritical(50), 0.19);
    EXPECT_DOUBLE_EQ(kolmogorovCritical(51), 1.36 / std::sqrt(51.0));
}

TEST(Kolmogorov, NormalLookup)
{
    fillTables();
    EXPECT_EQ(normalProbability(5.5), 0.9999999);
    EXPECT_EQ(normalProbability(std::nan("")), 0.9999999);
    EXPECT_EQ(normalProbability(-5.5), 1e-7);
    EXPECT_EQ(normalProbability(0.0), 0.5);
    EXPECT_EQ(normalProbability(5.0), 0.9999997);
    EXPECT_EQ(normalProbability(1.96), 0.9750021);
    EXPECT_DOUBLE_EQ(normalProbability(0.0005), 0.5 - (0.5 - FxAt(0.001)) * 0.5);
}

TEST(Kolmogorov, Examples)
{
    fillTables();
    EXPECT_EQ(doKolmogorov({1, 2, 3, 4, 5, 6, 7, 8, 9}), 1);
    EXPECT_EQ(doKolmogorov({100, 400}), 1);
    // Clearly not bell-shaped: two clusters far apart.
    IntVector twoClusters;
    for (int i = 0; i < 30; ++i)
        twoClusters.push_back(i < 15 ? 1000 + i : 90000 + i);
    EXPECT_EQ(doKolmogorov(twoClusters), 0);
    // Degenerate inputs have a defined answer and no undefined behaviour.
    EXPECT_EQ(doKolmogorov({}), 1);
    EXPECT_EQ(doKolmogorov({5}), 1);
    EXPECT_EQ(doKolmogorov({7, 7, 7, 7}), 1);
    EXPECT_EQ(doKolmogorov({900, 100}), 1);
    EXPECT_EQ(doKolmogorov({INT32_MIN, INT32_MAX}), 1);
}
