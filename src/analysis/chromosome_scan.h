// The chromosome scan: one chromosome's retained markers in, its reported
// peaks out. A scan object holds all of the scan's working state and
// buffers, so each thread (or each table) uses its own.
#pragma once
#include "analysis/analysis_settings.h"
#include "analysis/level_walk.h"
#include "analysis/linear_chunks.h"
#include "analysis/markers.h"
#include "analysis/peak_features.h"
#include "analysis/remaining_markers.h"
#include "analysis/tree_chunks.h"

#include <vector>

// The steps a scan runs that have faster and straightforward forms; tests
// pass the straightforward ones to compare the two.
struct ScanSteps {
    void (*compress)(Markers&, double shrink);
    ChunkBuilder buildChunks;
    // Choose chunks on the segment tree, with the linear form over compacted
    // vectors as the fallback; false: every iteration is linear.
    bool treeChoice;
    // When the tree tries the walk by levels (level_walk.h) before listing.
    enum class Levels { Never, AfterLongListings, Always } levels;
};
ScanSteps productionSteps();

// One chunk taken out, for comparisons of the scan's forms.
struct TakenChunk {
    int32_t firstPosition = 0, lastPosition = 0;
    int64_t steps = 0;
    double height = 0;
    bool beyondSecond = false;
};

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
    // Every chunk taken out from now on is appended to log (none when null).
    void recordTakenChunks(std::vector<TakenChunk>* log) { takenLog_ = log; }
    // Iterations chosen on the tree and linearly, over this object's life.
    int64_t treeChoices() const { return treeChoices_; }
    int64_t linearChoices() const { return linearChoices_; }
    // Of the tree's iterations, those chosen by levels (level_walk.h).
    int64_t levelChoices() const { return levelChoices_; }

private:
    void prepare();
    bool takeOutNextChunk(std::vector<PeakFeatures>& peaks);
    bool chooseOnTree(ScanChoice& choice);
    bool chooseByLevels(ScanChoice& choice);
    bool chooseLinearly(ScanChoice& choice);
    std::optional<PeakFeatures> measure(const ScanChoice& choice) const;
    void compactIfSparse();

    const AnalysisSettings& settings_;
    ScanSteps steps_;
    Markers markers_;             // the prepared markers; the tree says which remain
    RemainingMarkers remaining_;
    TreeChunks treeChunks_;
    bool positionsSorted_ = true; // real positions never decrease
    // The linear iteration's compacted remaining markers and their indices.
    Markers compacted_;
    std::vector<int> compactedIndex_;
    Chunks chunks_;
    SplitScratch scratch_;
    ReportedRanges reported_;
    std::vector<TakenChunk>* takenLog_ = nullptr;
    int64_t treeChoices_ = 0, linearChoices_ = 0, levelChoices_ = 0;
    // The walk by levels chose last time: it goes first, before the listing.
    bool levelsFirst_ = false;
    // After the tree gives up, the next iterations go linear without trying:
    // 1, 3, 7, ... of them while it keeps giving up.
    int linearRunLength_ = 0, linearRunLeft_ = 0;
};
