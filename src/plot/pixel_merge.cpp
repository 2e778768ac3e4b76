// Merging of figure marks that fall on one pixel (see pixel_merge.h).
#include "plot/pixel_merge.h"

#include <algorithm>
#include <cmath>

namespace plotlayout {

namespace {

constexpr int64_t kReach = int64_t(1) << 30;

// lround(v) clamped to -2^30 .. 2^30 - 1, as 31 bits from 0.
uint64_t packed(double v)
{
    if (!(v >= double(-kReach)))
        return 0; // also NaN
    if (v >= double(kReach - 1))
        return uint64_t(2 * kReach - 1);
    return static_cast<uint64_t>(std::lround(v) + kReach);
}

} // namespace

uint64_t pixelKey(bool flag, double a, double b)
{
    return (uint64_t(flag) << 62) | (packed(a) << 31) | packed(b);
}

std::vector<MergedMark> mergeMarks(std::vector<KeyedMark>& marks, const std::vector<double>* strength)
{
    std::sort(marks.begin(), marks.end(), [](const KeyedMark& x, const KeyedMark& y) {
        return x.key != y.key ? x.key < y.key : x.index < y.index;
    });
    std::vector<MergedMark> groups;
    for (size_t at = 0; at < marks.size();) {
        size_t end = at + 1;
        while (end < marks.size() && marks[end].key == marks[at].key)
            ++end;
        MergedMark g{size_t(marks[at].index), size_t(marks[at].index), int64_t(end - at)};
        if (strength)
            for (size_t k = at + 1; k < end; ++k)
                if ((*strength)[marks[k].index] > (*strength)[g.strongest])
                    g.strongest = size_t(marks[k].index);
        groups.push_back(g);
        at = end;
    }
    std::sort(groups.begin(), groups.end(), [](const MergedMark& x, const MergedMark& y) { return x.first < y.first; });
    return groups;
}

} // namespace plotlayout
