// The Manhattan panel: chromosomes side by side in natural order, every
// drawn marker thinned to pixels, the dashed significance lines, axes with every
// chromosome labelled. Peak and locus marks: manhattan_marks.cpp.
#include "plot/manhattan_panel.h"

#include "plot/chromosome_axis.h"

#include <algorithm>
#include <cmath>

using namespace plotlayout;
using namespace plotstyle;

ManhattanPanel::ManhattanPanel(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f,
                               PlotDrawStats& stats)
    : c_(c), m_(m), s_(s), f_(f), stats_(stats),
      dots_(static_cast<int>(std::ceil(f.w)) + 2 * kDotsMargin + 1, static_cast<int>(std::lround(f.h)) + 1),
      dotsX_(static_cast<int>(std::floor(f.left)) - kDotsMargin), dotsY_(static_cast<int>(std::lround(f.top)))
{
    // The y axis: every drawn marker, the peaks, the loci and both dashed
    // lines fit, with room above for the labels; broken where a few extreme
    // values would squash the rest (y_axis.h).
    std::vector<double> values;
    uint64_t occupied[kPlotCellWords] = {};
    for (const PlotChromosome& c : m_.chromosomes) {
        for (size_t at = 0; at < c.cells.size(); at += kPlotCellWords)
            for (int w = 0; w < kPlotCellWords; ++w)
                occupied[w] |= c.cells[at + size_t(w)];
        for (const PlotExtreme& e : c.extremes)
            values.push_back(e.value);
    }
    for (int cell = 0; cell < kPlotYCells; ++cell)
        if ((occupied[cell >> 6] >> (cell & 63)) & 1)
            values.push_back(m_.yCellValue(cell));
    if (m_.maxLog2Fixed >= 0)
        values.push_back(double(m_.maxLog2Fixed) / kPlotLog2Scale * std::log10(2.0));
    for (const PlotPeak& p : m_.peaks)
        values.push_back(p.height);
    for (const PlotLocus& l : m_.loci)
        values.push_back(l.value);
    yAxis_ = makeYAxis(std::move(values), std::max(genomeWide(), s_.peakThreshold), s_.yBreak, f_.top, f_.h);
    std::vector<std::string> names;
    for (size_t i = 0; i < m_.chromosomes.size(); ++i) {
        const PlotChromosome& chr = m_.chromosomes[i];
        names.push_back(chr.isOther() ? std::string() : chr.name);
        if (chr.isOther())
            otherSlot_ = static_cast<int>(i);
        else
            chromIndex_.emplace(chr.name, static_cast<int>(i));
    }
    axisOrder_ = naturalChromosomeOrder(names);
    if (otherSlot_ >= 0) { // the "other" slot closes the axis
        axisOrder_.erase(std::find(axisOrder_.begin(), axisOrder_.end(), otherSlot_));
        axisOrder_.push_back(otherSlot_);
    }
    std::vector<int64_t> spans;
    for (int i : axisOrder_)
        spans.push_back(m_.chromosomes[i].axisSpan());
    const std::vector<Segment> placed = chromosomeSegments(spans, f_.left, f_.w, 4);
    segments_.resize(m_.chromosomes.size());
    for (size_t k = 0; k < axisOrder_.size(); ++k)
        segments_[axisOrder_[k]] = placed[k];
}

int ManhattanPanel::slotOf(const std::string& name) const
{
    const auto it = chromIndex_.find(name);
    return it != chromIndex_.end() ? it->second : otherSlot_;
}

double ManhattanPanel::xOf(int i, double position) const
{
    const PlotChromosome& c = m_.chromosomes[i];
    return positionX(segments_[i], c.span(), c.minPosition, position);
}

void ManhattanPanel::draw()
{
    c_.layer("manhattan", "Manhattan plot");
    header();
    peakMarks();
    axes();
    markers();
    lines();
    locusMarks();
    labels();
    c_.end();
}

