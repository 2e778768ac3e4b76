// The p-value histogram behind the QQ panel and lambdaGC.
#include "plot/plot_histogram.h"

#include <cmath>
#include <limits>

namespace {

constexpr uint64_t kDenormMinBits = 1;

double fromBits(uint64_t bits)
{
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

uint64_t toBits(double x)
{
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Coarse bin of 0 < p < 2^-32 (p not the smallest subnormal): its normalised
// exponent and top mantissa bits.
size_t coarseIndex(uint64_t bits)
{
    int64_t exponent = int64_t(bits >> 52);
    if (exponent == 0) { // subnormal: scale into the normal range, exactly
        bits = toBits(fromBits(bits) * 0x1p64);
        exponent = int64_t(bits >> 52) - 64;
    }
    // exponent - 1023 is the normalised power of two, -1074..-33.
    const int64_t e = exponent - 1023 + 1074;
    const uint64_t mantissa = (bits >> (52 - PlotHistogram::kCoarseBits)) & ((1u << PlotHistogram::kCoarseBits) - 1);
    return (size_t(e) << PlotHistogram::kCoarseBits) | mantissa;
}

// Wichura's AS 241 (PPND16): the standard normal quantile, about 1e-16
// relative accuracy.
double normalQuantile(double p)
{
    const double q = p - 0.5;
    if (std::fabs(q) <= 0.425) {
        const double r = 0.180625 - q * q;
        return q *
               (((((((2509.0809287301226727 * r + 33430.575583588128105) * r + 67265.770927008700853) * r +
                    45921.953931549871457) * r + 13731.693765509461125) * r + 1971.5909503065514427) * r +
                 133.14166789178437745) * r + 3.387132872796366608) /
               (((((((5226.495278852545925 * r + 28729.085735721942674) * r + 39307.89580009271061) * r +
                    21213.794301586595867) * r + 5394.1960214247511077) * r + 687.1870074920579083) * r +
                 42.313330701600911252) * r + 1.0);
    }
    double r = q < 0 ? p : 1.0 - p;
    if (r <= 0)
        return q < 0 ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    r = std::sqrt(-std::log(r));
    double value;
    if (r <= 5.0) {
        r -= 1.6;
        value = (((((((7.7454501427834140764e-4 * r + 0.0227238449892691845833) * r + 0.24178072517745061177) * r +
                     1.27045825245236838258) * r + 3.64784832476320460504) * r + 5.7694972214606914055) * r +
                  4.6303378461565452959) * r + 1.42343711074968357734) /
                (((((((1.05075007164441684324e-9 * r + 5.475938084995344946e-4) * r + 0.0151986665636164571966) * r +
                     0.14810397642748007459) * r + 0.68976733498510000455) * r + 1.6763848301838038494) * r +
                  2.05319162663775882187) * r + 1.0);
    } else {
        r -= 5.0;
        value = (((((((2.01033439929228813265e-7 * r + 2.71155556874348757815e-5) * r + 0.0012426609473880784386) * r +
                     0.026532189526576123093) * r + 0.29656057182850489123) * r + 1.7848265399172913358) * r +
                  5.4637849111641143699) * r + 6.6579046435011037772) /
                (((((((2.04426310338993978564e-15 * r + 1.4215117583164458887e-7) * r + 1.8463183175100546818e-5) * r +
                     7.868691311456132591e-4) * r + 0.0148753612908506148525) * r + 0.13692988092273580531) * r +
                  0.59983220655588793769) * r + 1.0);
    }
    return q < 0 ? -value : value;
}

} // namespace

double chiSquare1Upper(double p)
{
    if (!(p > 0))
        return std::numeric_limits<double>::infinity();
    if (p >= 1)
        return 0;
    const double z = normalQuantile(0.5 * p); // upper tail p/2 on each side
    return z * z;
}

PlotHistogram::PlotHistogram() : fine_(kFineCount, 0), coarse_(kCoarseCount, 0) {}

void PlotHistogram::addSmall(uint64_t bits)
{
    if (bits <= kDenormMinBits) {
        ++top_;
        return;
    }
    uint32_t& c = coarse_[coarseIndex(bits)];
    if (++c == 0)
        carry(1 + coarseIndex(bits), 32);
}

void PlotHistogram::carry(size_t bin, int width) { carries_[bin] += uint64_t(1) << width; }

uint64_t PlotHistogram::count(size_t bin) const
{
    if (bin == 0)
        return top_;
    uint64_t c = bin <= kCoarseCount ? coarse_[bin - 1] : fine_[bin - 1 - kCoarseCount];
    if (!carries_.empty()) {
        const auto it = carries_.find(bin);
        if (it != carries_.end())
            c += it->second;
    }
    return c;
}

double PlotHistogram::binLow(size_t bin) const
{
    if (bin == 0)
        return 0;
    if (bin <= kCoarseCount) {
        const size_t i = bin - 1;
        const int e = int(i >> kCoarseBits) - 1074;
        const double m = 1.0 + double(i & ((1u << kCoarseBits) - 1)) / (1u << kCoarseBits);
        return std::ldexp(m, e);
    }
    return fromBits((uint64_t(bin - 1 - kCoarseCount) + kFineBase) << (52 - kFineBits));
}

double PlotHistogram::binHigh(size_t bin) const
{
    if (bin == 0)
        return std::numeric_limits<double>::denorm_min();
    if (bin == kBinCount - 1)
        return 1.0;
    // The next bin's low edge (the last coarse bin ends where the fine ones start).
    return binLow(bin + 1);
}

size_t PlotHistogram::binOfRank(uint64_t rank, uint64_t* ranksBefore) const
{
    uint64_t seen = 0;
    size_t found = kBinCount;
    forEachBin([&](size_t bin, uint64_t c) {
        if (seen + c >= rank) {
            found = bin;
            return false;
        }
        seen += c;
        return true;
    });
    if (ranksBefore)
        *ranksBefore = seen;
    return found;
}

size_t PlotHistogram::binOf(double p)
{
    const uint64_t bits = toBits(p + 0.0);
    if (bits >= kFineLowBits)
        return 1 + kCoarseCount + ((bits >> (52 - kFineBits)) - kFineBase);
    if (bits <= kDenormMinBits)
        return 0;
    return 1 + coarseIndex(bits);
}

LambdaEstimate lambdaFromHistogram(const PlotHistogram& h)
{
    LambdaEstimate est;
    const uint64_t n = h.total();
    if (n == 0) {
        est.lambda = std::numeric_limits<double>::quiet_NaN();
        return est;
    }
    // The middle order statistic(s) in ascending p; chi-square descends with
    // p, so the median chi-square is theirs (the mean of two when n is even).
    const uint64_t ranks[2] = {(n + 1) / 2, n / 2 + 1};
    const int used = n % 2 ? 1 : 2;
    double low = 0, high = 0;
    for (int k = 0; k < used; ++k) {
        const size_t bin = h.binOfRank(ranks[k]);
        low += chiSquare1Upper(h.binHigh(bin));
        high += chiSquare1Upper(h.binLow(bin));
    }
    low /= used * kChiSquare1Median;
    high /= used * kChiSquare1Median;
    if (std::isinf(high)) {
        est.lambda = low == high ? high : std::numeric_limits<double>::infinity();
        est.bound = std::isinf(low) ? 0 : std::numeric_limits<double>::infinity();
        return est;
    }
    est.lambda = 0.5 * (low + high);
    est.bound = 0.5 * (high - low);
    return est;
}
