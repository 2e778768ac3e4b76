// Nested cutting through a gap tree, and chunk heights inner to outer.
#include "analysis/linear_chunks.h"

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

void addChunk(Chunks& c, int64_t lo, int64_t hi, int64_t widestGap)
{
    c.add(static_cast<int>(lo), static_cast<int>(hi), lo < hi ? std::max<int64_t>(widestGap, 0) : 0);
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
            addChunk(c, lo, lo, 0);
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
        addChunk(c, lo, hi, t.gap[node]);
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

} // namespace

void Chunks::clear()
{
    start.clear();
    end.clear();
    height.clear();
    widestGap.clear();
}

void Chunks::add(int first, int last, int64_t widest)
{
    start.push_back(first);
    end.push_back(last);
    widestGap.push_back(widest);
}

void buildChunks(const Markers& m, Chunks& chunks, SplitScratch& scratch)
{
    chunks.clear();
    cutNested(m.work, chunks, scratch);
    chunkHeights(m.smoothed, chunks);
}
