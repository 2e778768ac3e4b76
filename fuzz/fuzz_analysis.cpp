// Fuzz target: the chromosome scan on arbitrary marker sets (positions across
// the whole 32-bit range, repeated or unsorted; p-values of any bit pattern:
// 0, negatives, NaN, infinities, subnormals) with arbitrary settings, run in
// three forms of the chunk choice: on the tree, on the tree with the walk by
// levels first in every iteration, and only linearly. Traps when the working
// positions are not strictly increasing, or when the forms take different
// chunks or write different report rows (doc/scan.md).
#include "analysis/chromosome_scan.h"
#include "report/peak_row.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

struct Scan {
    std::vector<TakenChunk> taken;
    std::string rows;
};

Scan scanOnce(const AnalysisSettings& settings, ScanSteps steps, IntVector positions, DoubleVector pvalues)
{
    ChromosomeScan scan(settings, steps);
    Scan result;
    scan.recordTakenChunks(&result.taken);
    std::vector<PeakFeatures> peaks;
    scan.analyse(positions, pvalues, peaks);
    for (const PeakFeatures& peak : peaks) {
        appendPeakRow(result.rows, "fuzz", "f", peak);
        result.rows += std::to_string(peak.leadInput) + "\n";
    }
    const WorkPositions& work = scan.workPositions();
    for (size_t i = 1; i < work.size(); ++i)
        if (work[i] <= work[i - 1])
            __builtin_trap();
    return result;
}

bool sameChunk(const TakenChunk& a, const TakenChunk& b)
{
    return a.firstPosition == b.firstPosition && a.lastPosition == b.lastPosition && a.steps == b.steps &&
           std::memcmp(&a.height, &b.height, sizeof a.height) == 0 && a.beyondSecond == b.beyondSecond;
}

void trapUnlessSame(const Scan& fast, const Scan& linear)
{
    if (fast.taken.size() != linear.taken.size() || fast.rows != linear.rows)
        __builtin_trap();
    for (size_t k = 0; k < fast.taken.size(); ++k)
        if (!sameChunk(fast.taken[k], linear.taken[k]))
            __builtin_trap();
}

} // namespace

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
    ScanSteps linearSteps = productionSteps();
    linearSteps.treeChoice = false;
    ScanSteps walkFirst = productionSteps();
    walkFirst.levels = ScanSteps::Levels::Always;
    const Scan linear = scanOnce(settings, linearSteps, positions, pvalues);
    trapUnlessSame(scanOnce(settings, productionSteps(), positions, pvalues), linear);
    trapUnlessSame(scanOnce(settings, walkFirst, positions, pvalues), linear);
    return 0;
}
