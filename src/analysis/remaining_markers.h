// The remaining markers of a chromosome during the tree scan: a segment tree
// over the prepared markers (alive count, working gap to the previous
// remaining marker, smoothed value) and a doubly linked list of the remaining
// ones. Rank, select, widest gap, first/last gap at least a bound and chunk
// height are O(log n); removing a range costs O(log n) per marker.
#pragma once
#include "analysis/markers.h"

#include <cstdint>
#include <vector>

class RemainingMarkers {
public:
    static constexpr int kNone = -1;

    // Every marker remains: work and smoothed are the prepared markers' vectors.
    void reset(const WorkPositions& work, const DoubleVector& smoothed);

    int count() const { return count_.empty() ? 0 : count_[1]; }
    bool remains(int index) const { return count_[static_cast<size_t>(index + leaves_)] != 0; }
    int first() const { return head_; }
    int last() const { return tail_; }
    int next(int index) const { return next_[static_cast<size_t>(index)]; }
    int previous(int index) const { return previous_[static_cast<size_t>(index)]; }
    // Gap of a remaining marker to the previous remaining one.
    int64_t gapAt(int index) const { return gap_[static_cast<size_t>(index + leaves_)]; }

    // Index of the remaining marker of this rank (0-based).
    int select(int rank) const;
    // Remaining markers before index.
    int rankOf(int index) const;
    // Widest gap to a previous remaining marker over indices from..to; -1 when none.
    int64_t widestGap(int from, int to) const;
    // First / last index in from..to whose gap is at least bound; kNone when none.
    int firstGapAtLeast(int from, int to, int64_t bound) const;
    int lastGapAtLeast(int from, int to, int64_t bound) const;
    // First remaining index from `from` on whose gap is below bound; kNone when none.
    int firstGapBelow(int from, int64_t bound) const;
    // The running maximum over the smoothed values of from..to in index order,
    // continued from start (NaN never replaces it, the first of equal values stays).
    double runningMax(double start, int from, int to) const;
    // The largest remaining smoothed value, continued from start.
    double runningMax(double start) const { return keepFirstMax(start, value_[1]); }

    // Removes the remaining markers first..last (both remaining, first <= last);
    // the gap of the next remaining marker spans the removed stretch.
    void remove(int first, int last, const WorkPositions& work);

private:
    static double keepFirstMax(double a, double b) { return b > a ? b : a; }
    void setLeaf(int index, int alive, int64_t gap, double value);
    // The nodes covering from..to, left to right; returns their number.
    int coveringNodes(int from, int to, int* nodes) const;
    int descend(int node, int64_t bound, bool leftmost) const;
    void combine(int node);

    int leaves_ = 0;
    std::vector<int> count_;
    std::vector<int64_t> gap_;       // widest gap below the node (-1 for none)
    std::vector<int64_t> narrowest_; // narrowest gap below the node (INT64_MAX for none)
    std::vector<double> value_;
    std::vector<int> next_, previous_;
    int head_ = kNone, tail_ = kNone;
};
