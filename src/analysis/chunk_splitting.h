// Chunk splitting: the nested chunks of the remaining markers, cut at the
// widest gap again and again, and the choice of the chunk to take out next.
#pragma once
#include "analysis_settings.h"
#include "chunk_rules.h"
#include "markers.h"

#include <cstdint>
#include <vector>

// Nested chunks, outermost first: chunk k spans markers start[k]..end[k].
struct Chunks {
    std::vector<int> start, end;
    DoubleVector height;                // largest smoothed value
    std::vector<int64_t> meanSpacing;   // working span / steps, truncated
    std::vector<int64_t> widestGap;     // widest internal working gap

    int size() const { return static_cast<int>(start.size()); }
    void clear();
    void add(int first, int last, int64_t spacing, int64_t widest);
};

// Reusable buffers of the gap tree, kept between scan iterations.
struct SplitScratch {
    std::vector<int64_t> gap;
    std::vector<int> left, right, stack;
};

// Builds the nested chunks of m, with every chunk's measures, into chunks.
void buildChunks(const Markers& m, Chunks& chunks, SplitScratch& scratch);
using ChunkBuilder = void (*)(const Markers&, Chunks&, SplitScratch&);

// Index of the chunk to take out next: the first choice from the two
// gap-shape scores, the inward walk past edges that look like background,
// and the back-off from chunks that span a reported peak.
int chooseChunk(const Markers& m, const Chunks& chunks, const ReportedRanges& reported,
                const AnalysisSettings& settings);
