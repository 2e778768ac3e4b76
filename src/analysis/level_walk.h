// The choice of the next chunk by levels of equal widest gaps, for paths
// whose chunks show no scored drop (plateaus of equal values, equal gaps):
// there the choice is the innermost chunk, and finding that out needs only
// the first chunk of each level, not every chunk of the scorable prefix.
//
// Design note. A chunk's drop is (outer widest gap - its widest gap) / outer
// widest gap, so only the first chunk of a level (item >= 1, widest gap
// narrower than the chunk before) can have a positive drop, and every other
// chunk's drop is exactly 0. Invariant: when no such level-first chunk with a
// widest gap above 100 is scored, chooseChunk() finds no drop on any form of
// the sequence and takes the innermost chunk, backed off to chunk 0 when it
// spans a reported peak (positions sorted). The walk cuts level by level
// (ChunkPath::cutLevel, the jumps of ChunkPath::finalMarker), scores each
// level's first chunk, and stops at the first scored one: the full listing
// decides then. The first three chunks are cut one at a time, so whether
// the innermost chunk lies beyond the second is known. More in doc/scan.md.
#pragma once
#include "analysis/analysis_settings.h"
#include "analysis/chunk_choice.h"
#include "analysis/markers.h"
#include "analysis/remaining_markers.h"

enum class LevelWalk {
    Chosen,   // no level-first chunk is scored: choice is set
    Scored,   // one is: the first choice depends on the drops
    GaveUp,   // out of budget, or a step back the walk does not know
};

// The choice chooseChunk() makes over the remaining markers, when no drop is
// scored. positionsSorted: the real positions never decrease. budget is
// decreased by each cut level and jump round.
LevelWalk chooseByLevels(const Markers& m, const RemainingMarkers& remaining, const ReportedRanges& reported,
                         bool positionsSorted, int& budget, ScanChoice& choice);
