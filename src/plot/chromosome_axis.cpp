// The chromosome axis of the figures: natural order and label placement.
#include "plot/chromosome_axis.h"

#include <algorithm>
#include <cctype>
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

std::vector<PlacedLabel> staggerLabels(const std::vector<AxisLabel>& labels, double gap)
{
    std::vector<PlacedLabel> out(labels.size());
    double rowRight[2] = {-1e300, -1e300};
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
