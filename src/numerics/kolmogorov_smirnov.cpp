// One-sample Kolmogorov-Smirnov test on binned positions: equal-width bins
// over the peak, a normal distribution fitted to the binned data, and the
// largest gap between the cumulative shares and the fitted normal
// distribution at each bin's upper border, against the critical value.
#include "numerics/kolmogorov_smirnov.h"

#include "numerics/normal_table.h"

#include <algorithm>
#include <cmath>

namespace {

struct CriticalValue {
    int n;
    double d;
};

// Critical values D(n) of the one-sample test at significance 0.05.
constexpr CriticalValue kCriticalValues[] = {
    {0, 1.0},    {1, 0.975},  {2, 0.842},  {3, 0.708},  {4, 0.624},  {5, 0.565},  {6, 0.521},
    {7, 0.486},  {8, 0.457},  {9, 0.432},  {10, 0.41},  {11, 0.391}, {12, 0.375}, {13, 0.361},
    {14, 0.349}, {15, 0.338}, {16, 0.328}, {17, 0.318}, {18, 0.309}, {19, 0.301}, {20, 0.294},
    {25, 0.27},  {30, 0.24},  {35, 0.23},  {40, 0.21},  {45, 0.2},   {50, 0.19},
};

struct Bins {
    DoubleVector lower, upper, mid, contents;
};

Bins makeBins(const IntVector& positions, int bins)
{
    Bins b;
    double position = positions.front();
    const double binsize = static_cast<double>(int64_t(positions.back()) - positions.front() + 1) / bins;
    for (int j = 0; j < bins; ++j) {
        b.lower.push_back(position);
        position += binsize;
        b.upper.push_back(position);
        b.contents.push_back(0);
        b.mid.push_back((b.lower[j] + b.upper[j]) * 0.5);
    }
    b.lower.front() -= 1.0;
    b.upper.back() += 1.0;
    return b;
}

} // namespace

DoubleVector binContents(const IntVector& positions, const DoubleVector& lower, const DoubleVector& upper)
{
    DoubleVector contents(upper.size(), 0.0);
    // Bins that follow one another without overlap (each lower border the
    // previous upper one, the upper borders in order): a position lies in
    // the first bin whose upper border is above it, if in any.
    bool contiguous = std::is_sorted(upper.begin(), upper.end());
    for (size_t j = 1; j < upper.size() && contiguous; ++j)
        contiguous = lower[j] == upper[j - 1];
    for (int32_t loc : positions) {
        const double x = loc;
        if (contiguous) {
            const size_t j = static_cast<size_t>(std::upper_bound(upper.begin(), upper.end(), x) - upper.begin());
            if (j < upper.size() && x >= lower[j])
                contents[j] += 1;
            continue;
        }
        for (size_t j = 0; j < upper.size(); ++j)
            if (x >= lower[j] && upper[j] > x)
                contents[j] += 1;
    }
    return contents;
}

double kolmogorovCritical(int total)
{
    constexpr size_t rows = sizeof kCriticalValues / sizeof kCriticalValues[0];
    if (kCriticalValues[rows - 1].n < total)
        return 1.36 / std::sqrt(static_cast<double>(total));
    if (total < kCriticalValues[0].n)
        return 1.0;
    for (size_t k = 0; k < rows; ++k) {
        const CriticalValue& row = kCriticalValues[k];
        if (row.n == total)
            return row.d;
        if (k > 0 && kCriticalValues[k - 1].n < total && total < row.n) {
            const CriticalValue& prev = kCriticalValues[k - 1];
            const double fraction = static_cast<double>(total - prev.n) / (row.n - prev.n);
            return prev.d - (prev.d - row.d) * fraction;
        }
    }
    return 1.0;
}

bool positionsLookNormal(const IntVector& positions)
{
    if (positions.empty())
        return true;
    const int datasize = static_cast<int>(positions.size());
    int bins = static_cast<int>(datasize / 3.0);
    if (bins <= 2)
        bins = 3;
    Bins b = makeBins(positions, bins);
    b.contents = binContents(positions, b.lower, b.upper);

    double mean = 0;
    int total = 0;
    for (int j = 0; j < bins; ++j) {
        mean += b.contents[j] * b.mid[j];
        total = static_cast<int>(total + b.contents[j]);
    }
    mean = mean / total;
    const double mean2 = mean * mean;
    double sqsumn = 0;
    for (int j = 0; j < bins; ++j)
        sqsumn += b.mid[j] * b.mid[j] * b.contents[j];
    const double var = (sqsumn / total - mean2) * total / (total - 1);
    const double stdev = std::sqrt(var);

    for (int j = 1; j < bins; ++j)
        b.contents[j] += b.contents[j - 1];
    double largestDiff = 0;
    for (int j = 0; j < bins; ++j) {
        const double share = b.contents[j] / total;
        const double diff = std::fabs(share - normalProbability((b.upper[j] - mean) / stdev));
        if (diff > largestDiff)
            largestDiff = diff;
    }
    return kolmogorovCritical(total) > largestDiff;
}
