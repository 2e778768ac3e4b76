// The chromosome axis of the figures: the natural order of chromosome names
// and the placement of their labels under the axis.
#pragma once
#include "base/chromosome_names.h"

#include <string>
#include <string_view>
#include <vector>

namespace plotlayout {

// The natural order of chromosome names comes from the one name rule.
using ::naturalChromosomeOrder;
using ::naturalChromosomeRank;

// Labels under an axis, left to right: the x of each label's wanted centre
// and its width. Each label goes on the first of two rows where it keeps gap
// px from the label before it on that row. A label with mustShow that fits
// on neither row moves right on the row that leaves it nearest its centre;
// any other label that fits on neither row is dropped (row -1). Where that
// would put labels past right, they move left on their rows as far as
// needed; where that would put one past left, or further than twice its
// width from its centre, the labels are thinned instead: each keeps inside
// the bounds, within half its width of its centre, or is dropped, mustShow
// or not.
struct AxisLabel {
    double centre = 0, width = 0;
    bool mustShow = false;
};
struct PlacedLabel {
    int row = -1; // 0, 1, or -1: dropped
    double x = 0; // centre as drawn
};
std::vector<PlacedLabel> staggerLabels(const std::vector<AxisLabel>& labels, double gap, double left = -1e300,
                                       double right = 1e300);

// Width in px of text at fontSize in DejaVu Sans, the figures' font (its
// advance widths for printable ASCII; other characters count as 0.65 em).
double textWidth(std::string_view utf8, double fontSize, bool bold = false);

} // namespace plotlayout
