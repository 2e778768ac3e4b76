// Fuzz target: the chromosome scan on arbitrary marker sets (positions across
// the whole 32-bit range, repeated or unsorted; p-values of any bit pattern:
// 0, negatives, NaN, infinities, subnormals) with arbitrary settings.
#include "kolmogorov005.h"
#include "peakcomber1.h"
#include "setZ.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (KolmoN.empty()) {
        kolmogorov005();
        setZ();
    }
    if (size < 4)
        return 0;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double shrinks[] = {0, 0.5, 2, 1e300, inf, nan, 1e-300, 3};
    const double thresholds[] = {0, 2, 5, 7.1, nan, 1e-300, 40, inf};
    const double limits[] = {0.001, 0.05, 1, nan, 1e-300, 5, inf, 1e-8};
    dots = 1 + data[0] % 8;
    shrink = shrinks[data[1] % 8];
    PeakThreshold = thresholds[data[2] % 8];
    inlimit = limits[data[3] % 8];
    Lvec.clear();
    Pvec.clear();
    for (size_t at = 4; at + 12 <= size && Lvec.size() < 5000; at += 12) {
        int32_t position;
        double p;
        std::memcpy(&position, data + at, 4);
        std::memcpy(&p, data + at + 4, 8);
        Lvec.push_back(position);
        Pvec.push_back(p);
    }
    Filename = "fuzz";
    Analyze("f");
    out_stream.takeCaptured();
    for (size_t i = 1; i < Ltemp.size(); ++i)
        if (Ltemp[i] <= Ltemp[i - 1])
            __builtin_trap();
    return 0;
}
