// A chromosome's scan on the slot that takes it.
#include "analysis/scan_pool.h"

ScanPool::ScanPool(const AnalysisSettings& settings, int threads)
    : settings_(settings), work_(threads, [this](Job& job, int slot) { return scan(job, slot); })
{
    scans_.resize(static_cast<size_t>(work_.workers()) + 1); // before the first submit
}

void ScanPool::submit(IntVector positions, DoubleVector pvalues, bool valuesAreLog10)
{
    work_.push({std::move(positions), std::move(pvalues), valuesAreLog10});
}

std::vector<PeakFeatures> ScanPool::scan(Job& job, int slot)
{
    std::unique_ptr<ChromosomeScan>& mine = scans_[static_cast<size_t>(slot)]; // no other thread has this slot
    if (!mine)
        mine = std::make_unique<ChromosomeScan>(settings_);
    std::vector<PeakFeatures> peaks;
    mine->analyse(job.positions, job.pvalues, peaks, job.log10);
    return peaks;
}
