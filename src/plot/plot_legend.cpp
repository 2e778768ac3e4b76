// The legend of the Manhattan panel, under the QQ panel: the two dashed
// lines, the band colours by quality, the tick of a weaker peak and, when
// the figure shows loci, their two marks.
#include "plot/plot_canvas.h"
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
    const QStringList words = text.split(QLatin1Char(' '));
    QString line;
    for (const QString& word : words) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && x + textWidth(longer, kTextSize) > right) {
            c.text(x, y, line, kTextSize, "start", kAxisColour);
            y += kLineStep;
            line = word;
        } else {
            line = longer;
        }
    }
    c.text(x, y, line, kTextSize, "start", kAxisColour);
    return y;
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

double drawLegend(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f)
{
    c.layer("legend", "Legend");
    const double x = f.legendLeft, tx = x + kSample + 8;
    // Lines wrap to stay inside the canvas at any size.
    const double right = f.canvasWidth - 10;
    double y = f.legendTop;
    c.line(x, y - 4, x + kSample, y - 4, kGenomeWideColour, 1.3, kGenomeWideDash);
    y = wrappedText(c, tx, y, QStringLiteral("genome-wide significance (p = 5\u00d710\u207b\u2078)"), right);
    y += kRow;
    c.line(x, y - 4, x + kSample, y - 4, kThresholdColour, 1.1, kThresholdDash);
    y = wrappedText(c, tx, y,
                    QStringLiteral("peak threshold (\u2212log\u2081\u2080 p = %1)").arg(QString::fromStdString(tickText(s.peakThreshold))),
                    right);
    y += kRow;
    y = wrappedText(c, x, y, QStringLiteral("peak reaching genome-wide significance: band coloured by quality (GQS)"), right);
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
    y = wrappedText(c, tx, y, QStringLiteral("weaker peak: tick at the foot of the axis"), right);
    if (m.loci.empty()) {
        c.end();
        return y + 4;
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
    // Beyond kManyLoci loci, the counts by status.
    const bool many = m.loci.size() > kManyLoci;
    std::map<std::string, int64_t> byStatus;
    for (const PlotLocus& l : m.loci)
        ++byStatus[l.status];
    QString withShape = QStringLiteral("lead marker of a locus");
    if (many) {
        QStringList counts;
        for (const auto& [status, n] : byStatus)
            if (status != "no_peak")
                counts << QStringLiteral("%1 %2").arg(QString::fromStdString(groupDigits(n)), QString::fromStdString(status));
        withShape += QStringLiteral(" (%1)").arg(counts.join(QStringLiteral(", ")));
    }
    y = wrappedText(c, tx, y, withShape, right);
    y += kRow;
    c.start("path");
    const double mx = x + kSample / 2;
    const double half = many ? 4 : 6, tall = many ? 7 : 10;
    c.attr("d", QStringLiteral("M%1 %2L%3 %4L%5 %4Z")
                    .arg(svgNumber(mx), svgNumber(y), svgNumber(mx - half), svgNumber(y - tall), svgNumber(mx + half)));
    c.attr("fill", "none");
    c.attr("stroke", many ? kNoPeakLightColour : kNoPeakColour);
    c.attr("stroke-width", many ? 1.5 : 2);
    c.attr("stroke-linejoin", "round");
    c.end();
    QString noPeak = QStringLiteral("locus without a peak shape (no_peak), over its lead");
    if (many)
        noPeak += QStringLiteral(" (%1)").arg(QString::fromStdString(groupDigits(byStatus["no_peak"])));
    y = wrappedText(c, tx, y, noPeak, right);
    c.end();
    return y + 4;
}
