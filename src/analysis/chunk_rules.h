// The rules that score a chunk, choose among the nested chunks, walk inward
// and back off, written on a chunk's measures alone so that the linear scan
// over compacted vectors and the tree scan apply the very same arithmetic.
#pragma once
#include "analysis_settings.h"
#include "vector_ops.h"

#include <cstdint>

// span / steps, truncated (steps > 0).
int64_t meanSpacing(int64_t span, int64_t steps);

// A chunk's measures for scoring: working gaps, real extent, height.
struct ChunkMeasures {
    int64_t widestGap = 0;   // widest internal working gap
    int64_t meanSpacing = 0; // working span / steps
    int64_t steps = 0;       // markers - 1
    int64_t realWidth = 0;   // last - first real position
    double height = 0;       // largest smoothed value
};

// True when a chunk of this widest gap can be scored at all.
bool widestGapMayScore(int64_t widestGap);
// True when the gap conditions allow scoring; they never need the height.
bool gapsAllowScoring(int64_t widestGap, int64_t meanSpacing);
// True when the chunk is scored (gap conditions and a peak-like extent).
bool chunkScored(const ChunkMeasures& c);

// The two gap-shape scores, fed from the innermost chunk outward.
class FirstChoiceTally {
public:
    // item's measures, and the widest gap of the next outer chunk (when item >= 1).
    void addScored(int item, int64_t widestGap, int64_t meanSpacing, int64_t outerWidestGap);
    int bestDrop() const { return bestDrop_; }
    // The first choice among count chunks.
    int choice(int count) const;

private:
    int bestDrop_ = 0, bestContrast_ = 0;
    double maxDrop_ = 0.0, maxContrast_ = 0.0;
};

// What the inward walk sees of a chunk's ends.
struct EdgeSample {
    double left = 0, right = 0; // mean smoothed value of the outer (up to) three markers
    int64_t firstGap = 0;       // working gap after the first marker
    int64_t spacing = 0;        // working span / steps (0 for one marker)
};
// The limit below which both edges are background.
double edgeClipLimit(const AnalysisSettings& settings);
// True when the walk should move inward from this chunk.
bool edgesLookLikeBackground(const EdgeSample& edges, double clipLimit);

// Outer real positions of the peaks already reported on this chromosome.
struct ReportedRanges {
    IntVector left, right;
    void clear()
    {
        left.clear();
        right.clear();
    }
    // True when the real range left..right spans a reported peak.
    bool spannedBy(int32_t left, int32_t right) const;
};
