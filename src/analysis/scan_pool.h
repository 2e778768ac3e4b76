// Chromosome scans on worker threads: chromosomes go in in order, their
// peaks come out in the same order, whatever order the workers finish in.
// Each worker owns its scan object; nothing is shared but the queues.
#pragma once
#include "chromosome_scan.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

class ScanPool {
public:
    ScanPool(const AnalysisSettings& settings, int threads);
    ~ScanPool();
    ScanPool(const ScanPool&) = delete;
    ScanPool& operator=(const ScanPool&) = delete;

    // Hands one chromosome's retained markers to the workers.
    void submit(IntVector positions, DoubleVector pvalues, bool valuesAreLog10);
    // Chromosomes submitted whose peaks have not been taken yet.
    size_t inFlight() const;
    // The peaks of the oldest chromosome not taken yet: false when it is not
    // done (or none is left); with wait, waits until it is done. A worker's
    // failure (out of memory) is thrown here.
    bool takeNext(std::vector<PeakFeatures>& peaks, bool wait);

private:
    struct Job {
        uint64_t sequence;
        IntVector positions;
        DoubleVector pvalues;
        bool log10;
    };
    void work();

    const AnalysisSettings& settings_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    std::map<uint64_t, std::vector<PeakFeatures>> done_;
    uint64_t submitted_ = 0, taken_ = 0;
    bool closing_ = false;
    std::exception_ptr failure_; // the first exception of a worker, rethrown to the taker
    std::vector<std::thread> workers_;
};
