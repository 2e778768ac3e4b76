// Feeds every row of a table to the figure's collector on a worker of its
// own (PipelineSink), so the thread that parses the rows does not also
// count them into the figure's histogram and grids. The rows go over in
// the reader's runs, taken whole (no copy), in input order with the
// chromosome changes between them, so the collector sees exactly what it
// would see fed in place; at most a few runs wait at a time, and emptied
// runs come back for the reader to fill again. Where no worker can be
// started, the rows are fed in place.
#pragma once
#include "plot/plot_collector.h"
#include "io/table_reader.h"
#include "base/pipeline.h"

#include <string>

class FigureRows : public RowObserver {
public:
    FigureRows(PlotCollector& collector, bool valuesAreLog10);
    ~FigureRows() override;
    FigureRows(const FigureRows&) = delete;
    FigureRows& operator=(const FigureRows&) = delete;

    void chromosome(std::string_view name) override;
    void rows(ObservedRows& rows) override;
    // Waits until every row handed over is in the collector; rethrows what
    // the collector threw (such as std::bad_alloc). The collector is the
    // caller's again afterwards.
    void finish();

private:
    struct Item {
        bool isChromosome = false;
        std::string chromosome;
        ObservedRows rows;
    };
    // Into the collector.
    void feed(const Item& item);

    PlotCollector& collector_;
    const bool log10_;
    PipelineSink<Item> sink_;
};
