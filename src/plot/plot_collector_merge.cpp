// The plot collector's bounds: the narrowest chromosomes beyond
// kPlotChromosomeCap are merged into one "other" slot, and extreme markers
// beyond kPlotExtremeCap are thinned.
//
// Design note. After a merge the "other" slot is the last one (new names
// come after it until the next merge), and no name maps to it: the names of merged chromosomes are forgotten, so the memory per slot
// stays bounded whatever the number of names. A merged name that comes back
// later (an ungrouped table) starts a slot of its own again, and may be
// merged again; its rows are drawn either way. The slot's grid covers the
// union of the merged positions, so before its cells are copied the x scale
// coarsens until that union span counts like any chromosome's: the bound of
// 16,384 x cells (plus two per slot) holds across merges.
#include "plot/chromosome_axis.h"
#include "plot/plot_collector.h"

#include <algorithm>
#include <cmath>
#include <numeric>

void PlotCollector::mergeSmallest(size_t keep)
{
    clearCursor();
    // Slots other than the "other" one, in order.
    std::vector<size_t> named;
    size_t other = chromosomes_.size();
    for (size_t i = 0; i < chromosomes_.size(); ++i) {
        if (chromosomes_[i].isOther())
            other = i;
        else
            named.push_back(i);
    }
    if (named.size() <= keep)
        return;
    // Natural chromosomes first, then the widest, then the most rows.
    std::vector<size_t> order = named;
    std::vector<char> natural(chromosomes_.size(), 0);
    for (size_t i : named)
        natural[i] = plotlayout::naturalChromosomeRank(chromosomes_[i].name) > 0;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const PlotChromosome &x = chromosomes_[a], &y = chromosomes_[b];
        if (natural[a] != natural[b])
            return natural[a] > natural[b];
        if (x.span() != y.span())
            return x.span() > y.span();
        return x.rows > y.rows;
    });
    std::vector<char> drop(chromosomes_.size() + 1, 0);
    for (size_t k = keep; k < order.size(); ++k)
        drop[order[k]] = 1;

    if (other == chromosomes_.size()) {
        chromosomes_.emplace_back();
        chromosomes_.back().name = "other";
        usedLo_.push_back(0);
        usedHi_.push_back(0);
    }
    // The x scale first: the spans of the kept slots and the union span of
    // the other slot once the dropped ones are in it.
    int64_t kept = 0, lo = 0, hi = 0;
    bool any = false;
    for (size_t i = 0; i < chromosomes_.size(); ++i) {
        const PlotChromosome& c = chromosomes_[i];
        if (i != other && !drop[i]) {
            kept += c.span();
        } else if (c.rows > 0) {
            lo = any ? std::min<int64_t>(lo, c.minPosition) : c.minPosition;
            hi = any ? std::max<int64_t>(hi, c.maxPosition) : c.maxPosition;
            any = true;
        }
    }
    while (kept + (hi - lo) >= (kXCellsBeforeCoarsening << xShift_) && xShift_ < kMaxXShift)
        coarsenX();
    for (size_t i : named)
        if (drop[i])
            mergeInto(other, i);

    // The kept slots in their order, then the other slot.
    PlotChromosome merged = std::move(chromosomes_[other]);
    const uint32_t mergedLo = usedLo_[other], mergedHi = usedHi_[other];
    size_t to = 0;
    for (size_t i = 0; i < chromosomes_.size(); ++i) {
        if (i == other || drop[i])
            continue;
        if (to != i) {
            chromosomes_[to] = std::move(chromosomes_[i]);
            usedLo_[to] = usedLo_[i];
            usedHi_[to] = usedHi_[i];
        }
        ++to;
    }
    chromosomes_.resize(to + 1);
    usedLo_.resize(to + 1);
    usedHi_.resize(to + 1);
    chromosomes_[to] = std::move(merged);
    usedLo_[to] = mergedLo;
    usedHi_[to] = mergedHi;
    index_.clear();
    spanOthers_ = 0;
    for (size_t i = 0; i <= to; ++i) {
        if (i < to)
            index_.emplace(chromosomes_[i].name, static_cast<int>(i));
        spanOthers_ += chromosomes_[i].span();
    }
    current_ = -1;
}

