// Nested cutting on the segment tree. A cut at rank g of range lo..hi keeps
// the left side exactly when 2(g - lo) >= hi - lo + 1. After a cut that keeps
// the right side at widest gap M, the following cuts fall on the next gaps
// equal to M for as long as they keep the right side; every such gap at a
// rank a with 2a <= hi + lo is certainly kept on the right, so the path can
// jump to the last of them. Each jump and the cut after it at least halve
// the range, so a level costs O(log n) rounds. Gaps equal to M at every
// marker after lo are kept on the right one after another down to the last
// two markers: a run of them costs one round.
#include "chunk_path.h"

void ChunkPath::start(const RemainingMarkers& remaining)
{
    const int n = remaining.count();
    range_ = {0, n - 1, remaining.first(), remaining.last()};
    done_ = n == 0;
    widest_ = n > 1 ? remaining.widestGap(range_.loAt + 1, range_.hiAt) : 0;
}

void ChunkPath::cut(const RemainingMarkers& remaining, Range& range, int64_t widest)
{
    const int at = remaining.firstGapAtLeast(range.loAt + 1, range.hiAt, widest);
    const int rank = remaining.rankOf(at);
    if (2 * (int64_t(rank) - range.lo) >= int64_t(range.hi) - range.lo + 1) {
        range.hi = rank - 1;
        range.hiAt = remaining.previous(at);
    } else {
        range.lo = rank;
        range.loAt = at;
    }
}

bool ChunkPath::next(const RemainingMarkers& remaining, PathChunk& chunk)
{
    if (done_)
        return false;
    if (range_.lo == range_.hi) {
        done_ = true;
        chunk = {range_.lo, range_.lo, range_.loAt, range_.loAt, 0, true};
        return true;
    }
    if (widest_ <= 0) {
        done_ = true; // working positions not increasing: cannot happen after compression
        return false;
    }
    cut(remaining, range_, widest_);
    widest_ = range_.lo < range_.hi ? remaining.widestGap(range_.loAt + 1, range_.hiAt) : 0;
    chunk = {range_.lo, range_.hi, range_.loAt, range_.hiAt, widest_, false};
    return true;
}

bool ChunkPath::followLevel(const RemainingMarkers& remaining, Range& range, int64_t level, int& budget)
{
    while (range.lo < range.hi) {
        if (--budget < 0)
            return false;
        if (followContiguousGaps(remaining, range, level))
            return true;
        const int halfway = static_cast<int>((int64_t(range.lo) + range.hi) / 2);
        if (halfway > range.lo) {
            const int jump = remaining.lastGapAtLeast(range.loAt + 1, remaining.select(halfway), level);
            if (jump != RemainingMarkers::kNone) {
                range.lo = remaining.rankOf(jump);
                range.loAt = jump;
            }
        }
        const int at = remaining.firstGapAtLeast(range.loAt + 1, range.hiAt, level);
        if (at == RemainingMarkers::kNone)
            return true; // the level ran out
        const int rank = remaining.rankOf(at);
        if (2 * int64_t(rank) - range.lo >= int64_t(range.hi) + 1) {
            range.hi = rank - 1; // keeps the left side: every gap left is narrower
            range.hiAt = remaining.previous(at);
            return true;
        }
        range.lo = rank;
        range.loAt = at;
    }
    return true;
}

bool ChunkPath::followContiguousGaps(const RemainingMarkers& remaining, Range& range, int64_t level)
{
    const int below = remaining.firstGapBelow(range.loAt + 1, level);
    const int runEnd = below == RemainingMarkers::kNone ? remaining.last() : remaining.previous(below);
    if (runEnd == range.loAt)
        return false;
    const int runEndRank = below == RemainingMarkers::kNone ? remaining.count() - 1 : remaining.rankOf(below) - 1;
    if (runEndRank >= range.hi) {
        // Equal gaps up to hi: the cuts keep the right side down to the last
        // two markers, then the left one.
        range.hi = range.lo = range.hi - 1;
        range.hiAt = range.loAt = remaining.previous(range.hiAt);
        return true;
    }
    range.lo = runEndRank;
    range.loAt = runEnd;
    return false;
}

int ChunkPath::finalMarker(const RemainingMarkers& remaining, int& budget) const
{
    Range range = range_;
    int64_t widest = widest_;
    while (range.lo < range.hi) {
        if (--budget < 0 || widest <= 0)
            return RemainingMarkers::kNone;
        const int keptHi = range.hi;
        cut(remaining, range, widest);
        if (range.hi == keptHi && !followLevel(remaining, range, widest, budget))
            return RemainingMarkers::kNone;
        widest = range.lo < range.hi ? remaining.widestGap(range.loAt + 1, range.hiAt) : 0;
    }
    return range.loAt;
}
