// Streaming histogram of p-values for the QQ panel and lambdaGC: a fixed
// array of counts indexed straight from the bits of the double, so adding a
// value is a compare, a shift and an increment (no logarithm, no hashing, no
// allocation), and memory stays at 1.1 MB whatever the number of rows.
//
// Bins, in ascending p:
//   index 0            the "top" class: p == 0 and the smallest subnormal
//                      (what the number reader gives for text such as 1e-400);
//                      both are drawn at the top of the axis
//   coarse bins        0 < p < 2^-32: 128 bins per power of two (the top 7
//                      mantissa bits), relative width 2^-7 (0.0024 in -log10 p)
//   fine bins          2^-32 <= p <= 1: 8192 bins per power of two (the top
//                      13 mantissa bits), relative width at most 2^-13; the
//                      last fine bin holds p == 1 alone
//
// Error bound of lambdaGC. The median chi-square comes from the bin(s)
// holding the middle order statistic(s); chi2(p) is decreasing, so the exact
// median lies between the chi-square values at the bin edges and the
// estimate (the middle of that interval) is off by at most half of it,
// LambdaEstimate::bound, which lambdaFromHistogram reports for every table. For a
// median p between 0.05 and 0.75 (lambdaGC between about 0.22 and 8.4) the
// half-interval is below 2.3e-4 (for lambda near 1 about 1.4e-4): lambdaGC is
// right to three decimals up to rounding at the last digit.
#pragma once
#include "base/fresh_pages.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

class PlotHistogram {
public:
    static constexpr int kFineBits = 13;
    static constexpr int kCoarseBits = 7;
    static constexpr uint64_t kOneBits = 0x3FF0000000000000ULL;           // 1.0
    static constexpr uint64_t kFineLowBits = uint64_t(1023 - 32) << 52;   // 2^-32
    static constexpr uint64_t kFineBase = kFineLowBits >> (52 - kFineBits);
    static constexpr size_t kFineCount = (size_t(32) << kFineBits) + 1;   // 2^-32 .. 1
    static constexpr int kCoarseExponents = 1074 - 32;                    // 2^-1074 .. 2^-33
    static constexpr size_t kCoarseCount = size_t(kCoarseExponents) << kCoarseBits;
    static constexpr size_t kBinCount = 1 + kCoarseCount + kFineCount;

    PlotHistogram();

    // Adds p when it is a valid p-value (0 <= p <= 1, not NaN); returns
    // whether it was. -0 counts as 0.
    bool add(double p)
    {
        uint64_t bits;
        const double q = p + 0.0; // -0 becomes +0
        std::memcpy(&bits, &q, sizeof bits);
        return addBits(bits);
    }
    // The same for the bits of p + 0.0.
    bool addBits(uint64_t bits)
    {
        if (bits > kOneBits) // negative, above 1, NaN
            return false;
        if (bits > largestBits_)
            largestBits_ = bits;
        if (bits >= kFineLowBits) {
            uint16_t& c = fine_[(bits >> (52 - kFineBits)) - kFineBase];
            if (__builtin_expect(++c == 0, 0))
                carry(1 + kCoarseCount + ((bits >> (52 - kFineBits)) - kFineBase), 16);
        } else {
            addSmall(bits);
        }
        ++total_;
        return true;
    }

    uint64_t total() const { return total_; }
    // The largest p-value added (0 when none was).
    double largest() const
    {
        double p;
        std::memcpy(&p, &largestBits_, sizeof p);
        return p;
    }
    // Bins in ascending p: count, and the closed range of p a bin holds.
    uint64_t count(size_t bin) const;
    double binLow(size_t bin) const;
    double binHigh(size_t bin) const;
    // Calls visit(bin, count) for every non-empty bin in ascending p until
    // it returns false. One pass over the counters beside one over the
    // carries, where count(bin) looks each bin up among the carries.
    template <typename Visit>
    void forEachBin(const Visit& visit) const;
    // The bin holding order statistic rank (1-based, ascending p), and the
    // rank just before the bin's first. Scans; for finishing only.
    size_t binOfRank(uint64_t rank, uint64_t* ranksBefore = nullptr) const;

    // For tests: the bin a valid p falls into.
    static size_t binOf(double p);

private:
    void addSmall(uint64_t bits);
    // Adds 2^width to the bin whose counter of that width wrapped.
    void carry(size_t bin, int width);

    // 16-bit counts keep the bins that most p-values fall into (the top
    // powers of two) in the nearest cache; a wrapped count carries.
    std::vector<uint16_t, FreshPagesAllocator<uint16_t>> fine_;
    std::vector<uint32_t, FreshPagesAllocator<uint32_t>> coarse_;
    uint64_t top_ = 0;
    uint64_t total_ = 0;
    uint64_t largestBits_ = 0;
    std::map<size_t, uint64_t> carries_; // multiples of 2^32 for bins that wrapped
};

template <typename Visit>
void PlotHistogram::forEachBin(const Visit& visit) const
{
    if (top_ != 0 && !visit(size_t(0), top_))
        return;
    auto carry = carries_.begin();
    const auto counted = [&](size_t bin, uint64_t c) {
        if (carry != carries_.end() && carry->first == bin)
            c += (carry++)->second;
        return c == 0 || visit(bin, c);
    };
    for (size_t i = 0; i < kCoarseCount; ++i)
        if (!counted(1 + i, coarse_[i]))
            return;
    for (size_t i = 0; i < kFineCount; ++i)
        if (!counted(1 + kCoarseCount + i, fine_[i]))
            return;
}

// lambdaGC = median of the 1-df chi-square values of the p-values / the
// median of the 1-df chi-square distribution (0.454936...), estimated from
// the histogram with its error bound. NaN (bound 0) without values.
struct LambdaEstimate {
    double lambda = 0;
    double bound = 0; // |estimate - exact| <= bound
};
LambdaEstimate lambdaFromHistogram(const PlotHistogram& h);

// The 1-df chi-square value whose upper tail is p (inf for p == 0).
double chiSquare1Upper(double p);
// Median of the 1-df chi-square distribution.
constexpr double kChiSquare1Median = 0.45493642311957275;
