// The Manhattan panel: chromosomes side by side, retained markers thinned
// to pixels, peak bands coloured by quality, the dashed significance lines,
// labels of the strongest peaks, axes and legend.
#include "plot_canvas.h"
#include "plot_layout.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

using namespace plotlayout;
using namespace plotstyle;

namespace {

constexpr int kMaxLabels = 20;

struct Box {
    double x0, y0, x1, y1;
    bool overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

class ManhattanPanel {
public:
    ManhattanPanel(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f, PlotDrawStats& stats);
    void draw();

private:
    void header();
    void axes();
    void bands();
    void markers();
    void chromosomeDots(size_t i, const std::vector<int>& cellY, std::string& d);
    void lines();
    std::vector<int> strongestLabelled() const;
    void labels();
    void haloText(double x, double y, const QString& text, double fontSize);
    void legend();
    void lineLegend(double right);
    void gqsLegend(double right);

    double yPix(double v) const { return f_.top + f_.h * (1 - v / yTicks_.top); }
    // Left and right x of a peak's band, at least 3 px apart.
    double bandX(const PlotPeak& p, int chrom, double* x1) const;

    SvgCanvas& c_;
    const PlotModel& m_;
    const PlotSettings& s_;
    const PlotFrame& f_;
    PlotDrawStats& stats_;
    std::vector<Segment> segments_;
    std::unordered_map<std::string, int> chromIndex_;
    Ticks yTicks_;
};

ManhattanPanel::ManhattanPanel(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f,
                               PlotDrawStats& stats)
    : c_(c), m_(m), s_(s), f_(f), stats_(stats)
{
    // The y axis: the retained markers, the peaks and both dashed lines fit,
    // with room above for the labels.
    double yMax = std::max(genomeWide(), s_.peakThreshold);
    if (m_.maxLog2Fixed >= 0)
        yMax = std::max(yMax, double(m_.maxLog2Fixed) / kPlotLog2Scale * std::log10(2.0));
    for (const PlotPeak& p : m_.peaks)
        if (std::isfinite(p.height))
            yMax = std::max(yMax, p.height);
    yTicks_ = niceTicks(yMax * 1.06, 8);
    std::vector<int64_t> spans;
    for (size_t i = 0; i < m_.chromosomes.size(); ++i) {
        spans.push_back(m_.chromosomes[i].span());
        chromIndex_.emplace(m_.chromosomes[i].name, static_cast<int>(i));
    }
    segments_ = chromosomeSegments(spans, f_.left, f_.w, 4);
}

void ManhattanPanel::draw()
{
    c_.layer("manhattan", "Manhattan plot");
    header();
    bands();
    axes();
    markers();
    lines();
    labels();
    legend();
    c_.end();
}

void ManhattanPanel::header()
{
    c_.text(f_.left, 30, s_.title, 20, "start", kTitleText, true);
    QString sub = QStringLiteral("%1 rows \u00b7 %2 chromosome%3 \u00b7 %4 markers with p \u2264 %5 \u00b7 %6 peak%7")
                      .arg(QString::fromStdString(groupedCount(m_.rows)))
                      .arg(QString::fromStdString(groupedCount(int64_t(m_.chromosomes.size()))))
                      .arg(m_.chromosomes.size() == 1 ? "" : "s")
                      .arg(QString::fromStdString(groupedCount(m_.retained)))
                      .arg(QString::number(m_.inlimit, 'g', 3))
                      .arg(QString::fromStdString(groupedCount(int64_t(m_.peaks.size()))))
                      .arg(m_.peaks.size() == 1 ? "" : "s");
    if (m_.retainedTop > 0)
        sub += QStringLiteral(" \u00b7 %1 with p = 0 or below the smallest double, drawn at the top")
                   .arg(QString::fromStdString(groupedCount(m_.retainedTop)));
    c_.text(f_.left, 50, sub, 12, "start", kMutedText);
}

void ManhattanPanel::axes()
{
    c_.layer("manhattan-axes", "Manhattan axes");
    // Grid and y ticks.
    for (double v : yTicks_.values) {
        const double y = yPix(v);
        if (v > 0)
            c_.line(f_.left, y, f_.left + f_.w, y, kGridColour, 1);
        c_.line(f_.left - 5, y, f_.left, y, kAxisColour, 1);
        c_.text(f_.left - 8, y + 4, QString::fromStdString(tickText(v)), 12, "end", kAxisColour);
    }
    c_.line(f_.left, f_.top, f_.left, f_.bottom(), kAxisColour, 1);
    c_.line(f_.left, f_.bottom(), f_.left + f_.w, f_.bottom(), kAxisColour, 1);
    c_.log10Text(24, f_.top + f_.h / 2, QString(), 14, "middle", -90);
    // Chromosome names under their middles, skipping those that would
    // overlap the previous name shown.
    double lastRight = -1e9;
    for (size_t i = 0; i < segments_.size(); ++i) {
        const Segment& s = segments_[i];
        const QString name = QString::fromStdString(m_.chromosomes[i].name);
        const double mid = s.x0 + s.width / 2;
        const double half = textWidth(name, 12) / 2;
        if (mid - half >= lastRight + 3 && mid + half <= f_.left + f_.w + 20) {
            c_.text(mid, f_.bottom() + 18, name, 12, "middle", kAxisColour);
            lastRight = mid + half;
        }
    }
    c_.text(f_.left + f_.w / 2, f_.bottom() + 42, QStringLiteral("Chromosome"), 14, "middle", kAxisColour);
    c_.end();
}

double ManhattanPanel::bandX(const PlotPeak& p, int chrom, double* x1) const
{
    const PlotChromosome& c = m_.chromosomes[chrom];
    const Segment& s = segments_[chrom];
    double a = positionX(s, c.span(), c.minPosition, p.first) - 0.5 * s.width / (double(c.span()) + 1);
    double b = positionX(s, c.span(), c.minPosition, p.last) + 0.5 * s.width / (double(c.span()) + 1);
    if (b - a < 3) {
        const double mid = (a + b) / 2;
        a = mid - 1.5;
        b = mid + 1.5;
    }
    *x1 = b;
    return a;
}

void ManhattanPanel::bands()
{
    c_.layer("peaks", "Peak bands");
    for (const PlotPeak& p : m_.peaks) {
        const auto it = chromIndex_.find(p.chromosome);
        if (it == chromIndex_.end()) {
            ++stats_.peaksOffChromosome;
            continue;
        }
        double x1;
        const double x0 = bandX(p, it->second, &x1);
        c_.start("rect");
        c_.attr("class", "peak-band");
        c_.attr("x", x0);
        c_.attr("y", f_.top);
        c_.attr("width", x1 - x0);
        c_.attr("height", f_.h);
        c_.attr("fill", gqsColour(p.gqs).c_str());
        c_.attr("fill-opacity", kBandOpacity);
        c_.start("title");
        // One pass over the pattern: a name holding "%2" stays as it is.
        QString tip = QStringLiteral("%1:%2-%3  GQS %4  \u2212log10 p %5")
                          .arg(QString::fromStdString(p.chromosome), QString::number(p.first),
                               QString::number(p.last), QString::number(p.gqs, 'g', 3),
                               QString::number(p.height, 'g', 4));
        if (!p.label.empty())
            tip += QStringLiteral("  ") + QString::fromStdString(p.label);
        c_.chars(tip);
        c_.end();
        c_.end();
        ++stats_.bands;
    }
    c_.end();
}

void ManhattanPanel::markers()
{
    c_.layer("markers", "Markers");
    // y pixel of every y cell.
    std::vector<int> cellY(kPlotYCells + 1);
    for (int c = 0; c < kPlotYCells; ++c)
        cellY[c] = static_cast<int>(std::lround(yPix(m_.yCellValue(c))));
    cellY[kPlotTopCell] = static_cast<int>(std::lround(f_.top));
    for (size_t i = 0; i < m_.chromosomes.size(); ++i) {
        const PlotChromosome& c = m_.chromosomes[i];
        if (c.retained == 0)
            continue;
        std::string d;
        chromosomeDots(i, cellY, d);
        c_.dotPath("markers", kChromosomeColours[i % 2], d);
        c_.start("title");
        c_.chars(QStringLiteral("chromosome %1: %2 markers")
                     .arg(QString::fromStdString(c.name), QString::fromStdString(groupedCount(c.retained))));
        c_.end();
        c_.end();
    }
    c_.end();
}

// Re-thins chromosome i's grid at the final pixel scale: every occupied cell
// lands on the pixel of its middle, each pixel drawn once.
void ManhattanPanel::chromosomeDots(size_t i, const std::vector<int>& cellY, std::string& d)
{
    const PlotChromosome& c = m_.chromosomes[i];
    const Segment& s = segments_[i];
    const int top = static_cast<int>(std::lround(f_.top));
    const int px0 = static_cast<int>(std::floor(s.x0)) - 1;
    PixelSet pixels(static_cast<int>(std::ceil(s.width)) + 3, static_cast<int>(std::lround(f_.h)) + 1);
    for (uint32_t k = 0; k < c.cols; ++k) {
        const uint64_t* w = &c.cells[size_t(k) * kPlotCellWords];
        if (std::all_of(w, w + kPlotCellWords, [](uint64_t word) { return word == 0; }))
            continue;
        const double x = positionX(s, c.span(), c.minPosition, m_.xCellPosition(c.colLo + k));
        const int px = static_cast<int>(std::lround(x)) - px0;
        for (int j = 0; j < kPlotCellWords; ++j)
            for (uint64_t bits = w[j]; bits; bits &= bits - 1)
                pixels.set(px, cellY[j * 64 + __builtin_ctzll(bits)] - top);
    }
    stats_.manhattanDots += pixels.appendPath(d, px0, top);
    stats_.manhattanPixels += pixels.count();
}

void ManhattanPanel::lines()
{
    c_.layer("thresholds", "Significance lines");
    const double right = f_.left + f_.w;
    const double yg = yPix(genomeWide());
    c_.line(f_.left, yg, right, yg, kGenomeWideColour, 1.3, kGenomeWideDash);
    if (s_.peakThreshold >= 0 && s_.peakThreshold <= yTicks_.top) {
        const double yt = yPix(s_.peakThreshold);
        c_.line(f_.left, yt, right, yt, kThresholdColour, 1.1, kThresholdDash);
    }
    c_.end();
}

// The labelled peaks: those with a label on a drawn chromosome, the 20
// highest, highest first.
std::vector<int> ManhattanPanel::strongestLabelled() const
{
    std::vector<int> order;
    for (size_t i = 0; i < m_.peaks.size(); ++i)
        if (!m_.peaks[i].label.empty() && chromIndex_.count(m_.peaks[i].chromosome))
            order.push_back(static_cast<int>(i));
    const auto height = [&](int i) { return std::isfinite(m_.peaks[i].height) ? m_.peaks[i].height : -1; };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return height(a) > height(b); });
    if (order.size() > kMaxLabels)
        order.resize(kMaxLabels);
    return order;
}

