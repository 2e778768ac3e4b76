// The Manhattan panel's marks: a band coloured by quality over each peak
// whose summit reaches genome-wide significance, a tick at the foot of the
// axis for each weaker peak, a mark at the lead of each locus (an open
// triangle over loci without a peak shape) and the labels of the strongest
// loci, or of the strongest peaks when there are no loci
// (manhattan_labels.cpp).
#include "plot/manhattan_panel.h"

#include "plot/pixel_merge.h"

#include <algorithm>
#include <cmath>

using namespace plotlayout;
using namespace plotstyle;

double ManhattanPanel::bandX(const PlotPeak& p, int chrom, double* x1) const
{
    const PlotChromosome& c = m_.chromosomes[chrom];
    const double slot = 0.5 * segments_[chrom].width / (double(c.span()) + 1);
    double a = xOf(chrom, p.first) - slot;
    double b = xOf(chrom, p.last) + slot;
    if (b - a < 3) {
        const double mid = (a + b) / 2;
        a = mid - 1.5;
        b = mid + 1.5;
    }
    *x1 = b;
    return a;
}

// Peaks whose marks fall on the same pixel columns (thousands of one-row
// chromosomes, say) share one mark: that of the strongest of them, its
// title saying how many it stands for, so the file stays small whatever
// the table.
void ManhattanPanel::peakMarks()
{
    c_.layer("peaks", "Peak bands");
    std::vector<KeyedMark> keyed;
    std::vector<double> heights(m_.peaks.size());
    for (size_t i = 0; i < m_.peaks.size(); ++i) {
        const PlotPeak& p = m_.peaks[i];
        heights[i] = p.height;
        const int slot = slotOf(p.chromosome);
        if (slot < 0) {
            ++stats_.peaksOffChromosome;
            continue;
        }
        double x1;
        const double x0 = bandX(p, slot, &x1);
        const bool significant = p.height >= genomeWide();
        keyed.push_back({significant ? pixelKey(true, x0, x1) : pixelKey(false, (x0 + x1) / 2, 0), i});
    }
    const std::vector<MergedMark> marks = mergeMarks(keyed, &heights);
    keyed = {};
    heights = {};
    for (const MergedMark& mark : marks) {
        const PlotPeak& p = m_.peaks[mark.strongest];
        double x1;
        const double x0 = bandX(p, slotOf(p.chromosome), &x1);
        const bool significant = p.height >= genomeWide();
        c_.start("rect");
        if (significant) {
            c_.attr("class", "peak-band");
            c_.attr("x", x0);
            c_.attr("y", f_.top);
            c_.attr("width", x1 - x0);
            c_.attr("height", f_.h);
            // Opaque: the bands lie on the white ground alone, and a raster
            // renderer fills opaque rectangles far faster than translucent.
            c_.attr("fill", gqsTint(p.gqs, kBandShare).c_str());
            ++stats_.bands;
        } else {
            const double mid = (x0 + x1) / 2;
            c_.attr("class", "peak-tick");
            c_.attr("x", mid - 1.5);
            c_.attr("y", f_.bottom() - 11);
            c_.attr("width", 3);
            c_.attr("height", 11);
            c_.attr("fill", gqsColour(p.gqs).c_str());
            ++stats_.ticks;
        }
        if (mark.count > 1)
            c_.attr("data-count", QString::number(mark.count));
        c_.start("title");
        // One pass over the pattern: a name holding "%2" stays as it is.
        QString tip = QStringLiteral("%1:%2-%3  GQS %4  \u2212log10 p %5")
                          .arg(QString::fromStdString(p.chromosome), QString::number(p.first),
                               QString::number(p.last), QString::number(p.gqs, 'g', 3),
                               QString::number(p.height, 'g', 4));
        if (!p.label.empty())
            tip += QStringLiteral("  ") + QString::fromStdString(p.label);
        if (mark.count > 1)
            tip = QStringLiteral("%1 peaks in these pixel columns; the strongest: ")
                      .arg(QString::fromStdString(groupDigits(mark.count))) + tip;
        c_.chars(tip);
        c_.end();
        c_.end();
    }
    c_.end();
}

// Where the mark of locus l on slot goes: at its lead, moved in only as
// far as keeps the mark (ring or triangle, with its stroke) inside the plot
// area.
void ManhattanPanel::markAt(const PlotLocus& l, int slot, double* x, double* y) const
{
    *x = std::min(std::max(xOf(slot, l.position), f_.left + 7), f_.left + f_.w - 7);
    const double value = yPix(std::isfinite(l.value) ? std::max(l.value, 0.0) : axisTop());
    // A triangle reaches 15 px above the lead, a ring 6.
    *y = std::max(value, f_.top + (l.status == "no_peak" ? 15 : 6));
}

