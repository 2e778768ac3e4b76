// Raw-sum least squares: slope = (n*Sxy - Sx*Sy) / (n*Sxx - Sx*Sx), the sums
// accumulated in index order.
#include "numerics/regression.h"

#include <algorithm>
#include <cmath>

namespace {

struct Sums {
    double count = 0, sumX = 0, sumY = 0, sumXY = 0, sumXX = 0;
};

Sums sumsOf(const int32_t* L, const double* P, size_t n)
{
    Sums s;
    for (size_t i = 0; i < n; ++i) {
        const double x = L[i];
        const double y = P[i];
        s.count += 1.0;
        s.sumX += x;
        s.sumY += y;
        s.sumXY += x * y;
        s.sumXX += x * x;
    }
    return s;
}

double slopeOf(const Sums& s)
{
    if (s.count == 0 || s.sumX == 0)
        return 0.0;
    const double slope = (s.count * s.sumXY - s.sumX * s.sumY) / (s.count * s.sumXX - s.sumX * s.sumX);
    return std::isnan(slope) ? 0.0 : slope;
}

} // namespace

double slopeAt(const int32_t* L, const double* P, size_t n)
{
    return slopeOf(sumsOf(L, P, n));
}

double fittedValueAt(const int32_t* L, const double* P, size_t n, size_t loc)
{
    const Sums s = sumsOf(L, P, n);
    if (s.count == 0 || loc >= n)
        return 0.0;
    const double slope = slopeOf(s);
    const double intercept = (s.sumY - slope * s.sumX) / s.count;
    return L[loc] * slope + intercept;
}

DoubleVector windowSlopes(int window, const IntVector& positions, const DoubleVector& values)
{
    DoubleVector slopes(values.size(), 0.0);
    if (window < 1)
        return slopes;
    const size_t w = static_cast<size_t>(window);
    const size_t shift = static_cast<size_t>(window * 0.5);
    const size_t n = std::min(values.size(), positions.size());
    for (size_t i = 0; i + w <= n; ++i)
        slopes[i + shift] = slopeAt(positions.data() + i, values.data() + i, w);
    return slopes;
}
