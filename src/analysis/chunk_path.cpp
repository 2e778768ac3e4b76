// Nested cutting on the segment tree, and the jumps to the path's final
// marker. Invariant: a gap equal to the level M at a rank a with
// 2a <= lo + hi is kept on the right by every cut before it, so the path
// jumps to the last such gap; why that is exact, and what it costs:
// doc/scan.md.
#include "analysis/chunk_path.h"

#include <algorithm>

void ChunkPath::start(const RemainingMarkers& remaining)
{
    const int n = remaining.count();
    range_ = {0, n - 1, remaining.first(), remaining.last()};
    done_ = n == 0;
    widest_ = n > 1 ? remaining.widestGap(range_.loAt + 1, range_.hiAt) : 0;
}

void ChunkPath::cut(const RemainingMarkers& remaining, Range& range, int64_t widest, int64_t& slack)
{
    const int at = remaining.firstGapAtLeast(range.loAt + 1, range.hiAt, widest);
    const int64_t rank = remaining.rankOf(at);
    const int64_t keepLeftMargin = 2 * (rank - range.lo) - (int64_t(range.hi) - range.lo + 1);
    if (keepLeftMargin >= 0) {
        slack = std::min(slack, keepLeftMargin);
        range.hi = static_cast<int>(rank) - 1;
        range.hiAt = remaining.previous(at);
    } else {
        slack = std::min(slack, -keepLeftMargin - 1);
        range.lo = static_cast<int>(rank);
        range.loAt = at;
    }
}

bool ChunkPath::next(const RemainingMarkers& remaining, PathChunk& chunk)
{
    if (done_)
        return false;
    if (range_.lo == range_.hi) {
        done_ = true;
        chunk = {range_.lo, range_.lo, range_.loAt, range_.loAt, 0, true, 0, 0};
        return true;
    }
    if (widest_ <= 0) {
        done_ = true; // working positions not increasing: cannot happen after compression
        return false;
    }
    const int64_t cutWidest = widest_;
    int64_t slack = INT64_MAX;
    cut(remaining, range_, widest_, slack);
    widest_ = range_.lo < range_.hi ? remaining.widestGap(range_.loAt + 1, range_.hiAt) : 0;
    chunk = {range_.lo, range_.hi, range_.loAt, range_.hiAt, widest_, false, cutWidest, slack};
    return true;
}

void ChunkPath::resume(const PathChunk& chunk, int64_t widest)
{
    range_ = {chunk.firstRank, chunk.lastRank, chunk.first, chunk.last};
    widest_ = widest;
    done_ = chunk.isLast;
}

bool ChunkPath::followLevel(const RemainingMarkers& remaining, Range& range, int64_t level, int& budget,
                            int64_t& slack)
{
    while (range.lo < range.hi) {
        if (--budget < 0)
            return false;
        if (followContiguousGaps(remaining, range, level, slack))
            return true;
        const int halfway = static_cast<int>((int64_t(range.lo) + range.hi) / 2);
        if (halfway > range.lo) {
            const int jump = remaining.lastGapAtLeast(range.loAt + 1, remaining.select(halfway), level);
            if (jump != RemainingMarkers::kNone) {
                // Every cut jumped over keeps the right side with at least this margin.
                const int rank = remaining.rankOf(jump);
                slack = std::min(slack, int64_t(range.hi) + range.lo - 2 * int64_t(rank));
                range.lo = rank;
                range.loAt = jump;
            }
        }
        const int at = remaining.firstGapAtLeast(range.loAt + 1, range.hiAt, level);
        if (at == RemainingMarkers::kNone)
            return true; // the level ran out
        const int rank = remaining.rankOf(at);
        const int64_t keepLeftMargin = 2 * int64_t(rank) - range.lo - (int64_t(range.hi) + 1);
        if (keepLeftMargin >= 0) {
            slack = std::min(slack, keepLeftMargin);
            range.hi = rank - 1; // keeps the left side: every gap left is narrower
            range.hiAt = remaining.previous(at);
            return true;
        }
        slack = std::min(slack, -keepLeftMargin - 1);
        range.lo = rank;
        range.loAt = at;
    }
    return true;
}

