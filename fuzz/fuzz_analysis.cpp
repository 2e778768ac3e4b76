// Fuzz target: the chromosome scan on arbitrary marker sets (positions across
// the whole 32-bit range, repeated or unsorted; p-values of any bit pattern:
// 0, negatives, NaN, infinities, subnormals) with arbitrary settings.
#include "chromosome_scan.h"
#include "peak_row.h"

#include <cstdint>
#include <cstring>
#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double shrinks[] = {0, 0.5, 2, 1e300, inf, nan, 1e-300, 3};
    const double thresholds[] = {0, 2, 5, 7.1, nan, 1e-300, 40, inf};
    const double limits[] = {0.001, 0.05, 1, nan, 1e-300, 5, inf, 1e-8};
    AnalysisSettings settings;
    settings.dots = 1 + data[0] % 8;
    settings.shrink = shrinks[data[1] % 8];
    settings.peakThreshold = thresholds[data[2] % 8];
    settings.inlimit = limits[data[3] % 8];
    IntVector positions;
    DoubleVector pvalues;
    for (size_t at = 4; at + 12 <= size && positions.size() < 5000; at += 12) {
        int32_t position;
        double p;
        std::memcpy(&position, data + at, 4);
        std::memcpy(&p, data + at + 4, 8);
        positions.push_back(position);
        pvalues.push_back(p);
    }
    ChromosomeScan scan(settings);
    std::vector<PeakFeatures> peaks;
    scan.analyse(positions, pvalues, peaks);
    std::string rows;
    for (const PeakFeatures& peak : peaks)
        appendPeakRow(rows, "fuzz", "f", peak);
    const WorkPositions& work = scan.workPositions();
    for (size_t i = 1; i < work.size(); ++i)
        if (work[i] <= work[i - 1])
            __builtin_trap();
    return 0;
}
