// Standard normal table computed at start-up from the complementary error
// function and exact decimal rounding. Every Phi lies far enough from a
// rounding boundary that the C library's erfc reproduces each entry exactly.
#include "setZ.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

DoubleVector Zscore;
DoubleVector Fx;

namespace {

// p rounded to the given number of significant digits, as the nearest double
// to that decimal. printf rounds the exact binary value correctly.
double roundSignificant(double p, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, p);
    return std::strtod(text, nullptr);
}

// For 0.0001 <= p < 0.001: p to 7 significant digits (10 decimal places),
// then that decimal to 9 places, a tenth digit of 5 or more rounding up.
double roundTwoStep(double p)
{
    const long long tenths = std::llround(roundSignificant(p, 7) * 1e10);
    const long long ninths = (tenths + 5) / 10;
    char text[64];
    std::snprintf(text, sizeof text, "%llde-9", ninths);
    return std::strtod(text, nullptr);
}

} // namespace

double roundedPhi(double z)
{
    const double p = 0.5 * std::erfc(-z / std::sqrt(2.0));
    if (p < 0.0001)
        return roundSignificant(p, 3);
    if (p < 0.001)
        return roundTwoStep(p);
    return roundSignificant(p, 7);
}

void setZ()
{
    for (int k = 0; k <= 10000; ++k) {
        const double z = (k - 5000) / 1000.0;
        Zscore.push_back(z);
        Fx.push_back(roundedPhi(z));
    }
}
