// Streaming collection of what the Manhattan and QQ panels need from one
// table, in memory that does not grow with the number of rows.
//
// Per chromosome (in order of first appearance; a name that comes back later
// in an ungrouped table extends the same chromosome): the smallest and
// largest position of all its rows and its row count, and a grid of
// occupied cells of its retained markers (p <= inlimit). The grid's x cells
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
// addRow is the per-row path: a handful of compares and one increment for a
// row that is not retained; a table lookup and one bit set for a retained
// one. Nothing is allocated or hashed per row.
#pragma once
#include "plot/plot_histogram.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A reported peak, as the analysis reports it.
struct PlotPeak {
    std::string chromosome;
    int32_t first = 0, last = 0; // range of positions; either order
    double gqs = 1;              // quality score, 1..5
    double height = 0;           // -log10 p of the summit
    std::string label;           // lead marker label
};

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
    int64_t retained = 0;                      // rows drawn in the Manhattan panel
    // Grid of retained markers: x cells colLo .. colLo + cols - 1, each
    // kPlotCellWords words of y-cell bits.
    uint32_t colLo = 0;
    uint32_t cols = 0;
    std::vector<uint64_t> cells;

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
    // Largest -log2 p (fixed point, 4096 per unit) of a retained marker drawn
    // at its value; -1 when there is none.
    int64_t maxLog2Fixed = -1;
    int64_t rows = 0;
    int64_t retained = 0;        // markers in the Manhattan grid
    int64_t retainedTop = 0;     // of which drawn at the top (p <= 0, smallest subnormal)
    int64_t retainedAbove1 = 0;  // of which p > 1, drawn at 0
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
        if (p <= inlimit_)
            addRetained(position, p, pIsNumber);
    }

    void addPeak(const PlotPeak& peak);
    void addLocus(const PlotLocus& locus);

    // Everything collected; the collector is left empty.
    PlotModel finish() &&;

private:
    void addRetained(int32_t position, double p, bool pIsNumber);
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
    // The current chromosome's row count and span, kept here for the row path.
    int64_t rows_ = 0;
    int32_t min_ = std::numeric_limits<int32_t>::max();
    int32_t max_ = std::numeric_limits<int32_t>::min();
    int current_ = -1;
    int64_t spanOthers_ = 0; // sum of the spans of the other chromosomes
    int xShift_ = 0, yShift_ = 7;
    int64_t maxLog2Fixed_ = -1;
    int64_t retained_ = 0, retainedTop_ = 0, retainedAbove1_ = 0, retainedNotNumber_ = 0;
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

// -log2 p in fixed point (4096 per unit) for 0 < p <= 1 from the bits of p,
// through a 4096-entry table: at or above the exact value, by less than
// 2.5/4096 (0.0002 in -log10 p).
int64_t plotMinusLog2Fixed(double p);