// A ring around the lead of a locus with a peak shape (peak, split, merged);
// an open triangle pointing down at the lead of one without (no_peak).
// Loci whose marks would fall on one pixel share one mark, the strongest's,
// its title counting them.
void ManhattanPanel::locusMarks()
{
    if (m_.loci.empty())
        return;
    c_.layer("loci", "Loci");
    std::vector<KeyedMark> keyed;
    keyed.reserve(m_.loci.size());
    for (size_t i = 0; i < m_.loci.size(); ++i) {
        const PlotLocus& l = m_.loci[i];
        const int slot = slotOf(l.chromosome);
        if (slot < 0) {
            ++stats_.lociOffChromosome;
            continue;
        }
        double x, y;
        markAt(l, slot, &x, &y);
        keyed.push_back({pixelKey(l.status == "no_peak", x, y), i});
    }
    const std::vector<MergedMark> marks = mergeMarks(keyed);
    keyed = {};
    for (const MergedMark& mark : marks) {
        const PlotLocus& l = m_.loci[mark.first];
        double x, y;
        markAt(l, slotOf(l.chromosome), &x, &y);
        const QString status = QString::fromStdString(l.status);
        if (l.status == "no_peak") {
            const bool many = m_.loci.size() > kManyLoci;
            const double half = many ? 4 : 6, tall = many ? 7 : 10;
            c_.start("path");
            c_.attr("class", "locus-mark");
            c_.attr("data-status", status);
            c_.attr("d", QStringLiteral("M%1 %2L%3 %4L%5 %4Z")
                             .arg(svgNumber(x), svgNumber(y - 4), svgNumber(x - half), svgNumber(y - 4 - tall),
                                  svgNumber(x + half)));
            c_.attr("fill", "none");
            c_.attr("stroke", many ? kNoPeakLightColour : kNoPeakColour);
            c_.attr("stroke-width", many ? 1.5 : 2);
            c_.attr("stroke-linejoin", "round");
        } else {
            c_.start("circle");
            c_.attr("class", "locus-mark");
            c_.attr("data-status", status);
            c_.attr("cx", x);
            c_.attr("cy", y);
            c_.attr("r", 5);
            c_.attr("fill", "none");
            c_.attr("stroke", kLeadColour);
            c_.attr("stroke-width", 1.3);
        }
        if (mark.count > 1)
            c_.attr("data-count", QString::number(mark.count));
        c_.start("title");
        QString tip = QStringLiteral("%1:%2  \u2212log10 p %3  %4")
                          .arg(QString::fromStdString(l.chromosome), QString::number(l.position),
                               QString::number(l.value, 'g', 4), status);
        if (!l.label.empty())
            tip += QStringLiteral("  ") + QString::fromStdString(l.label);
        if (mark.count > 1)
            tip = QStringLiteral("%1 loci on this pixel; the first: ").arg(QString::fromStdString(groupDigits(mark.count))) + tip;
        c_.chars(tip);
        c_.end();
        c_.end();
        ++stats_.locusMarks;
    }
    c_.end();
}

// In a broken axis's band, the values of the strongest extreme markers (up
// to five), beside their dots where no label, mark or other value is in the
// way: the band's scale is compressed, so the value is written out.
void ManhattanPanel::bandValues(std::vector<Box> taken)
{
    struct Dot {
        double x, y, value;
    };
    std::vector<Dot> dots;
    for (size_t i = 0; i < m_.chromosomes.size(); ++i)
        for (const PlotExtreme& e : m_.chromosomes[i].extremes)
            if (e.value >= yAxis_.bandLow)
                dots.push_back({xOf(static_cast<int>(i), e.position), yPix(e.value), e.value});
    std::stable_sort(dots.begin(), dots.end(), [](const Dot& a, const Dot& b) { return a.value > b.value; });
    const double fontSize = 11;
    int written = 0;
    for (const Dot& d : dots) {
        if (written == 5)
            break;
        const QString text = QString::number(d.value, 'g', 6);
        const double w = textWidth(text, fontSize);
        // Right of the dot (clear of a locus ring around it), or left of
        // it near the panel's right edge.
        const bool right = d.x + 10 + w <= f_.left + f_.w;
        const double x0 = right ? d.x + 9 : d.x - 9 - w;
        const Box box{x0 - 1, d.y - fontSize / 2 - 1, x0 + w + 1, d.y + fontSize / 2 + 1};
        if (box.y0 < f_.top || !clearOfDots(box) ||
            std::any_of(taken.begin(), taken.end(), [&](const Box& t) { return t.overlaps(box); }))
            continue;
        taken.push_back(box);
        c_.start("text");
        c_.attr("class", "band-value");
        c_.attr("x", x0);
        c_.attr("y", d.y + 4);
        c_.attr("font-size", fontSize);
        c_.attr("fill", kMutedText);
        c_.chars(text);
        c_.end();
        ++written;
    }
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
