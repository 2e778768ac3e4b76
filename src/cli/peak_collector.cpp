// Batch analysis and the chromosome gathering for sorted runs.
#include "cli/peak_collector.h"

#include "report/peak_row.h"

#include <algorithm>
#include <numeric>

PeakCollector::PeakCollector(const RunOptions& options, const std::string& table, OutputFile& report)
    : sorting_(options.sortMarkers), maxInFlight_(2 * static_cast<size_t>(std::max(options.threads, 1))), table_(table), report_(report),
      scan_(options.analysis)
{
    if (options.threads > 1)
        pool_ = std::make_unique<ScanPool>(options.analysis, options.threads);
}

void PeakCollector::take(ChromosomeBatch& batch)
{
    if (sorting_)
        gather(batch);
    else
        analyse(batch);
}

void PeakCollector::finish()
{
    std::sort(gathered_.begin(), gathered_.end(),
              [](const ChromosomeBatch& a, const ChromosomeBatch& b) { return a.order < b.order; });
    for (ChromosomeBatch& batch : gathered_) {
        sortByPosition(batch);
        analyse(batch);
    }
    gathered_.clear();
    gatheredIndex_.clear();
    if (pool_)
        drain(true);
}

void PeakCollector::finishHanded()
{
    if (pool_)
        drain(true);
}

void PeakCollector::gather(ChromosomeBatch& batch)
{
    if (batch.positions.empty())
        return; // an empty batch gives no row, sorted or not
    const auto [it, added] = gatheredIndex_.emplace(batch.order, gathered_.size());
    if (added)
        gathered_.push_back({batch.chromosome, {}, {}, {}, batch.order, batch.valuesAreLog10});
    ChromosomeBatch& into = gathered_[it->second];
    if (into.valuesAreLog10 != batch.valuesAreLog10) { // one holds a p below the normal range
        toLog10Values(into);
        toLog10Values(batch);
    }
    into.positions.insert(into.positions.end(), batch.positions.begin(), batch.positions.end());
    into.pvalues.insert(into.pvalues.end(), batch.pvalues.begin(), batch.pvalues.end());
    std::move(batch.ids.begin(), batch.ids.end(), std::back_inserter(into.ids));
}

void PeakCollector::analyse(ChromosomeBatch& batch)
{
    const int order = batch.order;
    if (!pool_) {
        features_.clear();
        scan_.analyse(batch.positions, batch.pvalues, features_, batch.valuesAreLog10);
        record({batch.chromosome, order, std::move(batch.ids)}, features_);
        batch.ids.clear();
        return;
    }
    while (pool_->inFlight() >= maxInFlight_)
        drain(false);
    pool_->submit(std::move(batch.positions), std::move(batch.pvalues), batch.valuesAreLog10);
    pending_.push_back({batch.chromosome, order, std::move(batch.ids)});
    batch.positions.clear();
    batch.pvalues.clear();
    batch.ids.clear();
    drain(false);
}

// Writes the rows of the chromosomes the workers have finished, in order;
// waits for the oldest one when wait (or when too many are in flight),
// for all of them at the end.
void PeakCollector::drain(bool wait)
{
    const bool all = wait;
    bool block = wait || pool_->inFlight() >= maxInFlight_;
    while (!pending_.empty() && pool_->takeNext(features_, block)) {
        record(pending_.front(), features_);
        pending_.pop_front();
        block = all;
    }
}

void PeakCollector::record(const Pending& chromosome, const std::vector<PeakFeatures>& features)
{
    rows_.clear();
    for (const PeakFeatures& f : features) {
        appendPeakRow(rows_, table_, chromosome.chromosome, f);
        std::string id = f.leadInput < chromosome.ids.size()
                             ? chromosome.ids[f.leadInput]
                             : chromosome.chromosome + ":" + std::to_string(f.leadPosition);
        peaks_.push_back({chromosome.chromosome, chromosome.order, f, std::move(id)});
    }
    report_.write(rows_);
}

void sortByPosition(ChromosomeBatch& batch)
{
    std::vector<uint32_t> order(batch.positions.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return batch.positions[a] < batch.positions[b]; });
    ChromosomeBatch sorted{batch.chromosome, {}, {}, {}, batch.order, batch.valuesAreLog10};
    sorted.positions.reserve(order.size());
    sorted.pvalues.reserve(order.size());
    for (uint32_t k : order) {
        sorted.positions.push_back(batch.positions[k]);
        sorted.pvalues.push_back(batch.pvalues[k]);
        if (k < batch.ids.size())
            sorted.ids.push_back(std::move(batch.ids[k]));
    }
    batch = std::move(sorted);
}