void ManhattanPanel::header()
{
    titleLine();
    int64_t chromosomeCount = static_cast<int64_t>(m_.chromosomes.size()), merged = 0;
    if (otherSlot_ >= 0) {
        merged = m_.chromosomes[otherSlot_].merged;
        chromosomeCount += merged - 1;
    }
    QString sub = QStringLiteral("%1 rows \u00b7 %2 chromosome%3 \u00b7 %4 markers with p \u2264 %5 \u00b7 %6 peak%7")
                      .arg(QString::fromStdString(groupDigits(m_.rows)))
                      .arg(QString::fromStdString(groupDigits(chromosomeCount)))
                      .arg(chromosomeCount == 1 ? "" : "s")
                      .arg(QString::fromStdString(groupDigits(m_.retained)))
                      .arg(QString::number(m_.inlimit, 'g', 3))
                      .arg(QString::fromStdString(groupDigits(int64_t(m_.peaks.size()))))
                      .arg(m_.peaks.size() == 1 ? "" : "s");
    if (!m_.loci.empty())
        sub += QStringLiteral(" \u00b7 %1 %2").arg(QString::fromStdString(groupDigits(int64_t(m_.loci.size()))),
                                                   m_.loci.size() == 1 ? QStringLiteral("locus") : QStringLiteral("loci"));
    if (merged > 0)
        sub += QStringLiteral(" \u00b7 the %1 narrowest in \u201cother\u201d")
                   .arg(QString::fromStdString(groupDigits(merged)));
    if (m_.retainedTop > 0)
        sub += QStringLiteral(" \u00b7 %1 with p = 0 or below the smallest double, drawn at the top")
                   .arg(QString::fromStdString(groupDigits(m_.retainedTop)));
    factsLine(sub);
}

// The bold title, left of the QQ panel's "QQ plot": at 22 px where it fits
// there, else in the largest smaller size down to 14 px that fits, else at
// 14 px cut at a word (or a character) with an ellipsis.
void ManhattanPanel::titleLine()
{
    const double room = f_.qLeft - 16 - f_.left;
    // Bold glyphs run about a tenth wider than the regular ones measured.
    const auto width = [](const QString& text, double size) { return textWidth(text, size) * 1.1; };
    for (const double size : {22.0, 20.0, 18.0, 16.0, 14.0})
        if (width(s_.title, size) <= room) {
            c_.text(f_.left, 34, s_.title, size, "start", kTitleText, true);
            return;
        }
    const QString ellipsis = QStringLiteral("\u2026");
    QString cut = s_.title;
    while (!cut.isEmpty() && width(cut + ellipsis, 14) > room) {
        // Back to the last space while that keeps most of the room used,
        // else by one character (both halves of a surrogate pair).
        const qsizetype space = cut.lastIndexOf(QLatin1Char(' '));
        if (space > 0 && width(cut.left(space) + ellipsis, 14) > 0.6 * room)
            cut.truncate(space);
        else
            cut.chop(cut.back().isLowSurrogate() && cut.size() > 1 ? 2 : 1);
        while (cut.endsWith(QLatin1Char(' ')))
            cut.chop(1);
    }
    c_.text(f_.left, 34, cut + ellipsis, 14, "start", kTitleText, true);
}

// The facts under the title, left of the QQ panel's header: on one line
// where it fits, else broken after a " \u00b7 " onto a second line, in
// smaller type where 13 px needs more than two lines. The second line
// stays above the plot area's top.
void ManhattanPanel::factsLine(const QString& facts)
{
    const double room = f_.qLeft - 16 - f_.left;
    if (textWidth(facts, 13) <= room) {
        c_.text(f_.left, 56, facts, 13, "start", kMutedText);
        return;
    }
    const QString sep = QStringLiteral(" \u00b7 ");
    for (const double size : {13.0, 11.0}) {
        // The longest head that fits, and what is left.
        qsizetype cut = -1;
        for (qsizetype at = facts.indexOf(sep); at >= 0 && textWidth(facts.left(at), size) <= room;
             at = facts.indexOf(sep, at + 1))
            cut = at;
        const QString head = cut < 0 ? facts : facts.left(cut);
        const QString tail = cut < 0 ? QString() : facts.mid(cut + sep.size());
        if (size > 11 && (cut < 0 || textWidth(tail, size) > room))
            continue;
        c_.text(f_.left, 56, head, size, "start", kMutedText);
        if (!tail.isEmpty())
            c_.text(f_.left, 56 + size + 2, tail, size, "start", kMutedText);
        return;
    }
}

