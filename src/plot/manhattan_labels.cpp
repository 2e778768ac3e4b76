// The Manhattan panel's labels: the lead ids of the 20 strongest loci (or,
// without loci, the lead labels of the 20 highest peaks), each clear of
// every other label, of every locus mark (its own included) and of every
// marker dot; and in a broken axis's band, the values of the strongest
// extreme markers.
//
// Design note. A label's candidate places are fixed before any is taken:
// above its summit and up to five lines higher, then beside its mark
// (right, then left) and stacked upward from there, then higher above it
// up to the top of the plot area. Only the marks that meet one of a label's
// candidates can stop it, so one pass over the loci marks the candidates
// that some mark blocks, for all 20 labels at once, and the candidates
// that meet a marker dot are marked the same way; then each label,
// strongest first, takes its first candidate that is not blocked and is
// clear of the labels placed before it. The memory is that of the 20
// labels and their places, whatever the number of loci (the dots are the
// panel's one bit per pixel, kept from drawing them). A label with no
// clear candidate is left out and counted (data-labels-dropped on the
// labels group).
#include "plot/manhattan_panel.h"

#include <algorithm>
#include <cmath>

using namespace plotstyle;

namespace {

constexpr size_t kMaxLabels = 20;
constexpr double kFontSize = 12, kLineStep = 14;

using Box = ManhattanPanel::Box;

// A place for a label: its text's middle and baseline, its box, and the
// leader line to it (none when from equals to).
struct Place {
    double cx, y;
    Box box;
    double fromX, fromY, toX, toY;
    bool blocked = false; // by a locus mark
};

// Something to label: its summit, its text and, for a locus, its mark.
struct LabelWish {
    size_t index; // of the locus or the peak
    double x, summit, value;
    bool hasMark = false;
    Box mark{0, 0, 0, 0};
    QString text;
    std::vector<Place> places;
    Box reach{0, 0, 0, 0}; // around all places
};

// The indices of the kMaxLabels largest values, largest first, the earlier
// of equal values first (a stable sort's order).
class Strongest {
public:
    void offer(size_t index, double value)
    {
        if (best_.size() == kMaxLabels && !(value > best_.back().second))
            return;
        const auto at = std::upper_bound(best_.begin(), best_.end(), value,
                                         [](double v, const std::pair<size_t, double>& b) { return v > b.second; });
        best_.insert(at, {index, value});
        if (best_.size() > kMaxLabels)
            best_.pop_back();
    }
    const std::vector<std::pair<size_t, double>>& best() const { return best_; }

private:
    std::vector<std::pair<size_t, double>> best_;
};

Box around(const Box& a, const Box& b)
{
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

// The places of w's label in order of preference (see the design note), all
// inside the plot area.
void placesOf(LabelWish& w, const PlotFrame& f)
{
    const double tw = textWidth(w.text, kFontSize);
    const double right = f.left + f.w;
    const auto add = [&](double cx, double y, double fromX, double fromY, double toX, double toY) {
        const Box box{cx - tw / 2 - 1, y - kFontSize, cx + tw / 2 + 1, y + 3};
        if (box.y0 < f.top + 1 || box.y1 > f.bottom() || box.x0 < f.left || box.x1 > right)
            return false;
        w.places.push_back({cx, y, box, fromX, fromY, toX, toY, false});
        w.reach = w.places.size() == 1 ? box : around(w.reach, box);
        return true;
    };
    // Above the summit, with a leader line wherever the label is not right
    // above it.
    const double cx = std::min(std::max(w.x, f.left + tw / 2 + 2), right - tw / 2 - 2);
    const double summit = std::min(std::max(w.summit, f.top + kFontSize + 8), f.bottom());
    const auto above = [&](int level) {
        const double y = summit - 7 - level * kLineStep;
        const bool straight = level == 0 && std::fabs(cx - w.x) <= 1;
        return add(cx, y, w.x, straight ? y + 3 : summit - 3, straight ? w.x : cx, y + 3);
    };
    int level = 0;
    while (level < 6 && above(level))
        ++level;
    // Beside the mark (or the summit), the leader from its side to the
    // label's; then stacked upward from there.
    const Box anchor = w.hasMark ? w.mark : Box{w.x - 3, w.summit - 3, w.x + 3, w.summit + 3};
    const double mid = (anchor.y0 + anchor.y1) / 2;
    const double base = std::min(std::max(mid + 4, f.top + 1 + kFontSize), f.bottom() - 3);
    for (int step = 0; step < 6; ++step) {
        const double y = base - step * kLineStep;
        add(anchor.x1 + 5 + tw / 2, y, anchor.x1, mid, anchor.x1 + 4, y - 4);
        add(anchor.x0 - 5 - tw / 2, y, anchor.x0, mid, anchor.x0 - 4, y - 4);
    }
    // Higher above it, as far as the plot area reaches.
    if (level == 6)
        while (above(level))
            ++level;
    if (w.places.empty())
        w.reach = {0, 0, -1, -1};
}

} // namespace

Box ManhattanPanel::markBox(const PlotLocus& l, double x, double y, bool drawn) const
{
    // A ring of radius 5 at the lead, or a triangle from 4 + tall px above it
    // to 4 px above; with its stroke, or (drawn false) the shape alone, half
    // a pixel in, for a label's own mark that it may touch.
    const bool many = m_.loci.size() > kManyLoci;
    if (l.status != "no_peak")
        return drawn ? Box{x - 6, y - 6, x + 6, y + 6} : Box{x - 4.5, y - 4.5, x + 4.5, y + 4.5};
    const double half = many ? 4 : 6, tall = many ? 7 : 10;
    if (!drawn)
        return {x - half + 0.5, y - 4 - tall + 0.5, x + half - 0.5, y - 4.5};
    return many ? Box{x - 5, y - 12, x + 5, y - 3} : Box{x - 7, y - 15, x + 7, y - 3};
}

void ManhattanPanel::labels()
{
    const auto finite = [](double v) { return std::isfinite(v) ? v : 1e300; };
    Strongest strongest;
    if (!m_.loci.empty()) {
        for (size_t k = 0; k < m_.loci.size(); ++k)
            if (slotOf(m_.loci[k].chromosome) >= 0)
                strongest.offer(k, finite(m_.loci[k].value));
    } else {
        for (size_t k = 0; k < m_.peaks.size(); ++k) {
            const PlotPeak& p = m_.peaks[k];
            if (!p.label.empty() && slotOf(p.chromosome) >= 0)
                strongest.offer(k, std::isfinite(p.height) ? p.height : -1);
        }
    }
    std::vector<LabelWish> wishes;
    for (const auto& [k, value] : strongest.best()) {
        LabelWish w;
        w.index = k;
        w.value = value;
        if (!m_.loci.empty()) {
            const PlotLocus& l = m_.loci[k];
            double mx, my;
            markAt(l, slotOf(l.chromosome), &mx, &my);
            w.hasMark = true;
            w.mark = markBox(l, mx, my, true);
            w.text = l.label.empty() ? QStringLiteral("%1:%2").arg(QString::fromStdString(l.chromosome)).arg(l.position)
                                     : QString::fromStdString(l.label);
            // Above the locus mark.
            w.x = mx;
            w.summit = std::min(my, yPix(std::max(0.0, std::min(value, axisTop())))) - 10;
        } else {
            const PlotPeak& p = m_.peaks[k];
            double x1;
            const double x0 = bandX(p, slotOf(p.chromosome), &x1);
            w.text = QString::fromStdString(p.label);
            w.x = (x0 + x1) / 2;
            w.summit = yPix(std::max(value, 0.0));
        }
        placesOf(w, f_);
        wishes.push_back(std::move(w));
    }

    // The places that a locus mark blocks; the marks in a broken axis's band.
    std::vector<Box> inBand;
    const double bandFoot = yAxis_.broken ? yAxis_.bandBottom + 8 : -1e300;
    for (size_t k = 0; k < m_.loci.size(); ++k) {
        const PlotLocus& l = m_.loci[k];
        const int slot = slotOf(l.chromosome);
        if (slot < 0)
            continue;
        double mx, my;
        markAt(l, slot, &mx, &my);
        const Box mark = markBox(l, mx, my, true);
        if (mark.y0 < bandFoot)
            inBand.push_back(mark);
        for (LabelWish& w : wishes) {
            if (!w.reach.overlaps(mark))
                continue;
            const Box b = k == w.index ? markBox(l, mx, my, false) : mark;
            for (Place& p : w.places)
                p.blocked = p.blocked || p.box.overlaps(b);
        }
    }

    // The places that a marker dot blocks.
    for (LabelWish& w : wishes)
        for (Place& p : w.places)
            p.blocked = p.blocked || !clearOfDots(p.box);

    c_.layer("labels", "Labels");
    std::vector<Box> placed;
    int dropped = 0;
    for (const LabelWish& w : wishes) {
        const auto clear = [&](const Place& p) {
            return !p.blocked &&
                   std::none_of(placed.begin(), placed.end(), [&](const Box& b) { return b.overlaps(p.box); });
        };
        const auto found = std::find_if(w.places.begin(), w.places.end(), clear);
        if (found == w.places.end()) {
            ++dropped;
            continue;
        }
        placed.push_back(found->box);
        if (found->fromX != found->toX || found->fromY != found->toY)
            c_.line(found->fromX, found->fromY, found->toX, found->toY, "#777777", 0.7);
        haloText(found->cx, found->y, w.text, kFontSize);
        ++stats_.labels;
    }
    stats_.labelsDropped += dropped;
    if (yAxis_.broken) {
        inBand.insert(inBand.end(), placed.begin(), placed.end());
        bandValues(std::move(inBand));
    }
    if (dropped > 0)
        c_.attr("data-labels-dropped", QString::number(dropped));
    c_.end();
}
