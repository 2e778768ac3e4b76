// The pieces of the Manhattan panel's legend shared by its two layouts: the
// column under the QQ panel (plot_legend.cpp) and the rows across the foot
// of a short canvas (plot_legend_rows.cpp). Internal to the plot library.
#pragma once
#include "plot/plot_canvas.h"

#include <QString>

inline QString legendGenomeWideText() { return QStringLiteral("genome-wide significance (p = 5\u00d710\u207b\u2078)"); }
QString legendThresholdText(const PlotSettings& s);
inline QString legendBandText()
{
    return QStringLiteral("peak reaching genome-wide significance: band coloured by quality (GQS)");
}
inline QString legendWeakerPeakText() { return QStringLiteral("weaker peak: tick at the foot of the axis"); }

// The texts of the two locus marks; beyond kManyLoci loci, with the counts
// by status (and the marks drawn smaller and lighter).
struct LegendLociTexts {
    bool many = false;
    QString withShape, noPeak;
};
LegendLociTexts legendLociTexts(const PlotModel& m);

// text from (x, y) in size px on as many lines, lineStep apart, as it needs
// to stay left of right (split between words; a single word wider than the
// room stays whole). Returns the y of its last line.
double legendText(SvgCanvas& c, double x, double y, const QString& text, double right, double size, double lineStep);
// The quality scale: a bar of barW x barH from (x, y) and the scores 1 to 5
// under it, numberDrop px below its foot.
void legendGqsBar(SvgCanvas& c, double x, double y, double barW, double barH, double numberSize, double numberDrop);
// The samples, each centred on x, standing on the baseline y of its text.
void legendTick(SvgCanvas& c, double x, double y);
void legendRing(SvgCanvas& c, double x, double y);
void legendTriangle(SvgCanvas& c, double x, double y, bool many);

// The legend in rows across the canvas from f.legendLeft, its first
// baseline at f.legendTop. Returns the y below its last line.
double drawLegendRows(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f);