void ManhattanPanel::axes()
{
    c_.layer("manhattan-axes", "Manhattan axes");
    for (double v : yAxis_.low.values)
        yTick(v);
    for (double v : yAxis_.bandTicks)
        yTick(v);
    if (yAxis_.broken) {
        c_.line(f_.left, f_.top, f_.left, yAxis_.bandBottom, kAxisColour, 1);
        c_.line(f_.left, yAxis_.lowTop, f_.left, f_.bottom(), kAxisColour, 1);
        axisBreak();
    } else {
        c_.line(f_.left, f_.top, f_.left, f_.bottom(), kAxisColour, 1);
    }
    c_.line(f_.left, f_.bottom(), f_.left + f_.w, f_.bottom(), kAxisColour, 1);
    c_.log10Text(26, f_.top + f_.h / 2, QString(), 15, "middle", -90);
    chromosomeLabels();
    c_.text(f_.left + f_.w / 2, f_.bottom() + 66, QStringLiteral("Chromosome"), 15, "middle", kAxisColour);
    c_.end();
}

void ManhattanPanel::yTick(double v)
{
    const double y = yPix(v);
    if (v > 0)
        c_.line(f_.left, y, f_.left + f_.w, y, kGridColour, 1);
    c_.line(f_.left - 5, y, f_.left, y, kAxisColour, 1);
    c_.text(f_.left - 8, y + 4.5, QString::fromStdString(tickText(v)), 13, "end", kAxisColour);
}

// The break between the lower part and the band: two slanted strokes over
// the y axis, one at each edge of the gap, and a dotted line across the
// panel at the band's foot.
void ManhattanPanel::axisBreak()
{
    const double y0 = yAxis_.bandBottom, y1 = yAxis_.lowTop;
    c_.start("path");
    c_.attr("class", "axis-break");
    c_.attr("d", QStringLiteral("M%1 %2L%3 %4M%1 %5L%3 %6")
                     .arg(svgNumber(f_.left - 7), svgNumber(y0 + 3), svgNumber(f_.left + 7), svgNumber(y0 - 3),
                          svgNumber(y1 + 3), svgNumber(y1 - 3)));
    c_.attr("fill", "none");
    c_.attr("stroke", kAxisColour);
    c_.attr("stroke-width", 1.5);
    c_.start("title");
    c_.chars(QStringLiteral("axis broken between %1 and %2")
                 .arg(QString::fromStdString(tickText(yAxis_.low.top)),
                      QString::fromStdString(tickText(yAxis_.bandLow))));
    c_.end();
    c_.end();
    c_.line(f_.left, y0, f_.left + f_.w, y0, "#bbbbbb", 1, "2 3");
}

// Every chromosome's name under the middle of its place, on two rows where
// neighbours would overlap; a name moved off its middle (or to the second
// row) gets a thin leader from the axis. Names of the natural chromosomes
// are always shown where the panel's width holds them all; among many other
// contigs, those without room are not. No name leaves the panel: where they
// would, the names are thinned to those that find a place under it.
void ManhattanPanel::chromosomeLabels()
{
    const double fontSize = 13, rowStep = 17;
    std::vector<AxisLabel> wanted;
    for (int i : axisOrder_) {
        const PlotChromosome& chr = m_.chromosomes[i];
        const QString name = QString::fromStdString(chr.isOther() ? std::string("other") : chr.name);
        wanted.push_back({segments_[i].x0 + segments_[i].width / 2, textWidth(name, fontSize),
                          chr.isOther() || naturalChromosomeRank(chr.name) > 0 || axisOrder_.size() <= 60});
    }
    // A name may reach a chromosome gap (4 px) past either end of the axis.
    const std::vector<PlacedLabel> placed = staggerLabels(wanted, 4, f_.left - 4, f_.left + f_.w + 4);
    for (size_t k = 0; k < axisOrder_.size(); ++k) {
        if (placed[k].row < 0)
            continue;
        const PlotChromosome& chr = m_.chromosomes[axisOrder_[k]];
        const double y = f_.bottom() + 20 + placed[k].row * rowStep;
        const double mid = wanted[k].centre;
        c_.line(mid, f_.bottom(), mid, f_.bottom() + 4, kAxisColour, 1);
        if (placed[k].row > 0 || std::fabs(placed[k].x - mid) > 0.5)
            c_.line(mid, f_.bottom() + 4, placed[k].x, y - fontSize + 1, "#aaaaaa", 0.6);
        c_.start("text");
        c_.attr("class", "chrom-label");
        c_.attr("x", placed[k].x);
        c_.attr("y", y);
        c_.attr("font-size", fontSize);
        c_.attr("text-anchor", "middle");
        c_.attr("fill", kAxisColour);
        c_.chars(QString::fromStdString(chr.isOther() ? std::string("other") : chr.name));
        c_.end();
        ++stats_.chromosomeLabels;
    }
}

