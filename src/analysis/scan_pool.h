// Chromosome scans on worker threads: chromosomes go in in order, their
// peaks come out in the same order, whatever order the workers finish in
// (OrderedWork). Each worker slot owns its scan object. Where no worker can
// be started, each chromosome is scanned when it is submitted.
#pragma once
#include "analysis/chromosome_scan.h"
#include "base/ordered_work.h"

#include <memory>
#include <vector>

class ScanPool {
public:
    ScanPool(const AnalysisSettings& settings, int threads);
    ScanPool(const ScanPool&) = delete;
    ScanPool& operator=(const ScanPool&) = delete;

    // Hands one chromosome's retained markers to the workers.
    void submit(IntVector positions, DoubleVector pvalues, bool valuesAreLog10);
    // Chromosomes submitted whose peaks have not been taken yet.
    size_t inFlight() const { return work_.inFlight(); }
    // The peaks of the oldest chromosome not taken yet: false when it is not
    // done (or none is left); with wait, waits until it is done. A scan's
    // failure (out of memory) is thrown here in place of its peaks.
    bool takeNext(std::vector<PeakFeatures>& peaks, bool wait) { return work_.take(peaks, wait); }

private:
    struct Job {
        IntVector positions;
        DoubleVector pvalues;
        bool log10 = false;
    };
    std::vector<PeakFeatures> scan(Job& job, int slot);

    const AnalysisSettings& settings_;
    std::vector<std::unique_ptr<ChromosomeScan>> scans_; // one a slot, made on the slot's first chromosome
    OrderedWork<Job, std::vector<PeakFeatures>> work_;     // after scans_: its workers end first
};
