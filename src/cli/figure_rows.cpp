// The figure's rows counted on a worker: runs and chromosome changes go
// through a short pipeline between the reader and that worker.
#include "cli/figure_rows.h"

#include <cmath>

namespace {
// Runs waiting at most: a run is a few thousand rows.
constexpr size_t kWaiting = 8;
} // namespace

FigureRows::FigureRows(PlotCollector& collector, bool valuesAreLog10)
    : collector_(collector), log10_(valuesAreLog10), sink_(kWaiting, [this](Item& item) { feed(item); })
{
}

FigureRows::~FigureRows()
{
    try {
        finish();
    } catch (...) {
        // The table has failed already: nothing more to say.
    }
}

void FigureRows::feed(const Item& item)
{
    if (item.isChromosome) {
        collector_.startChromosome(item.chromosome);
        return;
    }
    const ObservedRows& r = item.rows;
    for (size_t i = 0; i < r.size(); ++i)
        collector_.addRow(r.positions[i], log10_ ? std::pow(10.0, -r.values[i]) : r.values[i], r.numbers[i] != 0);
}

void FigureRows::chromosome(std::string_view name)
{
    Item item;
    item.isChromosome = true;
    item.chromosome.assign(name);
    sink_.push(std::move(item));
}

void FigureRows::rows(ObservedRows& rows)
{
    Item item;
    std::swap(item.rows, rows);
    Item spare;
    if (sink_.spare(spare)) // an emptied run's room, for the reader to fill
        std::swap(rows, spare.rows);
    sink_.push(std::move(item));
}

void FigureRows::finish()
{
    sink_.finish();
}
