// The parts of a regional figure above its plot: the title with the locus
// status in words, the window's facts, and the LD legend; and the LD
// colours the markers share with the legend. Internal to the plot library.
#pragma once
#include "plot/regional_svg.h"

#include <QString>

class SvgCanvas;

namespace regionalparts {

// LD colours by r² bin, [0, 0.2), [0.2, 0.4), ... [0.8, 1]; absent grey.
inline constexpr const char* kLdColours[5] = {"#1b2a80", "#7fc4e8", "#3da142", "#f29a21", "#d7261e"};
inline constexpr const char* kLdBinNames[5] = {"0\u20130.2", "0.2\u20130.4", "0.4\u20130.6", "0.6\u20130.8", "0.8\u20131"};
inline constexpr char kNoLdColour[] = "#b3b3b3";
inline constexpr char kLeadViolet[] = "#8b2fc9";
inline constexpr double kDotRadius = 3.2;

// The bin of r² (0 to 4), -1 for NaN.
int ldBin(float r2);
// r² as data-r2 writes it: 3 decimals, "NA" for NaN.
QString r2Text(float r2);

// The title (lead, place, status and its note), and the facts line under
// it, for the window [lo, lo + span].
void drawHeader(SvgCanvas& c, const RegionalFigure& r, double left, int width, double lo, double span);
// The LD legend's two lines, or the line saying that LD colouring needs a
// panel.
void drawLdLegend(SvgCanvas& c, const RegionalFigure& r, double left);

} // namespace regionalparts