// Each label goes above its summit, or up to five lines higher (with a
// leader line) where a higher peak's label is in the way; a label that finds
// no room inside the plot area is left out.
void ManhattanPanel::labels()
{
    c_.layer("labels", "Peak labels");
    std::vector<Box> placed;
    const double fontSize = 11, lineStep = 13;
    for (int i : strongestLabelled()) {
        const PlotPeak& p = m_.peaks[i];
        double x1;
        const double x0 = bandX(p, chromIndex_.at(p.chromosome), &x1);
        const QString label = QString::fromStdString(p.label);
        const double w = textWidth(label, fontSize);
        const double cx = std::min(std::max((x0 + x1) / 2, f_.left + w / 2 + 2), f_.left + f_.w - w / 2 - 2);
        const double summit = std::min(std::max(yPix(p.height), f_.top + fontSize + 8), f_.bottom());
        for (int level = 0; level < 6; ++level) {
            const double y = summit - 7 - level * lineStep;
            if (y - fontSize < f_.top + 1)
                break;
            const Box box{cx - w / 2 - 1, y - fontSize, cx + w / 2 + 1, y + 3};
            if (std::any_of(placed.begin(), placed.end(), [&](const Box& b) { return b.overlaps(box); }))
                continue;
            placed.push_back(box);
            if (level > 0)
                c_.line((x0 + x1) / 2, summit - 3, cx, y + 3, "#777777", 0.7);
            haloText(cx, y, label, fontSize);
            ++stats_.labels;
            break;
        }
    }
    c_.end();
}

