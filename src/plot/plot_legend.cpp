// The legend of the Manhattan panel, under the QQ panel: the two dashed
// lines, the band colours by quality, the tick of a weaker peak and, when
// the figure shows loci, their two marks. Where the QQ column is too short
// for it, the same entries go in rows across the canvas's foot
// (plot_legend_rows.cpp).
#include "plot/plot_legend.h"

#include "plot/plot_layout.h"

#include <QStringList>

#include <map>
#include <string>

using namespace plotlayout;
using namespace plotstyle;

namespace {

constexpr double kRow = 24, kTextSize = 13, kSample = 34, kLineStep = 16;

// text from (x, y) on as many lines as it needs to stay left of right
// (split between words; a single word wider than the room stays whole).
// Returns the y of its last line.
double wrappedText(SvgCanvas& c, double x, double y, const QString& text, double right)
{
    return legendText(c, x, y, text, right, kTextSize, kLineStep);
}

} // namespace

double legendText(SvgCanvas& c, double x, double y, const QString& text, double right, double size, double lineStep)
{
    const QStringList words = text.split(QLatin1Char(' '));
    QString line;
    for (const QString& word : words) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && x + textWidth(longer, size) > right) {
            c.text(x, y, line, size, "start", kAxisColour);
            y += lineStep;
            line = word;
        } else {
            line = longer;
        }
    }
    c.text(x, y, line, size, "start", kAxisColour);
    return y;
}

void legendGqsBar(SvgCanvas& c, double x, double y, double barW, double barH, double numberSize, double numberDrop)
{
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
        c.text(x + barW * k / 4, y + barH + numberDrop, QString::number(k + 1), numberSize, "middle", kAxisColour);
}

void legendTick(SvgCanvas& c, double x, double y)
{
    c.start("rect");
    c.attr("x", x - 1.5);
    c.attr("y", y - 11);
    c.attr("width", 3);
    c.attr("height", 11);
    c.attr("fill", gqsColour(3).c_str());
    c.end();
}

void legendRing(SvgCanvas& c, double x, double y)
{
    c.start("circle");
    c.attr("cx", x);
    c.attr("cy", y - 5);
    c.attr("r", 5);
    c.attr("fill", "none");
    c.attr("stroke", kLeadColour);
    c.attr("stroke-width", 1.3);
    c.end();
}

void legendTriangle(SvgCanvas& c, double x, double y, bool many)
{
    c.start("path");
    const double half = many ? 4 : 6, tall = many ? 7 : 10;
    c.attr("d", QStringLiteral("M%1 %2L%3 %4L%5 %4Z")
                    .arg(svgNumber(x), svgNumber(y), svgNumber(x - half), svgNumber(y - tall), svgNumber(x + half)));
    c.attr("fill", "none");
    c.attr("stroke", many ? kNoPeakLightColour : kNoPeakColour);
    c.attr("stroke-width", many ? 1.5 : 2);
    c.attr("stroke-linejoin", "round");
    c.end();
}

QString legendThresholdText(const PlotSettings& s)
{
    return QStringLiteral("peak threshold (\u2212log\u2081\u2080 p = %1)").arg(QString::fromStdString(tickText(s.peakThreshold)));
}

LegendLociTexts legendLociTexts(const PlotModel& m)
{
    // Beyond kManyLoci loci, the counts by status.
    LegendLociTexts t;
    t.many = m.loci.size() > kManyLoci;
    std::map<std::string, int64_t> byStatus;
    if (t.many)
        for (const PlotLocus& l : m.loci)
            ++byStatus[l.status];
    t.withShape = QStringLiteral("lead marker of a locus");
    if (t.many) {
        QStringList counts;
        for (const auto& [status, n] : byStatus)
            if (status != "no_peak")
                counts << QStringLiteral("%1 %2").arg(QString::fromStdString(groupDigits(n)), QString::fromStdString(status));
        t.withShape += QStringLiteral(" (%1)").arg(counts.join(QStringLiteral(", ")));
    }
    t.noPeak = QStringLiteral("locus without a peak shape (no_peak), over its lead");
    if (t.many)
        t.noPeak += QStringLiteral(" (%1)").arg(QString::fromStdString(groupDigits(byStatus["no_peak"])));
    return t;
}

double drawLegend(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f)
{
    if (f.legendBelow)
        return drawLegendRows(c, m, s, f);
    c.layer("legend", "Legend");
    const double x = f.legendLeft, tx = x + kSample + 8;
    // Lines wrap to stay inside the canvas at any size.
    const double right = f.canvasWidth - 10;
    double y = f.legendTop;
    c.line(x, y - 4, x + kSample, y - 4, kGenomeWideColour, 1.3, kGenomeWideDash);
    y = wrappedText(c, tx, y, legendGenomeWideText(), right);
    y += kRow;
    c.line(x, y - 4, x + kSample, y - 4, kThresholdColour, 1.1, kThresholdDash);
    y = wrappedText(c, tx, y,
                    legendThresholdText(s),
                    right);
    y += kRow;
    y = wrappedText(c, x, y, legendBandText(), right);
    y += 8;
    legendGqsBar(c, x + 4, y, 150, 10, 12, 14);
    y += 14 + kRow + 6;
    legendTick(c, x + kSample / 2, y);
    y = wrappedText(c, tx, y, legendWeakerPeakText(), right);
    if (m.loci.empty()) {
        c.end();
        return y + 4;
    }
    const LegendLociTexts texts = legendLociTexts(m);
    y += kRow;
    legendRing(c, x + kSample / 2, y);
    y = wrappedText(c, tx, y, texts.withShape, right);
    y += kRow;
    legendTriangle(c, x + kSample / 2, y, texts.many);
    y = wrappedText(c, tx, y, texts.noPeak, right);
    c.end();
    return y + 4;
}
