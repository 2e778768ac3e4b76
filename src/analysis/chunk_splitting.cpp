// Nested cutting through a gap tree, chunk heights inner to outer, and the
// chunk choice.
#include "chunk_splitting.h"

#include <algorithm>

namespace {

// The gap tree over gaps j = 1..n-1 (between markers j-1 and j): the widest
// gap of every stretch at the root of its subtree, the leftmost on ties. A
// cut at the root keeps the stretch left or right of it, which is exactly
// the root's left or right subtree, so the nested cutting walks down the
// tree in O(1) per chunk. Returns the root.
int buildGapTree(const WorkPositions& L, SplitScratch& t)
{
    const int n = static_cast<int>(L.size());
    t.gap.assign(static_cast<size_t>(std::max(n, 1)), 0);
    t.left.assign(t.gap.size(), 0);
    t.right.assign(t.gap.size(), 0);
    t.stack.clear();
    for (int j = 1; j < n; ++j) {
        t.gap[j] = L[j] - L[j - 1];
        int last = 0;
        while (!t.stack.empty() && t.gap[t.stack.back()] < t.gap[j]) {
            last = t.stack.back();
            t.stack.pop_back();
        }
        t.left[j] = last;
        if (!t.stack.empty())
            t.right[t.stack.back()] = j;
        t.stack.push_back(j);
    }
    return t.stack.empty() ? 0 : t.stack.front();
}

void addChunk(Chunks& c, const WorkPositions& L, int64_t lo, int64_t hi, int64_t widestGap)
{
    c.add(static_cast<int>(lo), static_cast<int>(hi), lo < hi ? meanSpacing(L[hi] - L[lo], hi - lo) : 0,
          lo < hi ? std::max<int64_t>(widestGap, 0) : 0);
}

// Nested cutting at the widest gap (leftmost on ties), keeping the larger
// side (the left one on equal sides), until one marker is left.
void cutNested(const WorkPositions& L, Chunks& c, SplitScratch& t)
{
    int node = buildGapTree(L, t);
    int64_t lo = 0;
    int64_t hi = static_cast<int64_t>(L.size()) - 1;
    while (lo <= hi) {
        if (lo == hi) {
            addChunk(c, L, lo, lo, 0);
            return;
        }
        if (t.gap[node] <= 0)
            return; // no positive gap: the working positions were not increasing
        if (2 * (node - lo) >= hi - lo + 1) {
            hi = node - 1;
            node = t.left[node];
        } else {
            lo = node;
            node = t.right[node];
        }
        addChunk(c, L, lo, hi, t.gap[node]);
    }
}

// Every chunk's height, from the innermost outward: each chunk continues the
// running maximum from kNoMaximum over the markers cut off on its left, the
// next inner chunk's height, and the markers cut off on its right. That is
// the running maximum over the chunk in order, in O(n) for all chunks.
void chunkHeights(const DoubleVector& P, Chunks& c)
{
    const int m = c.size();
    c.height.assign(static_cast<size_t>(m), 0.0);
    for (int k = m - 1; k >= 0; --k) {
        const int s = c.start[k], e = c.end[k];
        double r = kNoMaximum;
        if (k == m - 1) {
            r = runningMax(r, P.data() + s, P.data() + e + 1);
        } else {
            r = runningMax(r, P.data() + s, P.data() + c.start[k + 1]);
            r = runningMax(r, &c.height[k + 1], &c.height[k + 1] + 1);
            r = runningMax(r, P.data() + c.end[k + 1] + 1, P.data() + e + 1);
        }
        c.height[k] = r;
    }
}

ChunkMeasures measuresOf(const Markers& m, const Chunks& c, int item)
{
    const int s = c.start[item], e = c.end[item];
    return {c.widestGap[item], c.meanSpacing[item], e - s, int64_t(m.positions[e]) - m.positions[s], c.height[item]};
}

// First choice of the chunk from the two gap-shape scores: the drop of the
// widest gap from the next outer chunk, and widest gap over mean spacing.
int firstChoice(const Markers& m, const Chunks& c)
{
    FirstChoiceTally tally;
    for (int item = c.size() - 1; item >= 0; --item)
        if (chunkScored(measuresOf(m, c, item)))
            tally.addScored(item, c.widestGap[item], c.meanSpacing[item], item >= 1 ? c.widestGap[item - 1] : 0);
    return tally.choice(c.size());
}

// The ends of chunk report as the inward walk sees them.
EdgeSample edgeSampleOf(const Markers& m, const Chunks& c, int report)
{
    const WorkPositions& L = m.work;
    const DoubleVector& P = m.smoothed;
    const int s = c.start[report], e = c.end[report];
    double left, right;
    int64_t firstGap, spacing;
    if (s == e) {
        left = right = P[e];
        firstGap = static_cast<size_t>(e) + 1 < L.size() ? L[e + 1] - L[e] : 0;
        spacing = 0;
    } else {
        if (e - s == 1) {
            left = (P[s] + P[s + 1]) * 0.5;
            right = (P[e] + P[e - 1]) * 0.5;
        } else {
            left = (P[s] + P[s + 1] + P[s + 2]) / 3.0;
            right = (P[e] + P[e - 1] + P[e - 2]) / 3.0;
        }
        firstGap = L[s + 1] - L[s];
        spacing = (L[e] - L[s]) / (e - s);
    }
    return EdgeSample{left, right, firstGap, spacing};
}

// Steps back to wider chunks while the chosen one spans a reported peak.
int backOff(const Markers& m, const Chunks& c, const ReportedRanges& reported, int report)
{
    while (report > 0 && reported.spannedBy(m.positions[c.start[report]], m.positions[c.end[report]]))
        --report;
    return report;
}

} // namespace

void Chunks::clear()
{
    start.clear();
    end.clear();
    height.clear();
    meanSpacing.clear();
    widestGap.clear();
}

void Chunks::add(int first, int last, int64_t spacing, int64_t widest)
{
    start.push_back(first);
    end.push_back(last);
    meanSpacing.push_back(spacing);
    widestGap.push_back(widest);
}

void buildChunks(const Markers& m, Chunks& chunks, SplitScratch& scratch)
{
    chunks.clear();
    cutNested(m.work, chunks, scratch);
    chunkHeights(m.smoothed, chunks);
}

int chooseChunk(const Markers& m, const Chunks& c, const ReportedRanges& reported, const AnalysisSettings& settings)
{
    const int count = c.size();
    if (count == 0)
        return 0;
    int report = firstChoice(m, c);
    const double clipLimit = edgeClipLimit(settings);
    while (report < count - 1 && c.height[report] > settings.peakThreshold && report > 0) {
        if (!edgesLookLikeBackground(edgeSampleOf(m, c, report), clipLimit))
            break;
        ++report;
    }
    return backOff(m, c, reported, report);
}
