// The peak loop: while the profile still reaches the threshold, build the
// nested chunks, choose one, report it when it qualifies, and remove it.
#include "chromosome_scan.h"

#include "profile_preparation.h"

#include <numeric>

ScanSteps productionSteps()
{
    return {compressPositions, buildChunks};
}

ChromosomeScan::ChromosomeScan(const AnalysisSettings& settings, ScanSteps steps)
    : settings_(settings), steps_(steps)
{
}

void ChromosomeScan::analyse(IntVector& positions, DoubleVector& pvalues, std::vector<PeakFeatures>& peaks,
                             bool valuesAreLog10)
{
    markers_.positions.swap(positions);
    markers_.values.swap(pvalues);
    if (!valuesAreLog10)
        markers_.values = negativeLog10(std::move(markers_.values));
    reported_.clear();
    prepare();
    while (!markers_.work.empty() && takeOutNextChunk(peaks)) {
    }
    positions.swap(markers_.positions);
    pvalues.swap(markers_.values);
    positions.clear();
    pvalues.clear();
}

void ChromosomeScan::prepare()
{
    markers_.work.assign(markers_.positions.begin(), markers_.positions.end());
    markers_.smoothed = markers_.values;
    markers_.origin.resize(markers_.positions.size());
    std::iota(markers_.origin.begin(), markers_.origin.end(), 0u);
    if (markers_.positions.empty())
        return;
    trimBackground(markers_);
    smoothProfile(markers_);
    steps_.compress(markers_, settings_.shrink);
    straightenPositions(markers_);
}

// One iteration of the peak loop; false when the profile no longer reaches
// the threshold.
bool ChromosomeScan::takeOutNextChunk(std::vector<PeakFeatures>& peaks)
{
    if (settings_.peakThreshold > largestValue(markers_.smoothed))
        return false;
    steps_.buildChunks(markers_, chunks_, scratch_);
    if (chunks_.size() == 0)
        return false; // working positions not increasing: cannot happen after compression
    const int chosen = chooseChunk(markers_, chunks_, reported_, settings_);
    const int first = chunks_.start[chosen];
    const int last = chunks_.end[chosen];
    if (last - first > settings_.dots && chunks_.height[chosen] > settings_.peakThreshold && chosen > 1) {
        reported_.left.push_back(markers_.positions[first]);
        reported_.right.push_back(markers_.positions[last]);
        if (auto features = measurePeak(markers_, first, last))
            peaks.push_back(*features);
    }
    markers_.keepIf([&](size_t i) { return static_cast<int>(i) < first || static_cast<int>(i) > last; });
    return true;
}
