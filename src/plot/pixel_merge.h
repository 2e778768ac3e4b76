// Merging of figure marks that fall on one pixel: the Manhattan panel's
// peak bands and ticks and its locus marks, any number of them, in memory
// of 16 bytes a mark while merging.
//
// Design note. Each mark gets a packed key (a flag and two pixel
// coordinates, rounded to whole pixels, in one 64-bit word) and its index in
// the drawing order. Sorting the (key, index) pairs puts equal keys together
// with their members in index order; the groups are then listed by their
// first member's index. That is the order and the grouping a lookup table
// from key to first mark gives (each new key appended, later equal keys
// counted into it), without a node per mark. Within a group the strongest
// member is found in index order with the same strict comparison, so ties
// and values that do not compare (NaN) resolve exactly as one pass over the
// marks in order does.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plotlayout {

// A flag and two coordinates, each rounded to a whole pixel (half away from
// zero) and clamped to +-2^30 px, far beyond any canvas: equal keys for
// equal (flag, lround(a), lround(b)). A coordinate that is not a number
// counts as the lowest.
uint64_t pixelKey(bool flag, double a, double b);

struct KeyedMark {
    uint64_t key;
    uint64_t index; // in the drawing order
};

struct MergedMark {
    size_t first;     // index of the group's first mark
    size_t strongest; // the first of the group's strongest marks (see mergeMarks)
    int64_t count;    // marks in the group
};

// Groups marks with equal keys, in the order of their first members. With
// strength (one value per index), a group's strongest is its first member
// until a later member's strength is greater than the strongest's so far;
// without, it is the first member. Reorders marks.
std::vector<MergedMark> mergeMarks(std::vector<KeyedMark>& marks, const std::vector<double>* strength = nullptr);

} // namespace plotlayout
