// Streaming collection of what the Manhattan and QQ panels need from one
// table, in memory that does not grow with the number of rows.
//
// Per chromosome (in order of first appearance; a name that comes back later
// in an ungrouped table extends the same chromosome): the smallest and
// largest position of all its rows and its row count, and a grid of
// occupied cells of every row it draws: each row whose p is a number no
// larger than max(inlimit, 1), retained by the analysis (p <= inlimit) or
// not. Rows whose -log10 p lies beyond the double range of p (a -log10 p
// column's values above kPlotExtremeLog10, or p text below the normal range)
// are kept apart, at their value, as extreme markers (thinned to a bound). The grid's x cells
// are position ranges of 2^xShift bp aligned on a genome-wide grid, its y
// cells -log2(p) ranges of 2^yShift / 4096; both scales start fine and
// coarsen by powers of two while the table streams, so that
//   - the cells of all chromosomes together stay below 16,384 x cells (plus
//     two per chromosome) of 1,024 y cells each, 2 MB (and the vectors'
//     spare capacity), and
//   - a cell is never wider than half a pixel of a Manhattan panel up to
//     2,048 px wide, nor taller than a pixel of one up to 500 px high,
//     whatever the final spans and heights turn out to be,
// which is what re-thinning at the final pixel scale needs.
//
// Per table: the p-value histogram of the QQ panel and lambdaGC (see
// plot_histogram.h), the reported peaks and loci, a few counts.
//
// At most kPlotChromosomeCap chromosomes keep a place of their own on the
// axis (the natural ones 1-22, X, Y, XY, MT first, then the widest): when a
// table brings twice as many, the narrowest of them are merged into one
// "other" slot (plot_collector_merge.cpp), so a table of millions of
// one-row contigs holds a few thousand slots, not millions.
//
// addRows is the per-row path: a handful of compares, a table lookup and one
// bit set. Nothing is allocated or hashed per row.
#pragma once
#include "base/fresh_pages.h"
#include "plot/plot_histogram.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// -log2 p in fixed point (4096 per unit) for 0 < p <= 1 from the bits of p,
// through a 4096-entry table: at or above the exact value, by less than
// 2.5/4096 (0.0002 in -log10 p).
int64_t plotMinusLog2Fixed(double p);

// A reported peak, as the analysis reports it.
struct PlotPeak {
    std::string chromosome;
    int32_t first = 0, last = 0; // range of positions; either order
    double gqs = 1;              // quality score, 1..5
    double height = 0;           // -log10 p of the summit
    std::string label;           // lead marker label
};

// A marker whose -log10 p is beyond the grid's range, at its value.
struct PlotExtreme {
    int32_t position = 0;
    double value = 0; // -log10 p
};

// -log10 p values above this, from a -log10 p column, are extreme markers:
// their p would be subnormal or zero.
constexpr double kPlotExtremeLog10 = 300;
// Extreme markers kept at most, over all chromosomes, before they are thinned.
constexpr size_t kPlotExtremeCap = 65536;

// A locus of the loci table: its lead marker and how the analysis saw it.
struct PlotLocus {
    std::string chromosome;
    int32_t position = 0;   // of the lead marker
    double value = 0;       // -log10 p of the lead
    std::string label;      // lead marker id (may be empty)
    std::string status;     // peak, split, merged or no_peak
};

// Chromosomes with a slot of their own on the axis; beyond twice as many the
// narrowest are merged into the "other" slot.
constexpr size_t kPlotChromosomeCap = 1000;

// Cells of a retained-marker grid: 1,023 y cells and the "top" cell (p <= 0
// or the smallest subnormal) per x cell, 16 words per x cell.
constexpr int kPlotYCells = 1023;
constexpr int kPlotTopCell = 1023;
constexpr int kPlotCellWords = 16;
// Fixed-point scale of -log2 p in the grid: 4096 steps per power of two.
constexpr int kPlotLog2Scale = 4096;

