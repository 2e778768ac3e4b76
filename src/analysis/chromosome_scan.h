// The chromosome scan: one chromosome's retained markers in, its reported
// peaks out. A scan object holds all of the scan's working state and
// buffers, so each thread (or each table) uses its own.
#pragma once
#include "analysis_settings.h"
#include "chunk_splitting.h"
#include "markers.h"
#include "peak_features.h"

#include <vector>

// The steps a scan runs that have faster and straightforward forms; tests
// pass the straightforward ones to compare the two.
struct ScanSteps {
    void (*compress)(Markers&, double shrink);
    ChunkBuilder buildChunks;
};
ScanSteps productionSteps();

class ChromosomeScan {
public:
    explicit ChromosomeScan(const AnalysisSettings& settings, ScanSteps steps = productionSteps());

    // Analyses one chromosome: real positions and raw p-values of its
    // retained markers in input order (or their -log10(p) when
    // valuesAreLog10). Appends the reported peaks to peaks in the order they
    // are found. Leaves positions and pvalues empty (their capacity is kept
    // for the next chromosome).
    void analyse(IntVector& positions, DoubleVector& pvalues, std::vector<PeakFeatures>& peaks,
                 bool valuesAreLog10 = false);

    // The working positions after the last analysis (for invariant checks).
    const WorkPositions& workPositions() const { return markers_.work; }

private:
    void prepare();
    bool takeOutNextChunk(std::vector<PeakFeatures>& peaks);

    const AnalysisSettings& settings_;
    ScanSteps steps_;
    Markers markers_;
    Chunks chunks_;
    SplitScratch scratch_;
    ReportedRanges reported_;
};
