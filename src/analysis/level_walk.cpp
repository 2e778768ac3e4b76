// The walk over levels of equal widest gaps down to the innermost chunk,
// scoring the first chunk of each level (design note: level_walk.h).
#include "analysis/level_walk.h"

#include "analysis/chunk_path.h"

namespace {

// Whether scoreChunks() scores the chunk range: the same rules, in the same
// order, on the same measures.
bool scored(const Markers& m, const RemainingMarkers& remaining, const ChunkPath::Range& range, int64_t widest)
{
    if (!widestGapMayScore(widest))
        return false;
    const int64_t steps = int64_t(range.hi) - range.lo;
    const int64_t spacing = meanSpacing(m.work[range.hiAt] - m.work[range.loAt], steps);
    if (!gapsAllowScoring(widest, spacing))
        return false;
    const ChunkMeasures measures{widest, spacing, steps, int64_t(m.positions[range.hiAt]) - m.positions[range.loAt],
                                 remaining.runningMax(kNoMaximum, range.loAt, range.hiAt)};
    return chunkScored(measures);
}

void setChoice(const RemainingMarkers& remaining, const ChunkPath::Range& range, bool beyondSecond, ScanChoice& choice)
{
    choice.first = range.loAt;
    choice.last = range.hiAt;
    choice.steps = int64_t(range.hi) - range.lo;
    choice.height = remaining.runningMax(kNoMaximum, range.loAt, range.hiAt);
    choice.beyondSecond = beyondSecond;
    choice.compactedFirst = -1;
}

} // namespace

LevelWalk chooseByLevels(const Markers& m, const RemainingMarkers& remaining, const ReportedRanges& reported,
                         bool positionsSorted, int& budget, ScanChoice& choice)
{
    // The first chunks one cut at a time, as ChunkPath lists them.
    ChunkPath path;
    path.start(remaining);
    PathChunk chunks[chunk_choice::kListedAtLeast];
    int listed = 0;
    while (listed < chunk_choice::kListedAtLeast && path.next(remaining, chunks[listed])) {
        const PathChunk& c = chunks[listed];
        if (listed >= 1 && c.widestGap < chunks[listed - 1].widestGap &&
            scored(m, remaining, {c.firstRank, c.lastRank, c.first, c.last}, c.widestGap))
            return LevelWalk::Scored;
        ++listed;
    }
    if (listed == 0 || (path.done() && !chunks[listed - 1].isLast))
        return LevelWalk::GaveUp; // working positions not increasing: cannot happen after compression
    const PathChunk& outer = chunks[0];
    const PathChunk& last = chunks[listed - 1];
    ChunkPath::Range range{last.firstRank, last.lastRank, last.first, last.last};
    int innermost = listed - 1;
    if (!path.done()) {
        // The rest level by level; each level's last cut makes its first chunk.
        int64_t level = last.widestGap;
        while (range.lo < range.hi) {
            if (--budget < 0 || level <= 0 || !ChunkPath::cutLevel(remaining, range, level, budget))
                return LevelWalk::GaveUp;
            const int64_t widest = range.lo < range.hi ? remaining.widestGap(range.loAt + 1, range.hiAt) : 0;
            if (scored(m, remaining, range, widest))
                return LevelWalk::Scored;
            level = widest;
        }
        innermost = listed; // beyond every chunk listed
    }
    // No drop: the innermost chunk, unless it spans a reported peak.
    if (innermost == 0 || !reported.spannedBy(m.positions[range.loAt], m.positions[range.hiAt])) {
        setChoice(remaining, range, innermost > 1, choice);
        return LevelWalk::Chosen;
    }
    if (!positionsSorted)
        return LevelWalk::GaveUp; // the back-off steps back one chunk at a time
    setChoice(remaining, {outer.firstRank, outer.lastRank, outer.first, outer.last}, false, choice);
    return LevelWalk::Chosen;
}
