// Segment tree and linked list of the remaining markers.
#include "analysis/remaining_markers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr int64_t kNoGap = -1;
constexpr int64_t kNoNarrowGap = std::numeric_limits<int64_t>::max();
constexpr double kNoValue = -std::numeric_limits<double>::infinity();
constexpr int kMaxCoveringNodes = 64;
} // namespace

void RemainingMarkers::reset(const WorkPositions& work, const DoubleVector& smoothed)
{
    const int n = static_cast<int>(work.size());
    leaves_ = 1;
    while (leaves_ < n)
        leaves_ *= 2;
    count_.assign(2 * static_cast<size_t>(leaves_), 0);
    gap_.assign(count_.size(), kNoGap);
    narrowest_.assign(count_.size(), kNoNarrowGap);
    value_.assign(count_.size(), kNoValue);
    next_.resize(static_cast<size_t>(n));
    previous_.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const size_t leaf = static_cast<size_t>(leaves_ + i);
        count_[leaf] = 1;
        gap_[leaf] = i > 0 ? work[i] - work[i - 1] : 0;
        narrowest_[leaf] = gap_[leaf];
        // NaN is stored as -inf: neither ever replaces a running maximum.
        value_[leaf] = std::isnan(smoothed[i]) ? kNoValue : smoothed[i];
        next_[i] = i + 1 < n ? i + 1 : kNone;
        previous_[i] = i - 1;
    }
    for (int node = leaves_ - 1; node >= 1; --node)
        combine(node);
    head_ = n > 0 ? 0 : kNone;
    tail_ = n - 1;
}

int RemainingMarkers::select(int rank) const
{
    int node = 1;
    while (node < leaves_) {
        if (count_[2 * node] > rank) {
            node = 2 * node;
        } else {
            rank -= count_[2 * node];
            node = 2 * node + 1;
        }
    }
    return node - leaves_;
}

int RemainingMarkers::rankOf(int index) const
{
    int rank = 0;
    for (int node = index + leaves_; node > 1; node /= 2)
        if (node & 1)
            rank += count_[node - 1];
    return rank;
}

int RemainingMarkers::coveringNodes(int from, int to, int* nodes) const
{
    int left[kMaxCoveringNodes / 2], right[kMaxCoveringNodes / 2];
    int lefts = 0, rights = 0;
    for (int l = from + leaves_, r = to + leaves_ + 1; l < r; l /= 2, r /= 2) {
        if (l & 1)
            left[lefts++] = l++;
        if (r & 1)
            right[rights++] = --r;
    }
    std::copy(left, left + lefts, nodes);
    std::reverse_copy(right, right + rights, nodes + lefts);
    return lefts + rights;
}

int64_t RemainingMarkers::widestGap(int from, int to) const
{
    int64_t widest = kNoGap;
    for (int l = from + leaves_, r = to + leaves_ + 1; l < r; l /= 2, r /= 2) {
        if (l & 1)
            widest = std::max(widest, gap_[l++]);
        if (r & 1)
            widest = std::max(widest, gap_[--r]);
    }
    return widest;
}

int RemainingMarkers::descend(int node, int64_t bound, bool leftmost) const
{
    while (node < leaves_) {
        const int preferred = leftmost ? 2 * node : 2 * node + 1;
        node = gap_[preferred] >= bound ? preferred : (preferred ^ 1);
    }
    return node - leaves_;
}

// Climbs from the leaf at from to the first subtree on its right that holds
// a gap at least bound, then descends into it: cheap when the answer is near.
int RemainingMarkers::firstGapAtLeast(int from, int to, int64_t bound) const
{
    if (from > to)
        return kNone;
    int node = from + leaves_;
    while (gap_[node] < bound) {
        while (node & 1)
            node /= 2; // a right child: the subtrees on its right are its parent's
        if (node == 0)
            return kNone;
        ++node;
    }
    const int at = descend(node, bound, true);
    return at <= to ? at : kNone;
}

int RemainingMarkers::lastGapAtLeast(int from, int to, int64_t bound) const
{
    if (from > to)
        return kNone;
    int node = to + leaves_;
    while (gap_[node] < bound) {
        while (node > 1 && !(node & 1))
            node /= 2; // a left child: the subtrees on its left are its parent's
        if (node == 1)
            return kNone;
        --node;
    }
    const int at = descend(node, bound, false);
    return at >= from ? at : kNone;
}

int RemainingMarkers::firstGapBelow(int from, int64_t bound) const
{
    if (from >= leaves_)
        return kNone;
    int node = from + leaves_;
    while (narrowest_[node] >= bound) {
        while (node & 1)
            node /= 2;
        if (node == 0)
            return kNone;
        ++node;
    }
    while (node < leaves_)
        node = narrowest_[2 * node] < bound ? 2 * node : 2 * node + 1;
    return node - leaves_;
}

double RemainingMarkers::runningMax(double start, int from, int to) const
{
    int nodes[kMaxCoveringNodes];
    double r = start;
    for (int k = 0, n = from <= to ? coveringNodes(from, to, nodes) : 0; k < n; ++k)
        r = keepFirstMax(r, value_[nodes[k]]);
    return r;
}

void RemainingMarkers::setLeaf(int index, int alive, int64_t gap, double value)
{
    int node = index + leaves_;
    count_[node] = alive;
    gap_[node] = gap;
    narrowest_[node] = alive ? gap : kNoNarrowGap;
    value_[node] = value;
    for (node /= 2; node >= 1; node /= 2)
        combine(node);
}

void RemainingMarkers::combine(int node)
{
    count_[node] = count_[2 * node] + count_[2 * node + 1];
    gap_[node] = std::max(gap_[2 * node], gap_[2 * node + 1]);
    narrowest_[node] = std::min(narrowest_[2 * node], narrowest_[2 * node + 1]);
    value_[node] = keepFirstMax(value_[2 * node], value_[2 * node + 1]);
}

void RemainingMarkers::remove(int first, int last, const WorkPositions& work)
{
    const int before = previous(first);
    const int after = next(last);
    for (int i = first; i != after; i = next(i))
        setLeaf(i, 0, kNoGap, kNoValue);
    (before == kNone ? head_ : next_[static_cast<size_t>(before)]) = after;
    (after == kNone ? tail_ : previous_[static_cast<size_t>(after)]) = before;
    if (after != kNone && before != kNone)
        setLeaf(after, 1, work[after] - work[before], value_[static_cast<size_t>(after + leaves_)]);
}
