// The regional figure's title, facts line and LD legend.
#include "plot/regional_parts.h"

#include "plot/plot_canvas.h"
#include "plot/plot_layout.h"

#include <algorithm>
#include <cmath>

using namespace plotlayout;
using namespace plotstyle;

namespace regionalparts {

int ldBin(float r2)
{
    if (!(r2 >= 0))
        return -1;
    return std::min(static_cast<int>(r2 * 5), 4);
}

QString r2Text(float r2)
{
    return std::isnan(r2) ? QStringLiteral("NA") : QString::number(double(r2), 'f', 3);
}

void drawHeader(SvgCanvas& c, const RegionalFigure& r, double left, int width, double lo, double span)
{
    const QString chrom = QString::fromStdString(r.chromosome);
    const QString where = QStringLiteral("%1:%2").arg(chrom, QString::fromStdString(groupDigits(r.leadPosition)));
    const QString title = (r.leadId.empty() ? where : QString::fromStdString(r.leadId) + QStringLiteral(" \u00b7 ") + where);
    // The status in words: the note's text after the status word.
    QString note = QString::fromStdString(r.statusNote);
    const QString word = QString::fromStdString(r.status);
    if (note.startsWith(word))
        note = note.mid(word.size());
    else if (!note.isEmpty())
        note = QStringLiteral(" (") + note + QStringLiteral(")");
    c.start("title");
    c.chars(title + QStringLiteral(" \u00b7 ") + word + note);
    c.end();
    // The note follows the status word in the title where it fits, else it
    // opens the line under it.
    const QString head = title + QStringLiteral(" \u00b7 locus status: ");
    const bool noteInTitle =
        left + textWidth(head + word, 20) * 1.09 + textWidth(note, 15) <= width - 10;
    c.startMixed("text");
    c.attr("x", left);
    c.attr("y", 34);
    c.attr("font-size", 20);
    c.attr("font-weight", "bold");
    c.attr("fill", kTitleText);
    c.chars(head);
    c.start("tspan");
    c.attr("class", "locus-status");
    if (r.status == "no_peak")
        c.attr("fill", kNoPeakColour);
    c.chars(word);
    c.end();
    if (!note.isEmpty() && noteInTitle) {
        c.start("tspan");
        c.attr("class", "status-note");
        c.attr("font-weight", "normal");
        c.attr("font-size", 15);
        c.chars(note);
        c.end();
    }
    c.endMixed();
    const QString facts = QStringLiteral("%1:%2\u2013%3 \u00b7 %4 markers \u00b7 %5 overlapping peak%6")
                              .arg(chrom, QString::fromStdString(groupDigits(int64_t(lo))),
                                   QString::fromStdString(groupDigits(int64_t(lo + span))),
                                   QString::fromStdString(groupDigits(int64_t(r.positions.size()))))
                              .arg(r.peaks.size())
                              .arg(r.peaks.size() == 1 ? "" : "s");
    if (note.isEmpty() || noteInTitle) {
        c.text(left, 56, facts, 13, "start", kMutedText);
        return;
    }
    c.startMixed("text");
    c.attr("x", left);
    c.attr("y", 56);
    c.attr("font-size", 13);
    c.attr("fill", kMutedText);
    c.start("tspan");
    c.attr("class", "status-note");
    c.attr("fill", kTitleText);
    c.chars(word + note);
    c.end();
    c.chars(QStringLiteral(" \u00b7 ") + facts);
    c.endMixed();
}

// Two lines above the plot: the r² bins' swatches, then what they are
// measured against (reference, panel, samples); or that LD colouring needs
// a panel.
void drawLdLegend(SvgCanvas& c, const RegionalFigure& r, double left)
{
    const double y1 = 80, y2 = 98;
    c.start("g");
    c.attr("class", "ld-legend");
    if (r.r2.empty()) {
        c.start("circle");
        c.attr("cx", left + 5);
        c.attr("cy", y1 - 4);
        c.attr("r", kDotRadius + 0.5);
        c.attr("fill", kChromosomeColours[0]);
        c.end();
        c.text(left + 14, y1, QStringLiteral("markers \u00b7 LD colouring needs -loci-ld PANEL"), 13, "start",
                kMutedText);
        c.end();
        return;
    }
    double x = left;
    c.text(x, y1, QStringLiteral("r\u00b2"), 13, "start", kTitleText, true);
    x += 24;
    for (int b = 4; b >= -1; --b) {
        const QString name = b < 0 ? QStringLiteral("not in panel") : QString::fromUtf8(kLdBinNames[b]);
        c.start("circle");
        c.attr("cx", x + 5);
        c.attr("cy", y1 - 4);
        c.attr("r", kDotRadius + 1);
        c.attr("fill", b < 0 ? kNoLdColour : kLdColours[b]);
        c.end();
        c.text(x + 14, y1, name, 13, "start", kAxisColour);
        x += 14 + textWidth(name, 13) + 16;
    }
    c.start("path");
    c.attr("d", QStringLiteral("M%1 %2l6 6l-6 6l-6 -6Z").arg(svgNumber(x + 6), svgNumber(y1 - 10)));
    c.attr("fill", kLeadViolet);
    c.end();
    c.text(x + 16, y1, QStringLiteral("lead"), 13, "start", kAxisColour);
    QString what = QStringLiteral("r\u00b2 with ") + QString::fromStdString(r.ldReference);
    if (r.ldReference != r.leadId)
        what += QStringLiteral(" (chosen; the lead is ") + QString::fromStdString(r.leadId) + QStringLiteral(")");
    if (!r.ldReferenceInPanel)
        what += QStringLiteral(", which is not in the panel");
    what += QStringLiteral(" \u00b7 panel ") + QString::fromStdString(r.ldPanel) + QStringLiteral(" \u00b7 ") +
            QString::fromStdString(r.ldSamples);
    c.start("text");
    c.attr("class", "ld-source");
    c.attr("x", left);
    c.attr("y", y2);
    c.attr("font-size", 13);
    c.attr("fill", kMutedText);
    c.chars(what);
    c.end();
    c.end();
}

} // namespace regionalparts
