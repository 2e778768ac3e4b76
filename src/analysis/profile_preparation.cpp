// Background trimming, smoothing, compression and straightening.
#include "analysis/profile_preparation.h"

#include "numerics/regression.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kBackgroundCeiling = 7.3; // values below this count as background
constexpr double kTrimSpacing = 25000.0;   // background spacing the trimming aims at
constexpr int kSmoothingWindow = 5;
constexpr int64_t kShortenLimit = int64_t(1) << 62;

// Truncation of a shift length toward zero; NaN gives 0 and values beyond
// +-2^62 saturate, so that position arithmetic stays inside 64 bits.
int64_t truncateShift(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= static_cast<double>(kShortenLimit))
        return kShortenLimit;
    if (x <= -static_cast<double>(kShortenLimit))
        return -kShortenLimit;
    return static_cast<int64_t>(x);
}

} // namespace

void trimBackground(Markers& m)
{
    DoubleVector background;
    for (double v : m.smoothed)
        if (v < kBackgroundCeiling)
            background.push_back(v);
    const int64_t b = static_cast<int64_t>(background.size());
    if (b == 0 || m.work.empty())
        return;
    std::sort(background.begin(), background.end());
    const double meanSpacing = static_cast<double>((m.work.back() - m.work.front()) / b);
    int64_t cut = 0;
    if (meanSpacing < kTrimSpacing)
        cut = b - static_cast<int64_t>(std::trunc((meanSpacing / kTrimSpacing) * static_cast<double>(b)));
    cut = std::min(cut, b - 1);
    const double limit = background[static_cast<size_t>(cut)];
    m.keepIf([&](size_t i) { return !(m.smoothed[i] < limit); });
}

void smoothProfile(Markers& m)
{
    const size_t n = m.values.size();
    const size_t half = kSmoothingWindow / 2;
    for (size_t i = half; i + half < n; ++i)
        m.smoothed[i] = fittedValueAt(m.positions.data() + i - half, m.values.data() + i - half, kSmoothingWindow, half);
}

int64_t gapShortening(int64_t dist, double meanValue, double lowest, double highest, double shrink)
{
    const double coeff = highest == lowest ? 0.0 : (meanValue - lowest) / (highest - lowest);
    return truncateShift((static_cast<double>(dist) * coeff) * shrink);
}

// The gaps are shortened left to right; a gap's shortening moves every later
// position left, but never to or below its predecessor. With D[j] = work[j] - j
// the pass over gap i sets D[j] = max(D[j] - shorten, D[i]) for all j > i once
// the first pass has made D non-decreasing, so every later pass is the clamp
// x -> max(x + A, B) composed into one function: O(n) instead of O(n^2), with
// the same positions.
void compressPositions(Markers& m, double shrink)
{
    WorkPositions& L = m.work;
    const DoubleVector& P = m.smoothed;
    const size_t n = L.size();
    if (n < 2)
        return;
    const double lowest = smallestValue(P);
    const double highest = largestValue(P);
    const int64_t shorten0 = gapShortening(L[1] - L[0], (P[1] + P[0]) * 0.5, lowest, highest, shrink);
    // First pass: D[j] = max(D[0], max over 0 < k <= j of D[k] - shorten0).
    WorkPositions base(n);
    base[0] = L[0];
    int64_t running = std::numeric_limits<int64_t>::min();
    for (size_t j = 1; j < n; ++j) {
        running = std::max(running, L[j] - static_cast<int64_t>(j) - shorten0);
        base[j] = std::max(base[0], running);
    }
    __int128 A = 0;
    __int128 B = std::numeric_limits<int64_t>::min();
    auto D = [&](size_t j) { return static_cast<int64_t>(std::max<__int128>(base[j] + A, B)); };
    for (size_t i = 1; i + 1 < n; ++i) {
        const int64_t di = D(i);
        const int64_t dist = D(i + 1) - di + 1;
        L[i] = di + static_cast<int64_t>(i);
        const int64_t shorten = gapShortening(dist, (P[i + 1] + P[i]) * 0.5, lowest, highest, shrink);
        A -= shorten;
        B = std::max<__int128>(B - shorten, di);
    }
    L[n - 1] = D(n - 1) + static_cast<int64_t>(n - 1);
}

void straightenPositions(Markers& m)
{
    WorkPositions& L = m.work;
    const size_t n = L.size();
    for (size_t first = 1; first <= 2; ++first) {
        if (n <= first + 1)
            continue;
        for (size_t k = first; k + 1 < n; k += 2) {
            // In 128 bits: compressed positions near the +-2^62 limits would
            // overflow a 64-bit sum; the midpoint itself always fits.
            const __int128 left = L[k - 1];
            const __int128 right = L[k + 1];
            if (right - left > 3)
                L[k] = static_cast<int64_t>((left + right) / 2);
        }
    }
}
