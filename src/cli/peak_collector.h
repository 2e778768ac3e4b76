// Analysing a table's chromosome batches: the report rows of each batch as
// it is analysed, and every reported peak with its lead marker for the BED
// file and the summary. With sorting, batches are gathered per chromosome
// and analysed at the end of the table, each sorted by position.
#pragma once
#include "options.h"
#include "chromosome_scan.h"
#include "reported_peak.h"
#include "report_writer.h"

#include <string>
#include <unordered_map>
#include <vector>

class PeakCollector {
public:
    PeakCollector(const RunOptions& options, const TableLayout& layout, const std::string& table, ReportWriter& report);

    // Takes one batch: analyses it now, or keeps it for finish() when sorting.
    void take(ChromosomeBatch& batch);
    // Analyses the gathered chromosomes, in order of first appearance.
    void finish();

    const std::vector<ReportedPeak>& peaks() const { return peaks_; }

private:
    void analyse(ChromosomeBatch& batch);
    void gather(ChromosomeBatch& batch);

    const bool sorting_, log10Values_;
    const std::string& table_;
    ReportWriter& report_;
    ChromosomeScan scan_;
    std::unordered_map<std::string, int> orders_;
    std::vector<ChromosomeBatch> gathered_; // by order of first appearance, when sorting
    std::vector<PeakFeatures> features_;
    std::vector<ReportedPeak> peaks_;
    std::string rows_;
};

// Sorts a batch's markers by position; equal positions keep their order.
void sortByPosition(ChromosomeBatch& batch);
