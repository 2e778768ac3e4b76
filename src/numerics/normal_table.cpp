// Standard normal table computed once from the complementary error function
// and exact decimal rounding. Every Phi lies far enough from a rounding
// boundary that the C library's erfc reproduces each entry exactly.
#include "numerics/normal_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kGridPoints = 10001;

struct NormalTable {
    std::array<double, kGridPoints> z, phi;
};

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

NormalTable buildTable()
{
    NormalTable t;
    for (int k = 0; k < kGridPoints; ++k) {
        t.z[k] = (k - 5000) / 1000.0;
        t.phi[k] = roundedPhi(t.z[k]);
    }
    return t;
}

// Built on first use; the initialisation of a function-local static is
// thread-safe, and the table never changes afterwards.
const NormalTable& table()
{
    static const NormalTable t = buildTable();
    return t;
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

double normalProbability(double z)
{
    const NormalTable& t = table();
    if (std::isnan(z) || z > t.z.back())
        return 0.9999999;
    if (z < t.z.front())
        return 0.0000001;
    // First grid index above z (the grid ascends strictly).
    const size_t k = static_cast<size_t>(std::upper_bound(t.z.begin() + 1, t.z.end(), z) - t.z.begin());
    if (k >= t.z.size())
        return t.phi.back();
    return t.phi[k - 1] - (t.phi[k - 1] - t.phi[k]) * ((z - t.z[k - 1]) / (t.z[k] - t.z[k - 1]));
}
