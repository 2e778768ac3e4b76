// The Manhattan panel's y axis: -log10 p from 0 up, linear, or broken into
// a lower part and a compressed band above it for extreme values. Plain
// arithmetic on the values the panel draws, so tests can check the rule
// and the pixel of a value without an SVG.
#pragma once
#include "plot/plot_layout.h"

#include <vector>

// How the axis may break: where the rule finds a gap (auto), never, or
// above a given value.
struct YBreakChoice {
    enum Mode { Auto, Never, At } mode = Auto;
    double at = 0; // with At: the top of the lower part
};

struct YAxis {
    plotlayout::Ticks low;          // ticks of the lower part (the whole axis when not broken)
    bool broken = false;
    double bandLow = 0, bandHigh = 0; // values at the bottom and top of the band
    std::vector<double> bandTicks;  // tick values inside the band
    double top = 0, height = 0;     // the plot area, in px
    double bandBottom = 0;          // px: the lower edge of the band
    double lowTop = 0;              // px: the top of the lower part

    // Pixel y of a value: linear in the lower part and in the band; a value
    // between them (none is, by construction) lands in the gap's middle;
    // never outside the plot area.
    double y(double value) const;
};

// The axis for the values drawn (markers, loci, peaks: any order, finite
// ones), with floor the largest value the lower part must always show (the
// dashed lines), over the plot area from top down height px.
//
// Auto rule: with the distinct values sorted, the axis breaks at the lowest
// gap between neighbours a < b where b is above 40 and more than twice
// max(a, floor): everything above the gap goes into the band, which then
// shows values that would otherwise squash the rest of the panel into its
// bottom half or less. With At, the lower part ends at the given value and
// the band holds what lies above it (no break when nothing does).
// Values above 1e300 count as 1e300 (and are drawn at the top).
YAxis makeYAxis(std::vector<double> values, double floor, const YBreakChoice& choice, double top, double height);
