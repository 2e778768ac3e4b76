// The streaming collector of the plot panels.
#include "plot/plot_collector.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

uint64_t bitsOf(double x)
{
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// floor(4096 * log2(1 + m / 4096)) for the top 12 mantissa bits m.
std::array<uint16_t, 4096> makeLog2Table()
{
    std::array<uint16_t, 4096> table{};
    for (int m = 0; m < 4096; ++m)
        table[m] = static_cast<uint16_t>(std::floor(kPlotLog2Scale * std::log2(1.0 + m / 4096.0)));
    return table;
}
const std::array<uint16_t, 4096> kLog2Table = makeLog2Table();

// Two y cells into one: ORs bit pairs of x and packs them into 32 bits.
uint64_t halveBits(uint64_t x)
{
    x = (x | (x >> 1)) & 0x5555555555555555ULL;
    x = (x | (x >> 1)) & 0x3333333333333333ULL;
    x = (x | (x >> 2)) & 0x0F0F0F0F0F0F0F0FULL;
    x = (x | (x >> 4)) & 0x00FF00FF00FF00FFULL;
    x = (x | (x >> 8)) & 0x0000FFFF0000FFFFULL;
    x = (x | (x >> 16)) & 0x00000000FFFFFFFFULL;
    return x;
}

constexpr uint64_t kTopBit = uint64_t(1) << (kPlotTopCell & 63);

// plotMinusLog2Fixed, inlined into the per-row path.
inline int64_t minusLog2Fixed(double p)
{
    uint64_t bits = bitsOf(p);
    int64_t exponent = int64_t(bits >> 52);
    if (__builtin_expect(exponent == 0, 0)) { // subnormal: scale into the normal range, exactly
        bits = bitsOf(p * 0x1p64);
        exponent = int64_t(bits >> 52) - 64;
    }
    const int64_t e = exponent - 1023; // p = 2^e * 1.m, e <= 0
    return -e * kPlotLog2Scale - kLog2Table[(bits >> 40) & 0xFFF];
}

} // namespace

int64_t plotMinusLog2Fixed(double p)
{
    return minusLog2Fixed(p);
}

double PlotModel::yCellValue(int c) const
{
    return (c + 0.5) * std::ldexp(1.0, yShift) / kPlotLog2Scale * std::log10(2.0);
}

double PlotModel::xCellPosition(uint32_t col) const
{
    const double start = std::ldexp(double(col), xShift);
    return start + 0.5 * std::ldexp(1.0, xShift) - 2147483648.0;
}

PlotCollector::PlotCollector(double inlimit) : inlimit_(inlimit), drawLimit_(std::max(inlimit, 1.0)) {}

PlotChromosome& PlotCollector::current()
{
    if (current_ < 0) { // rows before any chromosome name: an unnamed one
        current_ = static_cast<int>(chromosomes_.size());
        chromosomes_.emplace_back();
        usedLo_.push_back(0);
        usedHi_.push_back(0);
        index_.emplace(std::string(), current_);
    }
    return chromosomes_[current_];
}

void PlotCollector::storeCurrent()
{
    if (current_ < 0 && rows_ == 0)
        return;
    PlotChromosome& c = current();
    c.rows = rows_;
    c.minPosition = rows_ ? min_ : 0;
    c.maxPosition = rows_ ? max_ : 0;
    spanOthers_ += c.span();
}

void PlotCollector::startChromosome(std::string_view name)
{
    clearCursor();
    storeCurrent();
    const auto found = index_.find(std::string(name));
    if (found != index_.end()) {
        current_ = found->second;
        const PlotChromosome& c = chromosomes_[current_];
        spanOthers_ -= c.span();
        rows_ = c.rows;
        min_ = c.rows ? c.minPosition : std::numeric_limits<int32_t>::max();
        max_ = c.rows ? c.maxPosition : std::numeric_limits<int32_t>::min();
        return;
    }
    if (chromosomes_.size() >= 2 * kPlotChromosomeCap)
        mergeSmallest(kPlotChromosomeCap);
    current_ = static_cast<int>(chromosomes_.size());
    chromosomes_.emplace_back();
    chromosomes_.back().name.assign(name);
    usedLo_.push_back(0);
    usedHi_.push_back(0);
    index_.emplace(std::string(name), current_);
    rows_ = 0;
    min_ = std::numeric_limits<int32_t>::max();
    max_ = std::numeric_limits<int32_t>::min();
}

