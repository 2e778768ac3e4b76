// Batch analysis and the chromosome gathering for sorted runs.
#include "peak_collector.h"

#include "peak_row.h"

#include <algorithm>
#include <numeric>

PeakCollector::PeakCollector(const RunOptions& options, const TableLayout& layout, const std::string& table,
                             ReportWriter& report)
    : sorting_(options.sortMarkers), log10Values_(layout.log10Values), table_(table), report_(report),
      scan_(options.analysis)
{
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
    for (ChromosomeBatch& batch : gathered_) {
        sortByPosition(batch);
        analyse(batch);
    }
    gathered_.clear();
}

void PeakCollector::gather(ChromosomeBatch& batch)
{
    const auto [it, added] = orders_.emplace(batch.chromosome, static_cast<int>(orders_.size()));
    if (added)
        gathered_.push_back({batch.chromosome, {}, {}, {}});
    ChromosomeBatch& into = gathered_[static_cast<size_t>(it->second)];
    into.positions.insert(into.positions.end(), batch.positions.begin(), batch.positions.end());
    into.pvalues.insert(into.pvalues.end(), batch.pvalues.begin(), batch.pvalues.end());
    std::move(batch.ids.begin(), batch.ids.end(), std::back_inserter(into.ids));
}

void PeakCollector::analyse(ChromosomeBatch& batch)
{
    const int order = orders_.emplace(batch.chromosome, static_cast<int>(orders_.size())).first->second;
    features_.clear();
    scan_.analyse(batch.positions, batch.pvalues, features_, log10Values_);
    rows_.clear();
    for (const PeakFeatures& f : features_) {
        appendPeakRow(rows_, table_, batch.chromosome, f);
        std::string id = f.leadInput < batch.ids.size() ? batch.ids[f.leadInput]
                                                        : batch.chromosome + ":" + std::to_string(f.leadPosition);
        peaks_.push_back({batch.chromosome, order, f, std::move(id)});
    }
    report_.write(rows_);
}

void sortByPosition(ChromosomeBatch& batch)
{
    std::vector<uint32_t> order(batch.positions.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return batch.positions[a] < batch.positions[b]; });
    ChromosomeBatch sorted{batch.chromosome, {}, {}, {}};
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