// Text with a white outline under it, readable over markers and bands: the
// outline is a copy of the text drawn first (paint-order would do it in one
// element, but older SVG programs ignore it and would cover the text).
void ManhattanPanel::haloText(double x, double y, const QString& text, double fontSize)
{
    for (const bool outline : {true, false}) {
        c_.start("text");
        c_.attr("x", x);
        c_.attr("y", y);
        c_.attr("font-size", fontSize);
        c_.attr("text-anchor", "middle");
        if (outline) {
            c_.attr("class", "halo");
            c_.attr("fill", "#ffffff");
            c_.attr("stroke", "#ffffff");
            c_.attr("stroke-width", 3);
            c_.attr("stroke-linejoin", "round");
        } else {
            c_.attr("fill", "#1a1a1a");
        }
        c_.chars(text);
        c_.end();
    }
}

void ManhattanPanel::legend()
{
    c_.layer("legend", "Legend");
    lineLegend(f_.left + f_.w);
    gqsLegend(f_.left + f_.w);
    c_.end();
}

// First row of the legend: the two dashed lines, right-aligned.
void ManhattanPanel::lineLegend(double right)
{
    const QString threshold =
        QStringLiteral("peak threshold (%1)").arg(QString::fromStdString(tickText(s_.peakThreshold)));
    double x = right - textWidth(threshold, 12);
    c_.text(x, 26, threshold, 12, "start", kAxisColour);
    c_.line(x - 34, 22, x - 6, 22, kThresholdColour, 1.1, kThresholdDash);
    x -= 34 + 22 + 128;
    c_.startMixed("text");
    c_.attr("x", x);
    c_.attr("y", 26);
    c_.attr("font-size", 12);
    c_.attr("fill", kAxisColour);
    c_.chars(QStringLiteral("genome-wide (p = 5\u00d710"));
    c_.start("tspan");
    c_.attr("dy", -5);
    c_.attr("font-size", 9);
    c_.chars(QStringLiteral("\u22128"));
    c_.end();
    c_.start("tspan");
    c_.attr("dy", 5);
    c_.chars(QStringLiteral(")"));
    c_.end();
    c_.endMixed();
    c_.line(x - 34, 22, x - 6, 22, kGenomeWideColour, 1.3, kGenomeWideDash);
}

