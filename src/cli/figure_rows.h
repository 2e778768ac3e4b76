// Feeds every row of a table to the figure's collector on a thread of its
// own, so the thread that parses the rows does not also count them into
// the figure's histogram and grids. The rows go over in the reader's runs,
// taken whole (no copy), in input order with the chromosome changes between
// them, so the collector sees exactly what it would see fed in place; at
// most a few runs wait at a time. Where no thread can be started, the rows
// are fed in place.
#pragma once
#include "plot_collector.h"
#include "table_reader.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
    // Into the collector; what the collector throws is kept for finish().
    void feed(const Item& item);
    void work();
    void put(Item item);

    PlotCollector& collector_;
    const bool log10_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
    std::vector<ObservedRows> spare_; // emptied runs, for the reader to fill again
    bool closed_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};
