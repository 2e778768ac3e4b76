// Straightforward transcriptions of the scan steps the tool runs in faster
// form: the compression (quadratic) and the nested cutting with its chunk
// measures (position lookup by search, chunk copies); and the comparison of
// two scans of one chromosome. The differential tests require identical
// results from both forms (doc/scan.md).
#pragma once
#include "analysis/chromosome_scan.h"

#include <string>

void referenceCompressPositions(Markers& m, double shrink);
void referenceBuildChunks(const Markers& m, Chunks& chunks, SplitScratch& unused);
// The scan with both straightforward steps and every chunk chosen linearly.
ScanSteps referenceSteps();

// One chromosome scanned with the given steps: the chunks taken out, the
// report rows (each followed by its lead marker's input row), and how many
// iterations chose on the tree (by levels among them) and linearly.
struct ScanResult {
    std::vector<TakenChunk> taken;
    std::string rows;
    int64_t treeChoices = 0, linearChoices = 0, levelChoices = 0;
};
ScanResult scanWith(const AnalysisSettings& settings, ScanSteps steps, IntVector positions, DoubleVector pvalues);

// Generated chromosomes for the differential tests, and how many fewer of
// them run under the sanitizers, which run far slower.
struct Chromosome {
    IntVector positions;
    DoubleVector pvalues;
};
#if defined(__SANITIZE_ADDRESS__)
constexpr int kScale = 4;
#else
constexpr int kScale = 1;
#endif
// "" when both took the same chunks (heights to the bit) and wrote the same
// rows, else the first difference.
std::string scanDifference(const ScanResult& fast, const ScanResult& reference);