struct PlotChromosome {
    std::string name;
    int32_t minPosition = 0, maxPosition = 0; // of all rows
    // The "other" slot: how many chromosomes it holds, and the sum of their
    // spans + 1, its share of the axis (its positions overlap).
    int64_t merged = 0;
    int64_t mergedWidth = 0;
    int64_t rows = 0;                          // accepted rows
    int64_t retained = 0;                      // rows with p <= inlimit
    int64_t drawn = 0;                         // rows drawn in the Manhattan panel
    int64_t cellsDrawn = 0;                    // of which in the grid
    // Grid of drawn markers: x cells colLo .. colLo + cols - 1, each
    // kPlotCellWords words of y-cell bits.
    uint32_t colLo = 0;
    uint32_t cols = 0;
    std::vector<uint64_t, FreshPagesAllocator<uint64_t>> cells;
    // Markers beyond the grid's range, at their values (thinned: one per x
    // cell and value step at most once there are many).
    std::vector<PlotExtreme> extremes;

    int64_t span() const { return rows ? int64_t(maxPosition) - minPosition : 0; }
    bool isOther() const { return merged > 0; }
    // The span the axis gives it.
    int64_t axisSpan() const { return isOther() ? mergedWidth - 1 : span(); }
    bool cellSet(uint32_t col, int yCell) const
    {
        if (col < colLo || col - colLo >= cols)
            return false;
        return (cells[size_t(col - colLo) * kPlotCellWords + (yCell >> 6)] >> (yCell & 63)) & 1;
    }
};

// Everything the SVG writer needs; a moved-out collector.
struct PlotModel {
    double inlimit = 0.001;
    std::vector<PlotChromosome> chromosomes;
    int xShift = 0; // x cell of a position: (uint32(position) ^ 0x80000000) >> xShift (0..33)
    int yShift = 7; // y cell of a p-value: (-log2(p) * 4096) >> yShift
    // Largest -log2 p (fixed point, 4096 per unit) of a grid marker drawn
    // at its value; -1 when there is none.
    int64_t maxLog2Fixed = -1;
    int64_t rows = 0;
    int64_t retained = 0;        // rows with p <= inlimit (of which not numbers: not drawn)
    int64_t drawn = 0;           // rows drawn in the Manhattan panel (grid and extremes)
    int64_t extremes = 0;        // of which extreme markers, drawn at their value
    int64_t retainedTop = 0;     // drawn at the top (p <= 0, smallest subnormal)
    int64_t retainedAbove1 = 0;  // p > 1 (only with an inlimit above 1), drawn at 0
    int64_t retainedNotNumber = 0; // p <= inlimit only because the text was not a number: not drawn
    std::vector<PlotPeak> peaks;
    std::vector<PlotLocus> loci;
    PlotHistogram histogram;     // valid p-values (0 <= p <= 1)
    LambdaEstimate lambda;

    // Value of -log10 p at the middle of y cell c (not the top cell).
    double yCellValue(int c) const;
    // Middle position of x cell col.
    double xCellPosition(uint32_t col) const;
};

class PlotCollector {
public:
    // inlimit: the largest p-value the analysis retains.
    explicit PlotCollector(double inlimit);
    PlotCollector(const PlotCollector&) = delete;
    PlotCollector& operator=(const PlotCollector&) = delete;

    // The rows that follow belong to chromosome name.
    void startChromosome(std::string_view name);

    // Every accepted row: its position and p-value as read (any double;
    // pIsNumber false when the text was not a number).
    void addRow(int32_t position, double p, bool pIsNumber)
    {
        const uint8_t number = pIsNumber;
        addRows(&position, &p, &number, 1);
    }
    // Rows [0, n) of a run, as addRow takes them one after another
    // (numbers[i] != 0: p[i] was a number). The per-row path.
    void addRows(const int32_t* positions, const double* p, const uint8_t* numbers, size_t n);

    // A row whose -log10 p (value) lies beyond the grid's range: p is its
    // p-value as a double (subnormal or zero), for the histogram.
    void addExtreme(int32_t position, double p, double value);

