// The nested cutting of the remaining markers, one chunk at a time, on the
// segment tree: each chunk costs O(log n). The final one-marker chunk is
// reached without listing the chunks before it, by jumps over runs of equal
// widest gaps kept for the next iteration (doc/scan.md).
#pragma once
#include "analysis/remaining_markers.h"

#include <cstdint>
#include <vector>

// One chunk of the path: ranks and indices of its end markers.
struct PathChunk {
    int firstRank = 0, lastRank = 0;
    int first = 0, last = 0;
    int64_t widestGap = 0; // widest internal working gap (0 for one marker)
    bool isLast = false;   // the path ends with this chunk
    // The cut that made the chunk: the gap width it cut at, and how many
    // markers inside the chunk can go before the cut could change side.
    int64_t cutWidest = 0, cutSlack = 0;
};

// The marker the previous iteration removed, when it was the path's final
// one-marker chunk: its index and the gap that now spans it.
struct RemovedFinal {
    int index = RemainingMarkers::kNone;
    int64_t mergedGap = 0;
};

class ChunkPath {
public:
    // Starts at the whole set of remaining markers (at least one).
    void start(const RemainingMarkers& remaining);
    // Continues after chunk, whose widest internal gap is widest.
    void resume(const PathChunk& chunk, int64_t widest);
    bool done() const { return done_; }
    // The next chunk; false when there is none (the path is done).
    bool next(const RemainingMarkers& remaining, PathChunk& chunk);
    // Index of the marker of the path's final chunk, from the current state;
    // kNone when that takes more than budget rounds (budget is decreased).
    // removed: what was taken out since the last call (index kNone: anything
    // else, or nothing known).
    int finalMarker(const RemainingMarkers& remaining, int& budget, RemovedFinal removed);

    // A stretch of remaining markers.
    struct Range {
        int lo, hi;     // ranks
        int loAt, hiAt; // indices
    };
    // Every cut at gaps equal to level, the widest gap of range: range becomes
    // the chunk the last of them makes, whose widest gap is narrower. False
    // when out of budget.
    static bool cutLevel(const RemainingMarkers& remaining, Range& range, int64_t level, int& budget);

private:
    // The cuts at one widest gap value (a level), from the range they start
    // at; slack: how many more markers inside the end range can be removed
    // before one of these cuts could change side.
    struct LevelStep {
        Range start;
        int64_t level;
        int64_t slack;
    };

    // Cuts range at its leftmost widest gap, of width widest, keeping the larger side.
    static void cut(const RemainingMarkers& remaining, Range& range, int64_t widest, int64_t& slack);
    static bool cutLevel(const RemainingMarkers& remaining, Range& range, int64_t level, int& budget,
                         int64_t& slack);
    // Follows the cuts at gaps equal to level while they keep the right side;
    // returns false when out of budget.
    static bool followLevel(const RemainingMarkers& remaining, Range& range, int64_t level, int& budget,
                            int64_t& slack);
    // Follows the cuts through the gaps equal to level that directly follow
    // lo; true when they end the path.
    static bool followContiguousGaps(const RemainingMarkers& remaining, Range& range, int64_t level,
                                     int64_t& slack);
    // The number of kept levels that still hold after removed, given that
    // the path starts at range; updates their ranks and slacks.
    size_t reusableLevels(const Range& range, int64_t widest, RemovedFinal removed);

    Range range_{0, 0, 0, 0};
    int64_t widest_ = 0;
    bool done_ = true;
    std::vector<LevelStep> levels_; // of the last finalMarker call
};
