// The choice of the next chunk on the segment tree of the remaining markers,
// without listing the whole path of nested chunks: only the chunks that can
// be scored, the ones the inward walk passes, and the path's end. Gives up
// (for the linear iteration to take over) when an iteration would need more
// than max(64, remaining / 16) steps, so no input costs much more than the
// linear scan.
#pragma once
#include "analysis_settings.h"
#include "chunk_path.h"
#include "chunk_rules.h"
#include "markers.h"

#include <vector>

// The chunk an iteration takes out.
struct ScanChoice {
    int first = 0, last = 0;   // indices of its end markers among the prepared ones
    int64_t steps = 0;         // its markers - 1
    double height = 0;         // largest smoothed value
    bool beyondSecond = false; // not one of the two outermost chunks
    int compactedFirst = -1;   // its first index in the compacted vectors, when chosen there
};

class TreeChooser {
public:
    // The same choice as buildChunks and chooseChunk over the compacted
    // remaining markers; false when the step budget runs out. positionsSorted:
    // the real positions never decrease.
    bool choose(const Markers& m, const RemainingMarkers& remaining, const ReportedRanges& reported,
                const AnalysisSettings& settings, bool positionsSorted, ScanChoice& choice);
    // The remaining markers were rebuilt: nothing kept from the last choice holds.
    void forget() { lastFinal_ = RemainingMarkers::kNone; }

private:
    void reuseListedChunks(const Markers& m, const RemainingMarkers& remaining, RemovedFinal removed);
    bool listScorablePrefix(const RemainingMarkers& remaining);
    void addChunk(const PathChunk& chunk);
    double heightAt(const RemainingMarkers& remaining, int item);
    int firstChoice(const Markers& m, const RemainingMarkers& remaining, FirstChoiceTally& tally);
    bool walkInward(const Markers& m, const RemainingMarkers& remaining, const AnalysisSettings& settings,
                    int& report);
    bool choosePathEnd(const Markers& m, const RemainingMarkers& remaining, const ReportedRanges& reported,
                       bool positionsSorted, RemovedFinal removed, ScanChoice& choice);
    int backOff(const Markers& m, const ReportedRanges& reported, bool positionsSorted, int report) const;
    ScanChoice choiceOf(const PathChunk& chunk, double height, bool beyondSecond) const;

    ChunkPath path_;
    std::vector<PathChunk> chunks_;
    DoubleVector heights_;   // of chunks_, NaN until known
    int listedFrom_ = 0;     // the first remaining marker when chunks_ was listed
    int budget_ = 0;
    // The path's final marker when the last choice was that marker, and the
    // remaining marker after it then.
    int lastFinal_ = RemainingMarkers::kNone;
    int afterLastFinal_ = RemainingMarkers::kNone;
};
