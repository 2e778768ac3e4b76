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
    if (log10_) {
        for (size_t i = 0; i < r.size(); ++i) {
            const double v = r.values[i];
            if (v > kPlotExtremeLog10 && r.numbers[i] && std::isfinite(v))
                collector_.addExtreme(r.positions[i], std::pow(10.0, -v), v);
            else
                collector_.addRow(r.positions[i], std::pow(10.0, -v), r.numbers[i] != 0);
        }
        return;
    }
    // Rows whose p text lies below the normal range come with the -log10 p
    // of their text, in row order; the rows between them go as runs.
    size_t from = 0;
    for (const ObservedRows::Exact& e : r.exact) {
        collector_.addRows(r.positions.data() + from, r.values.data() + from, r.numbers.data() + from, e.row - from);
        collector_.addExtreme(r.positions[e.row], r.values[e.row], e.log10p);
        from = e.row + 1;
    }
    collector_.addRows(r.positions.data() + from, r.values.data() + from, r.numbers.data() + from, r.size() - from);
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
