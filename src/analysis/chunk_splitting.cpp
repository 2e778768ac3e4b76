// Nested cutting through a gap tree, chunk heights inner to outer, and the
// chunk choice.
#include "chunk_splitting.h"

#include <algorithm>
#include <cmath>

namespace {

// A chunk can be scored only when its working gaps show structure:
constexpr int64_t kScorableWidestGap = 100; // widest gap above this
constexpr int64_t kScorableSpacing = 25;    // mean spacing above this
// and its real extent looks like one peak:
constexpr int64_t kMaxPeakSpacing = 50000;      // real spacing below this
constexpr double kMaxWidthPerHeight = 250000;   // real width / height below this
constexpr double kMinSpacingTimesHeight = 1000; // real spacing above this / height
constexpr int64_t kMaxPeakWidth = 3500000;      // real width below this
// The inward walk: edges below the input limit's -log10 plus this margin,
// or below the floor, are background.
constexpr double kEdgeMargin = 0.75;
constexpr double kEdgeFloor = -9.99;
constexpr int64_t kGapPenalty = 10;

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

// span / steps, truncated; a 32-bit division where both fit (the common case,
// several times faster than a 64-bit one).
int64_t meanSpacing(int64_t span, int64_t steps)
{
    if (span >= 0 && span <= UINT32_MAX && steps <= UINT32_MAX)
        return static_cast<uint32_t>(span) / static_cast<uint32_t>(steps);
    return span / steps;
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

bool chunkScored(const Markers& m, const Chunks& c, int item)
{
    // The two gap conditions first: they need no division and fail for
    // most chunks of a dense stretch.
    if (!(c.widestGap[item] > kScorableWidestGap && c.meanSpacing[item] > kScorableSpacing))
        return false;
    const int s = c.start[item], e = c.end[item];
    const int64_t width = int64_t(m.positions[e]) - m.positions[s];
    const int64_t spacing = e > s ? width / (e - s) : 0;
    const double height = c.height[item];
    return spacing < kMaxPeakSpacing && static_cast<double>(width) / height < kMaxWidthPerHeight &&
           static_cast<double>(spacing) > kMinSpacingTimesHeight / height && width < kMaxPeakWidth;
}

// First choice of the chunk from the two gap-shape scores: the drop of the
// widest gap from the next outer chunk, and widest gap over mean spacing.
int firstChoice(const Markers& m, const Chunks& c)
{
    const int count = c.size();
    int bestDrop = 0, bestContrast = 0;
    double maxDrop = 0.0, maxContrast = 0.0;
    for (int item = count - 1; item >= 0; --item) {
        if (!chunkScored(m, c, item))
            continue;
        double drop = 0;
        if (item >= 1 && c.widestGap[item - 1] > 0)
            drop = static_cast<double>(c.widestGap[item - 1] - c.widestGap[item]) /
                   static_cast<double>(c.widestGap[item - 1]);
        if (drop > maxDrop) {
            maxDrop = drop;
            bestDrop = item;
        }
        const double contrast = static_cast<double>(c.widestGap[item]) / static_cast<double>(c.meanSpacing[item]);
        if (contrast > maxContrast) {
            maxContrast = contrast;
            bestContrast = item;
        }
    }
    int report = bestContrast + 1;
    if (bestDrop + 2 < bestContrast)
        report = bestDrop;
    if (bestDrop == 0)
        report = count - 1;
    return std::min(report, count - 1);
}

// True when the walk should move inward from chunk report.
bool edgesLookLikeBackground(const Markers& m, const Chunks& c, int report, double clipLimit)
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
    const int64_t g = spacing * kGapPenalty;
    const int64_t G = 5 * g;
    return (left < clipLimit && right < clipLimit) || left < kEdgeFloor ||
           (g < firstGap && left > static_cast<double>(g)) || G < firstGap || left > static_cast<double>(G);
}

// Steps back to wider chunks while the chosen one spans a reported peak.
int backOff(const Markers& m, const Chunks& c, const ReportedRanges& reported, int report)
{
    bool spans = true;
    while (report > 0 && spans) {
        spans = false;
        const int32_t left = m.positions[c.start[report]];
        const int32_t right = m.positions[c.end[report]];
        for (size_t j = 0; j < reported.left.size(); ++j) {
            if (reported.right[j] <= right && left <= reported.left[j]) {
                --report;
                spans = true;
                break;
            }
        }
    }
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
    const double clipLimit = kEdgeMargin - std::log10(settings.inlimit);
    while (report < count - 1 && c.height[report] > settings.peakThreshold && report > 0) {
        if (!edgesLookLikeBackground(m, c, report, clipLimit))
            break;
        ++report;
    }
    return backOff(m, c, reported, report);
}
