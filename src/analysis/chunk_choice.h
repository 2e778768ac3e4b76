// The choice of the chunk to take out next, written once: the scoring rules
// on a chunk's measures, the first choice, the inward walk with its edge test
// and the back-off from reported peaks, over any sequence of nested chunks.
// Two forms provide the sequence: LinearChunks (linear_chunks.h: every chunk
// of the compacted remaining markers, built in full; the fallback and the
// tests' reference) and TreeChunks (tree_chunks.h: chunks listed on demand on
// the segment tree). Why both choose the same chunk: doc/scan.md.
#pragma once
#include "analysis/analysis_settings.h"
#include "analysis/markers.h"
#include "numerics/vector_ops.h"

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

// The chunk an iteration takes out.
struct ScanChoice {
    int first = 0, last = 0;   // indices of its end markers among the prepared ones
    int64_t steps = 0;         // its markers - 1
    double height = 0;         // largest smoothed value
    bool beyondSecond = false; // not one of the two outermost chunks
    int compactedFirst = -1;   // its first index in the compacted vectors, when chosen there
};

// No marker: what next() and previous() of a sequence return at its ends.
constexpr int kNoMarker = -1;

// A sequence of nested chunks, outermost first (chunk k + 1 lies inside
// chunk k, the last one is a single marker), is any type with:
//   const Markers& markers() const;  the markers its chunks index
//   int next(int marker) const;      neighbours among the remaining markers,
//   int previous(int marker) const;  kNoMarker at the ends
//   int listed() const;              chunks 0..listed() - 1 are known
//   bool complete() const;           the listed chunks are all of them
//   bool extend();                   lists the next chunk; false when it does not
//   bool listFinal();                lists the innermost chunk right after the
//                                    listed ones, skipping those between; false
//                                    when the form gives up
//   bool outerListed(int item) const;  chunk item - 1 is listed (not skipped)
//   bool spansNest() const;          a chunk's real range holds every inner one's
//   int first(int item) const;       marker indices of the chunk's ends
//   int last(int item) const;
//   int64_t steps(int item) const;   markers - 1
//   int64_t widestGap(int item) const;  widest internal working gap
//   double height(int item);         largest smoothed value
// A form that cannot go on (a step budget) says so with extend() or
// listFinal(); the choice then fails and the caller falls back.
namespace chunk_choice {

// At least three chunks are listed, so that "beyond the second chunk" is known.
constexpr int kListedAtLeast = 3;

template <typename Nested>
EdgeSample edgeSampleOf(const Nested& chunks, int item)
{
    const WorkPositions& L = chunks.markers().work;
    const DoubleVector& P = chunks.markers().smoothed;
    const int s = chunks.first(item), e = chunks.last(item);
    const int64_t steps = chunks.steps(item);
    if (steps == 0) {
        const int after = chunks.next(e);
        return {P[e], P[e], after != kNoMarker ? L[after] - L[e] : 0, 0};
    }
    const int s1 = chunks.next(s), e1 = chunks.previous(e);
    EdgeSample edges;
    if (steps == 1) {
        edges.left = (P[s] + P[s1]) * 0.5;
        edges.right = (P[e] + P[e1]) * 0.5;
    } else {
        edges.left = (P[s] + P[s1] + P[chunks.next(s1)]) / 3.0;
        edges.right = (P[e] + P[e1] + P[chunks.previous(e1)]) / 3.0;
    }
    edges.firstGap = L[s1] - L[s];
    edges.spacing = meanSpacing(L[e] - L[s], steps);
    return edges;
}

// The widest gap never grows inward, so the chunks that can be scored are a
// prefix of the sequence: lists it. False when the form gives up.
template <typename Nested>
bool listScorablePrefix(Nested& chunks)
{
    while (!chunks.complete() &&
           (chunks.listed() < kListedAtLeast || widestGapMayScore(chunks.widestGap(chunks.listed() - 1))))
        if (!chunks.extend())
            return chunks.complete();
    return true;
}

// First choice from the two gap-shape scores of the scored chunks.
template <typename Nested>
FirstChoiceTally scoreChunks(Nested& chunks)
{
    const Markers& m = chunks.markers();
    FirstChoiceTally tally;
    for (int item = chunks.listed() - 1; item >= 0; --item) {
        const int64_t widest = chunks.widestGap(item);
        if (!widestGapMayScore(widest))
            continue;
        const int first = chunks.first(item), last = chunks.last(item);
        const int64_t steps = chunks.steps(item);
        const int64_t spacing = meanSpacing(m.work[last] - m.work[first], steps);
        if (!gapsAllowScoring(widest, spacing))
            continue;
        const ChunkMeasures measures{widest, spacing, steps, int64_t(m.positions[last]) - m.positions[first],
                                     chunks.height(item)};
        if (chunkScored(measures))
            tally.addScored(item, widest, spacing, item >= 1 ? chunks.widestGap(item - 1) : 0);
    }
    return tally;
}

// Moves inward while the chunk is high enough and its edges look like
// background. False when the form gives up.
template <typename Nested>
bool walkInward(Nested& chunks, const AnalysisSettings& settings, int& report)
{
    const double clipLimit = edgeClipLimit(settings);
    for (;;) {
        while (report >= chunks.listed())
            if (!chunks.extend())
                return false;
        const bool innermost = chunks.complete() && report == chunks.listed() - 1;
        if (report == 0 || innermost || !(chunks.height(report) > settings.peakThreshold))
            return true;
        if (!edgesLookLikeBackground(edgeSampleOf(chunks, report), clipLimit))
            return true;
        ++report;
    }
}

// Steps back to wider chunks while the chosen one spans a reported peak.
// Where spans nest, a wider chunk spans whatever a narrower one does: the
// step back goes straight to chunk 0. False when the form gives up.
template <typename Nested>
bool backOff(const Nested& chunks, const ReportedRanges& reported, int& report)
{
    const IntVector& positions = chunks.markers().positions;
    while (report > 0 && reported.spannedBy(positions[chunks.first(report)], positions[chunks.last(report)])) {
        if (chunks.spansNest()) {
            report = 0;
            return true;
        }
        if (!chunks.outerListed(report))
            return false;
        --report;
    }
    return true;
}

} // namespace chunk_choice

// The chunk to take out next, as an index into chunks; false when there is
// none or the form gave up.
template <typename Nested>
bool chooseChunk(Nested& chunks, const ReportedRanges& reported, const AnalysisSettings& settings, int& chosen)
{
    using namespace chunk_choice;
    if (!listScorablePrefix(chunks) || chunks.listed() == 0)
        return false;
    const FirstChoiceTally tally = scoreChunks(chunks);
    int report;
    if (tally.bestDrop() == 0) {
        // The innermost chunk, which the walk cannot move.
        if (!chunks.complete() && !chunks.listFinal())
            return false;
        report = chunks.listed() - 1;
    } else {
        // Unlisted chunks cannot be scored; an incomplete sequence has more.
        report = tally.choice(chunks.listed() + (chunks.complete() ? 0 : 1));
        if (!walkInward(chunks, settings, report))
            return false;
    }
    if (!backOff(chunks, reported, report))
        return false;
    chosen = report;
    return true;
}