// Second row: the GQS scale, a bar with the band colours (a little stronger
// than the translucent bands), 1 to 5 under it.
void ManhattanPanel::gqsLegend(double right)
{
    const double barW = 150, barH = 9;
    const double barX = right - barW - 4, barY = 37;
    c_.start("defs");
    c_.start("linearGradient");
    c_.attr("id", "gqs-scale");
    for (int k = 0; k < 5; ++k) {
        c_.start("stop");
        c_.attr("offset", QString::number(k * 25) + QLatin1Char('%'));
        c_.attr("stop-color", kGqsAnchors[k]);
        c_.end();
    }
    c_.end();
    c_.end();
    c_.text(barX - 8, barY + 9, QStringLiteral("peak band: quality (GQS)"), 12, "end", kAxisColour);
    c_.start("rect");
    c_.attr("x", barX);
    c_.attr("y", barY);
    c_.attr("width", barW);
    c_.attr("height", barH);
    c_.attr("fill", "url(#gqs-scale)");
    c_.attr("fill-opacity", kLegendOpacity);
    c_.attr("stroke", "#999999");
    c_.attr("stroke-width", 0.6);
    c_.end();
    for (int k = 0; k < 5; ++k)
        c_.text(barX + barW * k / 4, barY + barH + 11, QString::number(k + 1), 10, "middle", kAxisColour);
}

} // namespace

void drawManhattanPanel(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f,
                        PlotDrawStats& stats)
{
    ManhattanPanel(c, m, s, f, stats).draw();
}
