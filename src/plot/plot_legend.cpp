// The legend of the Manhattan panel, under the QQ panel: the two dashed
// lines, the band colours by quality, the tick of a weaker peak and, when
// the figure shows loci, their two marks.
#include "plot/plot_canvas.h"
#include "plot/plot_layout.h"

using namespace plotlayout;
using namespace plotstyle;

namespace {

constexpr double kRow = 24, kTextSize = 13, kSample = 34;

void genomeWideText(SvgCanvas& c, double x, double y)
{
    c.text(x, y, QStringLiteral("genome-wide significance (p = 5\u00d710\u207b\u2078)"), kTextSize, "start", kAxisColour);
}

void gqsBar(SvgCanvas& c, double x, double y)
{
    const double barW = 150, barH = 10;
    c.start("defs");
    c.start("linearGradient");
    c.attr("id", "gqs-scale");
    for (int k = 0; k < 5; ++k) {
        c.start("stop");
        c.attr("offset", QString::number(k * 25) + QLatin1Char('%'));
        c.attr("stop-color", kGqsAnchors[k]);
        c.end();
    }
    c.end();
    c.end();
    c.start("rect");
    c.attr("x", x);
    c.attr("y", y);
    c.attr("width", barW);
    c.attr("height", barH);
    c.attr("fill", "url(#gqs-scale)");
    c.attr("fill-opacity", kLegendOpacity);
    c.attr("stroke", "#999999");
    c.attr("stroke-width", 0.6);
    c.end();
    for (int k = 0; k < 5; ++k)
        c.text(x + barW * k / 4, y + barH + 14, QString::number(k + 1), 12, "middle", kAxisColour);
}

} // namespace

void drawLegend(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f)
{
    c.layer("legend", "Legend");
    const double x = f.legendLeft, tx = x + kSample + 8;
    double y = f.legendTop;
    c.line(x, y - 4, x + kSample, y - 4, kGenomeWideColour, 1.3, kGenomeWideDash);
    genomeWideText(c, tx, y);
    y += kRow;
    c.line(x, y - 4, x + kSample, y - 4, kThresholdColour, 1.1, kThresholdDash);
    c.text(tx, y, QStringLiteral("peak threshold (\u2212log\u2081\u2080 p = %1)").arg(QString::fromStdString(tickText(s.peakThreshold))),
           kTextSize, "start", kAxisColour);
    y += kRow;
    c.text(x, y, QStringLiteral("peak reaching genome-wide significance: band coloured by quality (GQS)"), kTextSize,
           "start", kAxisColour);
    y += 8;
    gqsBar(c, x + 4, y);
    y += 14 + kRow + 6;
    c.start("rect");
    c.attr("x", x + kSample / 2 - 1.5);
    c.attr("y", y - 11);
    c.attr("width", 3);
    c.attr("height", 11);
    c.attr("fill", gqsColour(3).c_str());
    c.end();
    c.text(tx, y, QStringLiteral("weaker peak: tick at the foot of the axis"), kTextSize, "start", kAxisColour);
    if (m.loci.empty()) {
        c.end();
        return;
    }
    y += kRow;
    c.start("circle");
    c.attr("cx", x + kSample / 2);
    c.attr("cy", y - 5);
    c.attr("r", 5);
    c.attr("fill", "none");
    c.attr("stroke", kLeadColour);
    c.attr("stroke-width", 1.3);
    c.end();
    c.text(tx, y, QStringLiteral("lead marker of a locus"), kTextSize, "start", kAxisColour);
    y += kRow;
    c.start("path");
    const double mx = x + kSample / 2;
    c.attr("d", QStringLiteral("M%1 %2L%3 %4L%5 %4Z")
                    .arg(svgNumber(mx), svgNumber(y), svgNumber(mx - 6), svgNumber(y - 10), svgNumber(mx + 6)));
    c.attr("fill", "none");
    c.attr("stroke", kNoPeakColour);
    c.attr("stroke-width", 2);
    c.attr("stroke-linejoin", "round");
    c.end();
    c.text(tx, y, QStringLiteral("locus without a peak shape (no_peak), over its lead"), kTextSize, "start", kAxisColour);
    c.end();
}