// Design note. The common row is not retained, is a p-value and falls in
// a grid cell of the current chromosome that a row before it reached (the
// cursor). For a stretch of such rows the state they touch (the span, the
// pending histogram values, the cursor, the largest value) is kept in
// locals, which the compiler need not reload after each store into the
// grid; the stretch ends at a row the cursor does not take, or when the
// pending values fill up, and the state goes back into the members before
// that row goes the long way (addDrawn). Rows are taken in order, so the
// result is that of taking them one at a time.
void PlotCollector::addRows(const int32_t* positions, const double* ps, const uint8_t* numbers, size_t n)
{
    size_t i = 0;
    while (i < n) {
        int32_t lo = min_, hi = max_;
        size_t pending = pendingCount_;
        uint64_t* const pend = pending_.data();
        uint64_t* const cells = cursorCells_;
        const bool open = cursorHi_ >= cursorLo_;
        const uint32_t colLo = cursorColLo_, first = cursorLo_, width = cursorHi_ - cursorLo_;
        const int64_t spanLimit = cursorSpanLimit_;
        const double inlimit = inlimit_;
        const int xShift = xShift_, yShift = yShift_;
        int64_t maxFixed = maxLog2Fixed_;
        const size_t start = i;
        int64_t quick = 0;
        bool longWay = false;
        while (i < n) {
            const int32_t position = positions[i];
            const double p = ps[i];
            const bool number = numbers[i] != 0;
            ++i;
            lo = std::min(lo, position);
            hi = std::max(hi, position);
            pend[pending] = number ? bitsOf(p + 0.0) : kNotAPValue; // -0 counts as +0
            const bool full = ++pending == kPendingSize;
            if (open && p > inlimit && p <= 1 && number && int64_t(hi) - lo < spanLimit) {
                const int64_t fixed = minusLog2Fixed(p);
                const uint32_t col = static_cast<uint32_t>(uint64_t(uint32_t(position) ^ 0x80000000u) >> xShift);
                if (col - first <= width && (fixed >> yShift) < kPlotYCells) {
                    const int cell = static_cast<int>(fixed >> yShift);
                    cells[size_t(col - colLo) * kPlotCellWords + size_t(cell >> 6)] |= uint64_t(1) << (cell & 63);
                    maxFixed = std::max(maxFixed, fixed);
                    ++quick;
                    if (full)
                        break;
                    continue;
                }
            }
            longWay = true;
            break;
        }
        rows_ += int64_t(i - start);
        min_ = lo;
        max_ = hi;
        pendingCount_ = pending;
        maxLog2Fixed_ = maxFixed;
        if (quick > 0) {
            cursorChromosome_->cellsDrawn += quick;
            cursorChromosome_->drawn += quick;
            drawn_ += quick;
        }
        if (pendingCount_ == kPendingSize)
            countPending();
        if (longWay && ps[i - 1] <= drawLimit_)
            addDrawn(positions[i - 1], ps[i - 1], numbers[i - 1] != 0);
    }
}

void PlotCollector::addDrawn(int32_t position, double p, bool pIsNumber)
{
    if (!pIsNumber) {
        ++retainedNotNumber_;
        return;
    }
    PlotChromosome& c = current();
    if (p <= inlimit_) {
        ++c.retained;
        ++retained_;
    }
    // The x scale may coarsen once the spans seen so far allow it.
    const int64_t totalSpan = spanOthers_ + (int64_t(max_) - min_);
    while (totalSpan >= (kXCellsBeforeCoarsening << xShift_) && xShift_ < kMaxXShift)
        coarsenX();
    int cell;
    if (p > 0 && p <= 1 && p != std::numeric_limits<double>::denorm_min()) {
        const int64_t fixed = plotMinusLog2Fixed(p);
        if (fixed > maxLog2Fixed_)
            maxLog2Fixed_ = fixed;
        while ((fixed >> yShift_) >= kPlotYCells)
            coarsenY();
        cell = static_cast<int>(fixed >> yShift_);
    } else if (p > 1) { // only with an inlimit above 1; -log10 p < 0
        cell = 0;
        ++retainedAbove1_;
        if (maxLog2Fixed_ < 0)
            maxLog2Fixed_ = 0;
    } else { // p <= 0 or the smallest subnormal
        cell = kPlotTopCell;
        ++retainedTop_;
    }
    const uint32_t col = static_cast<uint32_t>(uint64_t(uint32_t(position) ^ 0x80000000u) >> xShift_);
    if (col < c.colLo || col - c.colLo >= c.cols)
        growColumns(c, col);
    c.cells[size_t(col - c.colLo) * kPlotCellWords + (cell >> 6)] |= uint64_t(1) << (cell & 63);
    if (c.cellsDrawn == 0) {
        usedLo_[current_] = usedHi_[current_] = col;
    } else {
        usedLo_[current_] = std::min(usedLo_[current_], col);
        usedHi_[current_] = std::max(usedHi_[current_], col);
    }
    ++c.cellsDrawn;
    ++c.drawn;
    ++drawn_;
    setCursor();
}

