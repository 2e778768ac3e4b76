// Analysing a table's chromosome batches: the report rows of each batch, in
// input order, and every reported peak with its lead marker for the BED
// file and the summary. With threads, chromosomes are analysed on workers
// while the reader goes on; with sorting, batches are gathered per
// chromosome and analysed at the end of the table, each sorted by position.
#pragma once
#include "cli/options.h"
#include "analysis/chromosome_scan.h"
#include "report/reported_peak.h"
#include "io/output_file.h"
#include "analysis/scan_pool.h"

#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class PeakCollector {
public:
    PeakCollector(const RunOptions& options, const std::string& table, OutputFile& report);

    // Takes one batch: analyses it now (or hands it to the workers), or keeps
    // it for finish() when sorting.
    void take(ChromosomeBatch& batch);
    // Analyses the gathered chromosomes and waits for the workers; every
    // row is in the report when it returns.
    void finish();
    // After a read error: waits for the chromosomes already handed over and
    // writes their rows (gathered ones are not analysed).
    void finishHanded();

    const std::vector<ReportedPeak>& peaks() const { return peaks_; }

private:
    // What the rows of a chromosome need beyond its peaks.
    struct Pending {
        std::string chromosome;
        int order;
        std::vector<std::string> ids;
    };
    void analyse(ChromosomeBatch& batch);
    void gather(ChromosomeBatch& batch);
    void record(const Pending& chromosome, const std::vector<PeakFeatures>& features);
    void drain(bool wait);

    const bool sorting_;
    const size_t maxInFlight_;
    const std::string& table_;
    OutputFile& report_;
    ChromosomeScan scan_;
    std::unique_ptr<ScanPool> pool_; // with more than one thread
    std::deque<Pending> pending_;    // chromosomes with the workers, in order
    std::vector<ChromosomeBatch> gathered_;            // chromosomes with markers, when sorting
    std::unordered_map<int, size_t> gatheredIndex_;    // a chromosome's order -> its place in gathered_
    std::vector<PeakFeatures> features_;
    std::vector<ReportedPeak> peaks_;
    std::string rows_;
};

// Sorts a batch's markers by position; equal positions keep their order.
void sortByPosition(ChromosomeBatch& batch);