bool ChunkPath::cutLevel(const RemainingMarkers& remaining, Range& range, int64_t level, int& budget)
{
    int64_t slack = INT64_MAX;
    return cutLevel(remaining, range, level, budget, slack);
}

// A cut that keeps the left side ends the level: every gap left of it is narrower.
bool ChunkPath::cutLevel(const RemainingMarkers& remaining, Range& range, int64_t level, int& budget, int64_t& slack)
{
    const int keptHi = range.hi;
    cut(remaining, range, level, slack);
    return range.hi != keptHi || followLevel(remaining, range, level, budget, slack);
}

bool ChunkPath::followContiguousGaps(const RemainingMarkers& remaining, Range& range, int64_t level, int64_t& slack)
{
    const int below = remaining.firstGapBelow(range.loAt + 1, level);
    const int runEnd = below == RemainingMarkers::kNone ? remaining.last() : remaining.previous(below);
    if (runEnd == range.loAt)
        return false;
    const int runEndRank = below == RemainingMarkers::kNone ? remaining.count() - 1 : remaining.rankOf(below) - 1;
    if (runEndRank >= range.hi) {
        // Equal gaps up to hi: the cuts keep the right side down to the last
        // two markers, then the left one, with no margin.
        slack = 0;
        range.hi = range.lo = range.hi - 1;
        range.hiAt = range.loAt = remaining.previous(range.hiAt);
        return true;
    }
    // The cut from rank b to b + 1 keeps the right side while b + 2 <= hi.
    slack = std::min(slack, int64_t(range.hi) - runEndRank - 1);
    range.lo = runEndRank;
    range.loAt = runEnd;
    return false;
}

// Removing a marker strictly inside a level's end range lowers hi, and the
// rank of every keep-left cut point, by one: each cut's margin drops by one.
// The level's cuts stay where they were while the gap that now spans the
// marker is narrower than the level and the margins do not run out. The last
// level made the removed marker final, so it is always redone.
size_t ChunkPath::reusableLevels(const Range& range, int64_t widest, RemovedFinal removed)
{
    if (removed.index == RemainingMarkers::kNone || levels_.empty())
        return 0;
    const Range& first = levels_[0].start;
    if (first.loAt != range.loAt || first.hiAt != range.hiAt || first.lo != range.lo || first.hi - 1 != range.hi ||
        levels_[0].level != widest)
        return 0;
    size_t kept = 0;
    for (; kept + 1 < levels_.size(); ++kept) {
        LevelStep& step = levels_[kept];
        if (removed.index == step.start.loAt || removed.mergedGap >= step.level || step.slack < 1)
            break;
        --step.slack;
        --step.start.hi;
    }
    if (kept > 0)
        --levels_[kept].start.hi;
    return kept;
}

int ChunkPath::finalMarker(const RemainingMarkers& remaining, int& budget, RemovedFinal removed)
{
    Range range = range_;
    int64_t widest = widest_;
    const size_t kept = reusableLevels(range, widest, removed);
    if (kept > 0) {
        range = levels_[kept].start;
        widest = remaining.widestGap(range.loAt + 1, range.hiAt);
    }
    levels_.resize(kept);
    while (range.lo < range.hi) {
        LevelStep step{range, widest, INT64_MAX};
        if (--budget < 0 || widest <= 0) {
            levels_.clear();
            return RemainingMarkers::kNone;
        }
        if (!cutLevel(remaining, range, widest, budget, step.slack)) {
            levels_.clear();
            return RemainingMarkers::kNone;
        }
        levels_.push_back(step);
        widest = range.lo < range.hi ? remaining.widestGap(range.loAt + 1, range.hiAt) : 0;
    }
    return range.loAt;
}
