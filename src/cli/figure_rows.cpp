// The figure's rows counted on a thread of their own: a small queue of
// runs and chromosome changes between the reader and that thread.
#include "figure_rows.h"

#include <cmath>
#include <system_error>

namespace {
// Runs waiting at most: a run is a few thousand rows.
constexpr size_t kWaiting = 8;
} // namespace

FigureRows::FigureRows(PlotCollector& collector, bool valuesAreLog10) : collector_(collector), log10_(valuesAreLog10)
{
    try {
        thread_ = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        // No thread to be had: every run is fed in place.
    }
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
    if (error_) // the collector failed: the rest is not counted
        return;
    try {
        if (item.isChromosome) {
            collector_.startChromosome(item.chromosome);
            return;
        }
        const ObservedRows& r = item.rows;
        for (size_t i = 0; i < r.size(); ++i)
            collector_.addRow(r.positions[i], log10_ ? std::pow(10.0, -r.values[i]) : r.values[i], r.numbers[i] != 0);
    } catch (...) {
        error_ = std::current_exception();
    }
}

void FigureRows::work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closed_ || !queue_.empty(); });
        if (queue_.empty())
            return;
        Item item = std::move(queue_.front());
        queue_.pop_front();
        changed_.notify_all();
        lock.unlock();
        feed(item); // only this thread touches the collector and error_ while it runs
        lock.lock();
        if (!item.isChromosome && spare_.size() < kWaiting)
            spare_.push_back(std::move(item.rows));
    }
}

void FigureRows::put(Item item)
{
    if (!thread_.joinable()) {
        feed(item);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kWaiting; });
    queue_.push_back(std::move(item));
    changed_.notify_all();
}

void FigureRows::chromosome(std::string_view name)
{
    Item item;
    item.isChromosome = true;
    item.chromosome.assign(name);
    put(std::move(item));
}

void FigureRows::rows(ObservedRows& rows)
{
    Item item;
    std::swap(item.rows, rows);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!spare_.empty()) { // an emptied run's room, for the reader to fill
            std::swap(rows, spare_.back());
            spare_.pop_back();
        }
    }
    put(std::move(item));
}

void FigureRows::finish()
{
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    if (error_) {
        const std::exception_ptr e = error_;
        error_ = nullptr;
        std::rethrow_exception(e);
    }
}
