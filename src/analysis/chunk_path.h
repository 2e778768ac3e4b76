// The nested cutting of the remaining markers, one chunk at a time, on the
// segment tree: each chunk costs O(log n). The final one-marker chunk can be
// reached without listing the chunks before it, by jumping over runs of
// equal widest gaps.
#pragma once
#include "remaining_markers.h"

#include <cstdint>

// One chunk of the path: ranks and indices of its end markers.
struct PathChunk {
    int firstRank = 0, lastRank = 0;
    int first = 0, last = 0;
    int64_t widestGap = 0; // widest internal working gap (0 for one marker)
    bool isLast = false;   // the path ends with this chunk
};

class ChunkPath {
public:
    // Starts at the whole set of remaining markers (at least one).
    void start(const RemainingMarkers& remaining);
    bool done() const { return done_; }
    // The next chunk; false when there is none (the path is done).
    bool next(const RemainingMarkers& remaining, PathChunk& chunk);
    // Index of the marker of the path's final chunk, from the current state;
    // kNone when that takes more than budget rounds (budget is decreased).
    int finalMarker(const RemainingMarkers& remaining, int& budget) const;

private:
    struct Range {
        int lo, hi;       // ranks
        int loAt, hiAt;   // indices
    };
    // Cuts range at its leftmost widest gap, of width widest, keeping the larger side.
    static void cut(const RemainingMarkers& remaining, Range& range, int64_t widest);
    // Follows the cuts at gaps equal to level while they keep the right side;
    // returns false when out of budget.
    // Follows the cuts through the gaps equal to level that directly follow
    // lo; true when they end the path.
    static bool followContiguousGaps(const RemainingMarkers& remaining, Range& range, int64_t level);
    static bool followLevel(const RemainingMarkers& remaining, Range& range, int64_t level, int& budget);

    Range range_{0, 0, 0, 0};
    int64_t widest_ = 0;
    bool done_ = true;
};
