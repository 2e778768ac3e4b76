// The Manhattan panel's marks: a band coloured by quality over each peak
// whose summit reaches genome-wide significance, a tick at the foot of the
// axis for each weaker peak, a mark at the lead of each locus (an open
// triangle over loci without a peak shape) and the labels of the strongest
// loci, or of the strongest peaks when there are no loci.
#include "plot/manhattan_panel.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

using namespace plotlayout;
using namespace plotstyle;

namespace {

constexpr int kMaxLabels = 20;

struct Box {
    double x0, y0, x1, y1;
    bool overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

// Something to label: where its summit is, its text, and the locus mark
// under it (-1 for a peak).
struct LabelWish {
    double x, summit, value;
    QString text;
    int mark = -1;
};

// Room taken on the panel: a placed label (owner -1) or the mark of locus
// owner, which no other locus's label may cover.
struct Taken {
    Box box;
    int owner;
};

} // namespace

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
    struct Mark {
        const PlotPeak* strongest;
        double x0, x1;
        int64_t count;
    };
    std::vector<Mark> marks;
    std::map<std::tuple<bool, long, long>, size_t> at;
    for (const PlotPeak& p : m_.peaks) {
        const int slot = slotOf(p.chromosome);
        if (slot < 0) {
            ++stats_.peaksOffChromosome;
            continue;
        }
        double x1;
        const double x0 = bandX(p, slot, &x1);
        const bool significant = p.height >= genomeWide();
        const auto key = significant ? std::make_tuple(true, std::lround(x0), std::lround(x1))
                                     : std::make_tuple(false, std::lround((x0 + x1) / 2), 0L);
        const auto found = at.find(key);
        if (found == at.end()) {
            at.emplace(key, marks.size());
            marks.push_back({&p, x0, x1, 1});
            continue;
        }
        Mark& m = marks[found->second];
        ++m.count;
        if (p.height > m.strongest->height) {
            m.strongest = &p;
            m.x0 = x0;
            m.x1 = x1;
        }
    }
    for (const Mark& mark : marks) {
        const PlotPeak& p = *mark.strongest;
        const double x0 = mark.x0, x1 = mark.x1;
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
    struct Mark {
        const PlotLocus* strongest;
        double x, y;
        int64_t count;
    };
    std::vector<Mark> marks;
    std::map<std::tuple<bool, long, long>, size_t> at;
    for (const PlotLocus& l : m_.loci) {
        const int slot = slotOf(l.chromosome);
        if (slot < 0) {
            ++stats_.lociOffChromosome;
            continue;
        }
        double x, y;
        markAt(l, slot, &x, &y);
        const auto key = std::make_tuple(l.status == "no_peak", std::lround(x), std::lround(y));
        const auto found = at.find(key);
        if (found == at.end()) {
            at.emplace(key, marks.size());
            marks.push_back({&l, x, y, 1});
        } else {
            ++marks[found->second].count;
        }
    }
    for (const Mark& mark : marks) {
        const PlotLocus& l = *mark.strongest;
        const double x = mark.x, y = mark.y;
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

// The 20 strongest loci (their lead ids), or without loci the 20 highest
// labelled peaks. Each label goes above its summit, or up to five lines
// higher (with a leader line) where a stronger one's label or another
// locus's mark is in the way; a label that finds no room inside the plot
// area is left out.
void ManhattanPanel::labels()
{
    std::vector<LabelWish> wishes;
    std::vector<Taken> taken;
    const auto finite = [](double v) { return std::isfinite(v) ? v : 1e300; };
    for (size_t k = 0; k < m_.loci.size(); ++k) {
        const PlotLocus& l = m_.loci[k];
        const int slot = slotOf(l.chromosome);
        if (slot < 0)
            continue;
        // The mark as locusMarks draws it: a ring of radius 5 at the lead,
        // or a triangle from 14 to 4 px above it; with its stroke.
        double mx, my;
        markAt(l, slot, &mx, &my);
        const bool many = m_.loci.size() > kManyLoci;
        const Box mark = l.status != "no_peak" ? Box{mx - 6, my - 6, mx + 6, my + 6}
                         : many               ? Box{mx - 5, my - 12, mx + 5, my - 3}
                                              : Box{mx - 7, my - 15, mx + 7, my - 3};
        taken.push_back({mark, static_cast<int>(k)});
        const QString text = l.label.empty()
                                 ? QStringLiteral("%1:%2").arg(QString::fromStdString(l.chromosome)).arg(l.position)
                                 : QString::fromStdString(l.label);
        // Above the locus mark.
        wishes.push_back({mx, std::min(my, yPix(std::max(0.0, std::min(finite(l.value), axisTop())))) - 10,
                          finite(l.value), text, static_cast<int>(k)});
    }
    if (m_.loci.empty()) {
        for (const PlotPeak& p : m_.peaks) {
            const int slot = slotOf(p.chromosome);
            if (p.label.empty() || slot < 0)
                continue;
            double x1;
            const double x0 = bandX(p, slot, &x1);
            const double h = std::isfinite(p.height) ? p.height : -1;
            wishes.push_back({(x0 + x1) / 2, yPix(std::max(h, 0.0)), h, QString::fromStdString(p.label)});
        }
    }
    std::stable_sort(wishes.begin(), wishes.end(), [](const LabelWish& a, const LabelWish& b) { return a.value > b.value; });
    if (wishes.size() > kMaxLabels)
        wishes.resize(kMaxLabels);

    c_.layer("labels", "Labels");
    const double fontSize = 12, lineStep = 14;
    for (const LabelWish& wish : wishes) {
        const double w = textWidth(wish.text, fontSize);
        const double cx = std::min(std::max(wish.x, f_.left + w / 2 + 2), f_.left + f_.w - w / 2 - 2);
        const double summit = std::min(std::max(wish.summit, f_.top + fontSize + 8), f_.bottom());
        for (int level = 0; level < 6; ++level) {
            const double y = summit - 7 - level * lineStep;
            if (y - fontSize < f_.top + 1)
                break;
            const Box box{cx - w / 2 - 1, y - fontSize, cx + w / 2 + 1, y + 3};
            if (std::any_of(taken.begin(), taken.end(),
                            [&](const Taken& t) { return t.owner != wish.mark && t.box.overlaps(box); }))
                continue;
            taken.push_back({box, -1});
            // A leader line wherever the label is not right above its mark.
            if (level > 0 || std::fabs(cx - wish.x) > 1)
                c_.line(wish.x, summit - 3, cx, y + 3, "#777777", 0.7);
            haloText(cx, y, wish.text, fontSize);
            ++stats_.labels;
            break;
        }
    }
    // In a broken axis's band, the values of the strongest extreme markers
    // (up to five), beside their dots where no label or mark is in the way:
    // the band's scale is compressed, so the value is written out.
    if (yAxis_.broken) {
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
            if (box.y0 < f_.top ||
                std::any_of(taken.begin(), taken.end(), [&](const Taken& t) { return t.box.overlaps(box); }))
                continue;
            taken.push_back({box, -1});
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
