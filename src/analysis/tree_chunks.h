// The nested chunks of the remaining markers on the segment tree, listed on
// demand: only the chunks that can be scored, the ones the inward walk
// passes, and the innermost one, reached by jumps. The listed chunks and the
// path's levels are kept between iterations while their cuts hold. Gives up
// (for the linear form to take over) when an iteration would need more than
// max(64, remaining / 16) steps, so no input costs much more than the linear
// scan. Why its choice is the linear form's: doc/scan.md.
#pragma once
#include "analysis/analysis_settings.h"
#include "analysis/chunk_choice.h"
#include "analysis/chunk_path.h"
#include "analysis/markers.h"

#include <vector>

// The steps an iteration on the tree may take over this many remaining markers.
int treeStepBudget(int remaining);

class TreeChunks {
public:
    // The choice chooseChunk() makes on the linear form over the compacted
    // remaining markers; false when the step budget runs out.
    // positionsSorted: the real positions never decrease.
    bool choose(const Markers& m, const RemainingMarkers& remaining, const ReportedRanges& reported,
                const AnalysisSettings& settings, bool positionsSorted, ScanChoice& choice);
    // The remaining markers were rebuilt: nothing kept from the last choice holds.
    void forget() { lastFinal_ = RemainingMarkers::kNone; }

    // The sequence of chunk_choice.h, during choose().
    const Markers& markers() const { return *m_; }
    int next(int marker) const { return remaining_->next(marker); }
    int previous(int marker) const { return remaining_->previous(marker); }
    int listed() const { return static_cast<int>(chunks_.size()); }
    bool complete() const { return finalListed_ || path_.done(); }
    // The most listed chunks that share one widest gap that may score.
    int longestScorableLevel() const;
    bool extend();
    bool listFinal();
    bool outerListed(int item) const { return !(finalListed_ && item == listed() - 1); }
    // With sorted positions a wider chunk's real range holds a narrower one's.
    bool spansNest() const { return positionsSorted_; }
    int first(int item) const { return chunks_[static_cast<size_t>(item)].first; }
    int last(int item) const { return chunks_[static_cast<size_t>(item)].last; }
    int64_t steps(int item) const
    {
        const PathChunk& c = chunks_[static_cast<size_t>(item)];
        return c.lastRank - c.firstRank;
    }
    int64_t widestGap(int item) const { return chunks_[static_cast<size_t>(item)].widestGap; }
    double height(int item);

private:
    void reuseListedChunks(RemovedFinal removed);
    void addChunk(const PathChunk& chunk);

    // The current iteration's markers.
    const Markers* m_ = nullptr;
    const RemainingMarkers* remaining_ = nullptr;
    bool positionsSorted_ = true;
    RemovedFinal removed_;
    int budget_ = 0;
    bool finalListed_ = false; // the last listed chunk is the innermost, reached by jumps

    ChunkPath path_;
    std::vector<PathChunk> chunks_;
    DoubleVector heights_;   // of chunks_, NaN until known
    int listedFrom_ = 0;     // the first remaining marker when chunks_ was listed
    // The path's final marker when the last choice was that marker, and the
    // remaining marker after it then.
    int lastFinal_ = RemainingMarkers::kNone;
    int afterLastFinal_ = RemainingMarkers::kNone;
};
