// The Manhattan panel's legend in rows across the foot of a canvas whose QQ
// column is too short for it: the entries of the column legend, each a
// sample and one line of smaller text, side by side while they fit in the
// canvas's width, so that the legend takes three or four short rows and the
// plot area above it keeps most of the canvas's height. The quality scale
// comes last, its scores under its bar at the legend's foot.
#include "plot/plot_legend.h"

#include <algorithm>

using namespace plotstyle;

namespace {

constexpr double kSize = 11, kSample = 24, kPad = 6, kGap = 16, kRowStep = 18, kLineStep = 13;
// The bar's text keeps clear of the score 5 under the bar's end.
constexpr double kBarW = 100, kBarH = 8, kBarPad = 10, kNumberSize = 10, kNumberDrop = 10;

enum class Sample { GenomeWide, Threshold, Weaker, Ring, Triangle, Band };

struct Entry {
    Sample sample;
    QString text;
    double width; // sample, pad and text on one line
};

double sampleWidth(Sample s) { return s == Sample::Band ? kBarW + kBarPad : kSample + kPad; }

} // namespace

double drawLegendRows(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f)
{
    std::vector<Entry> entries = {{Sample::GenomeWide, legendGenomeWideText(), 0},
                                  {Sample::Threshold, legendThresholdText(s), 0},
                                  {Sample::Weaker, legendWeakerPeakText(), 0}};
    LegendLociTexts loci;
    if (!m.loci.empty()) {
        loci = legendLociTexts(m);
        entries.push_back({Sample::Ring, loci.withShape, 0});
        entries.push_back({Sample::Triangle, loci.noPeak, 0});
    }
    entries.push_back({Sample::Band, legendBandText(), 0});
    for (Entry& e : entries)
        e.width = sampleWidth(e.sample) + textWidth(e.text, kSize);

    // Entries in order, a new row where the next one would not fit.
    const double left = f.legendLeft, right = f.canvasWidth - 10;
    std::vector<std::vector<const Entry*>> rows;
    double x = left;
    for (const Entry& e : entries) {
        if (rows.empty() || (x > left && x + e.width > right)) {
            rows.emplace_back();
            x = left;
        }
        rows.back().push_back(&e);
        x += e.width + kGap;
    }

    c.layer("legend", "Legend");
    double y = f.legendTop, bottom = y;
    for (const auto& row : rows) {
        double last = y; // baseline of the row's last text line
        x = left;
        for (const Entry* e : row) {
            const double mid = x + kSample / 2;
            switch (e->sample) {
            case Sample::GenomeWide:
                c.line(x, y - 4, x + kSample, y - 4, kGenomeWideColour, 1.3, kGenomeWideDash);
                break;
            case Sample::Threshold:
                c.line(x, y - 4, x + kSample, y - 4, kThresholdColour, 1.1, kThresholdDash);
                break;
            case Sample::Weaker:
                legendTick(c, mid, y);
                break;
            case Sample::Ring:
                legendRing(c, mid, y);
                break;
            case Sample::Triangle:
                legendTriangle(c, mid, y, loci.many);
                break;
            case Sample::Band:
                legendGqsBar(c, x, y - kBarH, kBarW, kBarH, kNumberSize, kNumberDrop);
                bottom = std::max(bottom, y + kNumberDrop + 3);
                break;
            }
            const double tx = x + sampleWidth(e->sample);
            // Wraps only where one entry is wider than the whole canvas.
            last = std::max(last, legendText(c, tx, y, e->text, right, kSize, kLineStep));
            x += e->width + kGap;
        }
        bottom = std::max(bottom, last + 4);
        y = last + kRowStep;
    }
    c.end();
    return bottom;
}