void PlotCollector::setCursor()
{
    PlotChromosome& c = chromosomes_[current_];
    cursorChromosome_ = &c;
    cursorCells_ = c.cells.data();
    cursorColLo_ = c.colLo;
    cursorLo_ = usedLo_[current_];
    cursorHi_ = usedHi_[current_];
    cursorSpanLimit_ = xShift_ >= kMaxXShift ? std::numeric_limits<int64_t>::max()
                                              : (kXCellsBeforeCoarsening << xShift_) - spanOthers_;
}

void PlotCollector::growColumns(PlotChromosome& c, uint32_t col)
{
    clearCursor();
    if (c.cols == 0) {
        c.colLo = col;
        c.cols = 1;
        c.cells.assign(kPlotCellWords, 0);
        return;
    }
    if (col >= c.colLo) { // to the right: the vector's own growth is geometric
        c.cols = col - c.colLo + 1;
        c.cells.resize(size_t(c.cols) * kPlotCellWords, 0);
        return;
    }
    // To the left: as many spare cells again as there are, so that a table
    // whose positions go down does not move the grid for every cell.
    const uint32_t newLo = col >= c.cols ? col - c.cols : 0;
    const uint32_t added = c.colLo - newLo;
    c.cells.insert(c.cells.begin(), size_t(added) * kPlotCellWords, 0);
    c.colLo = newLo;
    c.cols += added;
}

void PlotCollector::coarsenX()
{
    clearCursor();
    ++xShift_;
    for (size_t i = 0; i < chromosomes_.size(); ++i) {
        PlotChromosome& c = chromosomes_[i];
        if (c.cellsDrawn == 0) {
            c.colLo = c.cols = 0;
            c.cells.clear();
            continue;
        }
        // In place: a column's new index is never above its old one, so
        // going up, every new column is written after its old content was
        // read. The first old column of a new one overwrites, the second ORs.
        const uint32_t lo = usedLo_[i] >> 1, hi = usedHi_[i] >> 1;
        for (uint64_t col = usedLo_[i]; col <= usedHi_[i]; ++col) {
            const uint64_t* from = &c.cells[size_t(col - c.colLo) * kPlotCellWords];
            uint64_t* to = &c.cells[size_t((col >> 1) - lo) * kPlotCellWords];
            const bool first = col == usedLo_[i] || (col & 1) == 0;
            for (int w = 0; w < kPlotCellWords; ++w)
                to[w] = first ? from[w] : (to[w] | from[w]);
        }
        c.colLo = usedLo_[i] = lo;
        usedHi_[i] = hi;
        c.cols = hi - lo + 1;
        c.cells.resize(size_t(c.cols) * kPlotCellWords);
    }
}

void PlotCollector::coarsenY()
{
    ++yShift_;
    for (PlotChromosome& c : chromosomes_) {
        for (size_t at = 0; at < c.cells.size(); at += kPlotCellWords) {
            uint64_t* w = &c.cells[at];
            const uint64_t top = w[kPlotTopCell >> 6] & kTopBit;
            w[kPlotTopCell >> 6] &= ~kTopBit;
            for (int k = 0; k < kPlotCellWords / 2; ++k)
                w[k] = halveBits(w[2 * k]) | (halveBits(w[2 * k + 1]) << 32);
            for (int k = kPlotCellWords / 2; k < kPlotCellWords; ++k)
                w[k] = 0;
            w[kPlotTopCell >> 6] |= top;
        }
    }
}

void PlotCollector::addPeak(const PlotPeak& peak)
{
    peaks_.push_back(peak);
    if (peaks_.back().first > peaks_.back().last)
        std::swap(peaks_.back().first, peaks_.back().last);
}

void PlotCollector::addLocus(const PlotLocus& locus)
{
    loci_.push_back(locus);
}

void PlotCollector::countPending()
{
    for (size_t i = 0; i < pendingCount_; ++i)
        histogram_.addBits(pending_[i]);
    pendingCount_ = 0;
}

PlotModel PlotCollector::finish() &&
{
    clearCursor();
    countPending();
    storeCurrent();
    mergeSmallest(kPlotChromosomeCap);
    current_ = -1;
    rows_ = 0;
    PlotModel model;
    model.inlimit = inlimit_;
    model.chromosomes = std::move(chromosomes_);
    model.xShift = xShift_;
    model.yShift = yShift_;
    model.maxLog2Fixed = maxLog2Fixed_;
    for (const PlotChromosome& c : model.chromosomes)
        model.rows += c.rows;
    model.retained = retained_;
    model.drawn = drawn_;
    model.extremes = extremes_;
    model.retainedTop = retainedTop_;
    model.retainedAbove1 = retainedAbove1_;
    model.retainedNotNumber = retainedNotNumber_;
    model.peaks = std::move(peaks_);
    model.loci = std::move(loci_);
    model.histogram = std::move(histogram_);
    model.lambda = lambdaFromHistogram(model.histogram);
    return model;
}