void ManhattanPanel::markers()
{
    c_.layer("markers", "Markers");
    // y pixel of every y cell.
    std::vector<int> cellY(kPlotYCells + 1);
    for (int c = 0; c < kPlotYCells; ++c)
        cellY[c] = static_cast<int>(std::lround(yPix(m_.yCellValue(c))));
    cellY[kPlotTopCell] = static_cast<int>(std::lround(f_.top));
    for (size_t k = 0; k < axisOrder_.size(); ++k) {
        const size_t i = static_cast<size_t>(axisOrder_[k]);
        const PlotChromosome& c = m_.chromosomes[i];
        if (c.drawn == 0)
            continue;
        std::string d;
        chromosomeDots(i, cellY, d);
        c_.dotPath("markers", kChromosomeColours[k % 2], d,
                   QStringLiteral("chromosome %1: %2 markers")
                       .arg(QString::fromStdString(c.isOther() ? std::string("other") : c.name),
                            QString::fromStdString(groupDigits(c.drawn))));
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
    // Each dot into pixels and, where it is drawn (clamped as pixels
    // clamps), into dots_.
    const auto put = [&](int px, int py) {
        pixels.set(px, py);
        px = std::min(std::max(px, 0), pixels.width() - 1);
        py = std::min(std::max(py, 0), pixels.height() - 1);
        dots_.set(px + px0 - dotsX_, py + top - dotsY_);
    };
    for (uint32_t k = 0; k < c.cols; ++k) {
        const uint64_t* w = &c.cells[size_t(k) * kPlotCellWords];
        if (std::all_of(w, w + kPlotCellWords, [](uint64_t word) { return word == 0; }))
            continue;
        const double x = positionX(s, c.span(), c.minPosition, m_.xCellPosition(c.colLo + k));
        const int px = static_cast<int>(std::lround(x)) - px0;
        for (int j = 0; j < kPlotCellWords; ++j)
            for (uint64_t bits = w[j]; bits; bits &= bits - 1)
                put(px, cellY[j * 64 + __builtin_ctzll(bits)] - top);
    }
    for (const PlotExtreme& e : c.extremes) {
        const int px = static_cast<int>(std::lround(positionX(s, c.span(), c.minPosition, e.position))) - px0;
        put(px, static_cast<int>(std::lround(yPix(e.value))) - top);
    }
    stats_.manhattanDots += pixels.appendPath(d, px0, top);
    stats_.manhattanPixels += pixels.count();
}

// A dot reaches kDotWidth / 2 around its pixel.
bool ManhattanPanel::clearOfDots(const Box& b) const
{
    const double reach = kDotWidth / 2;
    const int xa = static_cast<int>(std::floor(b.x0 - reach)) - dotsX_;
    const int xb = static_cast<int>(std::ceil(b.x1 + reach)) - dotsX_;
    const int ya = static_cast<int>(std::floor(b.y0 - reach)) - dotsY_;
    const int yb = static_cast<int>(std::ceil(b.y1 + reach)) - dotsY_;
    for (int x = std::max(xa, 0); x <= std::min(xb, dots_.width() - 1); ++x)
        for (int y = std::max(ya, 0); y <= std::min(yb, dots_.height() - 1); ++y)
            if (dots_.get(x, y))
                return false;
    return true;
}

void ManhattanPanel::lines()
{
    c_.layer("thresholds", "Significance lines");
    const double right = f_.left + f_.w;
    const double yg = yPix(genomeWide());
    c_.line(f_.left, yg, right, yg, kGenomeWideColour, 1.3, kGenomeWideDash);
    if (s_.peakThreshold >= 0 && s_.peakThreshold <= yAxis_.low.top) {
        const double yt = yPix(s_.peakThreshold);
        c_.line(f_.left, yt, right, yt, kThresholdColour, 1.1, kThresholdDash);
    }
    c_.end();
}

void drawManhattanPanel(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f,
                        PlotDrawStats& stats)
{
    ManhattanPanel(c, m, s, f, stats).draw();
}