    void addPeak(const PlotPeak& peak);
    void addLocus(const PlotLocus& locus);
    // Room for n loci in all, so that adding them moves none.
    void reserveLoci(size_t n) { loci_.reserve(n); }

    // Everything collected; the collector is left empty.
    PlotModel finish() &&;

private:
    void countRow(int32_t position, double p, bool pIsNumber)
    {
        ++rows_;
        if (position < min_)
            min_ = position;
        if (position > max_)
            max_ = position;
        // The histogram counts in batches: its counters are scattered over
        // a megabyte, and counting a few thousand at a time, away from the
        // row reading's memory traffic, is several times cheaper.
        uint64_t bits;
        const double q = p + 0.0; // -0 becomes +0
        std::memcpy(&bits, &q, sizeof bits);
        pending_[pendingCount_] = pIsNumber ? bits : kNotAPValue;
        if (++pendingCount_ == kPendingSize)
            countPending();
    }
    void addDrawn(int32_t position, double p, bool pIsNumber);
    // Design note. The cursor lets addRows set a grid cell at once: the
    // current chromosome, its cells and the x cells its drawn rows have
    // reached (cursorLo_ .. cursorHi_, inside the grid), and the span below
    // which the x scale needs no coarsening. addDrawn sets it after each row;
    // whatever moves or reshapes a grid (a new chromosome, growing or
    // coarsening columns, a merge) clears it (cursorHi_ < cursorLo_), so
    // the quick path of addRows only ever writes where addDrawn would.
    void setCursor();
    void clearCursor()
    {
        cursorLo_ = 1;
        cursorHi_ = 0;
        cursorSpanLimit_ = 0;
    }
    void thinExtremes();
    void countPending();
    void storeCurrent();
    PlotChromosome& current();
    void growColumns(PlotChromosome& c, uint32_t col);
    void coarsenX();
    void coarsenY();
    void mergeSmallest(size_t keep);
    void mergeInto(size_t other, size_t from);

    // Total x cells the grids may reach before the x scale coarsens: the cell
    // width stays at most the total span / 4096 (half a pixel at 2,048 px).
    static constexpr int64_t kXCellsBeforeCoarsening = 2 * 4096;
    // From 33 on, every position falls into x cell 0.
    static constexpr int kMaxXShift = 33;

    double inlimit_;
    double drawLimit_; // max(inlimit, 1): rows up to it are drawn
    // The current chromosome's row count and span, kept here for the row path.
    int64_t rows_ = 0;
    int32_t min_ = std::numeric_limits<int32_t>::max();
    int32_t max_ = std::numeric_limits<int32_t>::min();
    int current_ = -1;
    int64_t spanOthers_ = 0; // sum of the spans of the other chromosomes
    int xShift_ = 0, yShift_ = 7;
    int64_t maxLog2Fixed_ = -1;
    int64_t retained_ = 0, retainedTop_ = 0, retainedAbove1_ = 0, retainedNotNumber_ = 0;
    int64_t drawn_ = 0, extremes_ = 0;
    PlotChromosome* cursorChromosome_ = nullptr;
    uint64_t* cursorCells_ = nullptr;
    uint32_t cursorColLo_ = 0, cursorLo_ = 1, cursorHi_ = 0;
    int64_t cursorSpanLimit_ = 0;
    size_t extremesHeld_ = 0;
    double extremeStep_ = 1.0 / 64; // value step of thinned extreme markers
    int extremeXShift_ = 0;         // their x cells: the grid's, this many times coarser
    std::vector<PlotChromosome> chromosomes_;
    // Retained x-cell range per chromosome (the grid may hold spare cells).
    std::vector<uint32_t> usedLo_, usedHi_;
    std::unordered_map<std::string, int> index_;
    std::vector<PlotPeak> peaks_;
    std::vector<PlotLocus> loci_;
    PlotHistogram histogram_;
    static constexpr size_t kPendingSize = 4096;
    static constexpr uint64_t kNotAPValue = ~uint64_t(0);
    std::vector<uint64_t> pending_ = std::vector<uint64_t>(kPendingSize);
    size_t pendingCount_ = 0;
};