void PlotCollector::mergeInto(size_t other, size_t from)
{
    PlotChromosome& o = chromosomes_[other];
    PlotChromosome& c = chromosomes_[from];
    if (c.rows > 0) {
        o.minPosition = o.rows ? std::min(o.minPosition, c.minPosition) : c.minPosition;
        o.maxPosition = o.rows ? std::max(o.maxPosition, c.maxPosition) : c.maxPosition;
        o.rows += c.rows;
    }
    ++o.merged;
    o.mergedWidth += c.span() + 1;
    o.retained += c.retained;
    o.drawn += c.drawn;
    o.extremes.insert(o.extremes.end(), c.extremes.begin(), c.extremes.end());
    c.extremes.clear();
    c.extremes.shrink_to_fit();
    if (c.cellsDrawn == 0)
        return;
    bool seen = o.cellsDrawn > 0;
    for (uint64_t at = usedLo_[from]; at <= usedHi_[from]; ++at) {
        const uint32_t col = static_cast<uint32_t>(at);
        const uint64_t* w = &c.cells[size_t(col - c.colLo) * kPlotCellWords];
        if (std::all_of(w, w + kPlotCellWords, [](uint64_t word) { return word == 0; }))
            continue;
        if (col < o.colLo || col - o.colLo >= o.cols)
            growColumns(o, col);
        uint64_t* to = &o.cells[size_t(col - o.colLo) * kPlotCellWords];
        for (int k = 0; k < kPlotCellWords; ++k)
            to[k] |= w[k];
        usedLo_[other] = seen ? std::min(usedLo_[other], col) : col;
        usedHi_[other] = seen ? std::max(usedHi_[other], col) : col;
        seen = true;
    }
    o.cellsDrawn += c.cellsDrawn;
    c.cells.clear();
    c.cells.shrink_to_fit();
}

void PlotCollector::addExtreme(int32_t position, double p, double value)
{
    countRow(position, p, true);
    PlotChromosome& c = current();
    if (p <= inlimit_) {
        ++c.retained;
        ++retained_;
    }
    c.extremes.push_back({position, value});
    ++c.drawn;
    ++drawn_;
    ++extremes_;
    if (++extremesHeld_ >= kPlotExtremeCap)
        thinExtremes();
}

// Design note. Extreme markers are few in any real table, but a -log10 p
// column may hold millions of them. Past the cap, each chromosome's list
// keeps one marker per x cell and value step: first the grid's x cells and
// a value step of 1/64, and while the lists still hold more than half the
// cap, cells and step both twice as large. The memory stays bounded (at
// worst one marker per chromosome slot), and what is dropped shares a
// pixel with what is kept as long as the cells and step stay below a pixel.
void PlotCollector::thinExtremes()
{
    for (;;) {
        extremesHeld_ = 0;
        const int shift = std::min(xShift_ + extremeXShift_, kMaxXShift);
        for (PlotChromosome& c : chromosomes_) {
            auto key = [&](const PlotExtreme& e) {
                const uint32_t col = static_cast<uint32_t>(uint64_t(uint32_t(e.position) ^ 0x80000000u) >> shift);
                return std::make_pair(col, std::floor(e.value / extremeStep_));
            };
            std::sort(c.extremes.begin(), c.extremes.end(),
                      [&](const PlotExtreme& a, const PlotExtreme& b) { return key(a) < key(b); });
            c.extremes.erase(std::unique(c.extremes.begin(), c.extremes.end(),
                                         [&](const PlotExtreme& a, const PlotExtreme& b) { return key(a) == key(b); }),
                             c.extremes.end());
            c.extremes.shrink_to_fit();
            extremesHeld_ += c.extremes.size();
        }
        if (extremesHeld_ <= kPlotExtremeCap / 2 || (shift >= kMaxXShift && extremeStep_ > 1e300))
            return;
        extremeStep_ *= 2;
        ++extremeXShift_;
    }
}
