// The chromosome axis of the figures: natural order and label placement.
#include "plot/chromosome_axis.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numeric>

namespace plotlayout {

namespace {

// DejaVu Sans advance widths in 1/1000 em, characters 32..126.
constexpr short kAdvance[95] = {
    318, 401, 460, 838, 636, 950, 780, 275, 390, 390, 500, 838, 318, 361, 318, 337, // ' ' .. '/'
    636, 636, 636, 636, 636, 636, 636, 636, 636, 636, 337, 337, 838, 838, 838, 531, // '0' .. '?'
    1000, 684, 686, 698, 770, 632, 575, 775, 752, 295, 295, 656, 557, 863, 748, 787, // '@' .. 'O'
    603, 787, 695, 635, 611, 732, 684, 989, 685, 611, 685, 390, 337, 390, 838, 500, // 'P' .. '_'
    500, 613, 635, 550, 635, 615, 352, 635, 634, 278, 278, 579, 278, 974, 634, 612, // '`' .. 'o'
    635, 635, 411, 521, 392, 634, 592, 818, 592, 592, 525, 636, 337, 636, 838,      // 'p' .. '~'
};

} // namespace

// Design note. The first pass is the free stagger: labels at their centres
// on two rows, a mustShow label without room moved right as far as it
// needs. Where that keeps every label inside [left, right] it is the
// result. Where labels run past right, a pass from the last label back
// moves each left as far as the next one on its row (or right) needs,
// keeping the rows; where that keeps them right of left and each within
// twice its width of its centre, it is the result. Otherwise the third
// pass thins: each label, its centre pulled inside the bounds, goes on the
// first row where it keeps gap px from the label before it, moved right by
// at most half its width and never past right; a label with no such place
// is dropped, whatever mustShow says.
// Invariant of the forward passes: rowRight[r] is the right edge of the
// last label placed on row r, and every label placed starts gap px or more
// beyond it, so labels on one row never meet (the backward pass keeps the
// same with left edges, from the right); in the third pass every label
// placed also lies inside [left, right].
std::vector<PlacedLabel> staggerLabels(const std::vector<AxisLabel>& labels, double gap, double left, double right)
{
    std::vector<PlacedLabel> out(labels.size());
    double rowRight[2] = {-1e300, -1e300};
    bool inside = true;
    for (size_t i = 0; i < labels.size(); ++i) {
        const AxisLabel& l = labels[i];
        const double half = l.width / 2;
        for (int row = 0; row < 2 && out[i].row < 0; ++row)
            if (l.centre - half >= rowRight[row] + gap)
                out[i] = {row, l.centre};
        if (out[i].row < 0 && l.mustShow) {
            const int row = rowRight[1] < rowRight[0] ? 1 : 0;
            out[i] = {row, rowRight[row] + gap + half};
        }
        if (out[i].row >= 0) {
            rowRight[out[i].row] = out[i].x + half;
            inside = inside && out[i].x - half >= left && out[i].x + half <= right;
        }
    }
    if (inside)
        return out;
    // Back from the right bound: each label placed, last first, no further
    // right than gap px before the next one on its row.
    double rowLeft[2] = {right + gap, right + gap};
    inside = true;
    for (size_t i = labels.size(); i-- > 0;) {
        if (out[i].row < 0)
            continue;
        const double half = labels[i].width / 2;
        double& limit = rowLeft[out[i].row];
        out[i].x = std::min(out[i].x, limit - gap - half);
        limit = out[i].x - half;
        inside = inside && out[i].x - half >= left &&
                 std::fabs(out[i].x - labels[i].centre) <= 2 * labels[i].width;
    }
    if (inside)
        return out;
    out.assign(labels.size(), PlacedLabel());
    rowRight[0] = rowRight[1] = -1e300;
    for (size_t i = 0; i < labels.size(); ++i) {
        const AxisLabel& l = labels[i];
        const double half = l.width / 2;
        if (l.width > right - left)
            continue;
        const double centre = std::min(std::max(l.centre, left + half), right - half);
        for (int row = 0; row < 2 && out[i].row < 0; ++row) {
            const double x = std::max(centre, rowRight[row] + gap + half);
            if (x - centre <= half && x + half <= right)
                out[i] = {row, x};
        }
        if (out[i].row >= 0)
            rowRight[out[i].row] = out[i].x + half;
    }
    return out;
}

double textWidth(std::string_view utf8, double fontSize, bool bold)
{
    double em = 0;
    for (unsigned char ch : utf8) {
        if (ch >= 32 && ch < 127)
            em += kAdvance[ch - 32] / 1000.0;
        else if ((ch & 0xC0) != 0x80) // the first byte of a character outside ASCII
            em += 0.65;
    }
    return em * fontSize * (bold ? 1.09 : 1.0);
}

} // namespace plotlayout
