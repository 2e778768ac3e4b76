// The gene track of a regional figure: genes packed into rows by their
// drawn extent (bar and label, measured in the figure's font), then drawn
// with their strand and exons. Internal to the plot library.
#pragma once
#include "plot/regional_svg.h"

#include <functional>
#include <vector>

class SvgCanvas;

namespace regionalgenes {

constexpr double kRowHeight = 30; // a bar, its label under it, a gap
constexpr int kMaxRows = 40;
constexpr double kLabelSize = 12;
constexpr double kGap = 6; // px between the extents of two genes in a row

// A gene as placed: its bar's pixel range, its label's centre and width,
// and its row (-1: left out, past kMaxRows).
struct PlacedGene {
    size_t gene = 0; // index into the figure's genes
    double x0 = 0, x1 = 0;
    double labelX = 0, labelWidth = 0;
    int row = -1;
};

struct GeneTrack {
    std::vector<PlacedGene> genes; // the genes that touch the window
    int rows = 0;                  // rows used
    size_t leftOut = 0;            // genes past kMaxRows
};

// Places the genes that touch [lo, hi] (positions) drawn over the pixels
// [plotLeft, plotRight] by xPix, their labels kept inside [0, figureWidth].
// Invariant: in one row, the extents [min(x0, label left), max(x1, label
// right)] of two genes are at least kGap apart, so no label meets another
// label or another gene's bar.
GeneTrack packGenes(const std::vector<RegionalGene>& genes, double lo, double hi,
                    const std::function<double(double)>& xPix, double plotLeft, double plotRight,
                    double figureWidth);

// Draws the placed genes with their first row's bars at top.
void drawGenes(SvgCanvas& c, const RegionalFigure& r, const GeneTrack& track,
               const std::function<double(double)>& xPix, double plotLeft, double plotRight, double top);

} // namespace regionalgenes
