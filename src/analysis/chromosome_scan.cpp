// The peak loop: while the profile still reaches the threshold, choose the
// next chunk (on the tree, or linearly over the compacted markers), report
// it when it qualifies, and remove it. The scan in pseudo-code: doc/scan.md.
#include "analysis/chromosome_scan.h"

#include "analysis/profile_preparation.h"

#include <algorithm>
#include <numeric>

namespace {
// Below this many prepared markers the scan never compacts them.
constexpr size_t kCompactionFloor = 1024;
// The longest run of linear iterations before the tree is tried again.
constexpr int kMaxLinearRun = 255;
// A listed level of more chunks than this lets the walk by levels go first.
constexpr int kLongLevel = 64;
} // namespace

ScanSteps productionSteps()
{
    return {compressPositions, buildChunks, true, ScanSteps::Levels::AfterLongListings};
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
    while (remaining_.count() > 0 && takeOutNextChunk(peaks)) {
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
    if (!markers_.positions.empty()) {
        trimBackground(markers_);
        smoothProfile(markers_);
        steps_.compress(markers_, settings_.shrink);
        straightenPositions(markers_);
    }
    positionsSorted_ = std::is_sorted(markers_.positions.begin(), markers_.positions.end());
    remaining_.reset(markers_.work, markers_.smoothed);
    treeChunks_.forget();
    linearRunLength_ = linearRunLeft_ = 0;
    levelsFirst_ = false;
}

// One iteration of the peak loop; false when the profile no longer reaches
// the threshold.
bool ChromosomeScan::takeOutNextChunk(std::vector<PeakFeatures>& peaks)
{
    if (settings_.peakThreshold > remaining_.runningMax(kNoMaximum))
        return false;
    compactIfSparse();
    ScanChoice choice;
    const bool onTree = chooseOnTree(choice);
    if (!onTree && !chooseLinearly(choice))
        return false;
    ++(onTree ? treeChoices_ : linearChoices_);
    if (choice.steps > settings_.dots && choice.height > settings_.peakThreshold && choice.beyondSecond) {
        reported_.left.push_back(markers_.positions[choice.first]);
        reported_.right.push_back(markers_.positions[choice.last]);
        if (auto features = measure(choice))
            peaks.push_back(*features);
    }
    if (takenLog_)
        takenLog_->push_back({markers_.positions[choice.first], markers_.positions[choice.last], choice.steps,
                              choice.height, choice.beyondSecond});
    remaining_.remove(choice.first, choice.last, markers_.work);
    return true;
}

// The choice on the tree, unless the tree gave up lately: where it does
// (paths with many distinct wide gaps), trying every iteration would add its
// budget to every linear iteration. The walk by levels goes first after it
// chose, or after a listing with a long level of chunks that may score;
// otherwise it is tried when the listing gives up.
bool ChromosomeScan::chooseOnTree(ScanChoice& choice)
{
    if (!steps_.treeChoice)
        return false;
    if (linearRunLeft_ > 0) {
        --linearRunLeft_;
        return false;
    }
    const bool walk = steps_.levels != ScanSteps::Levels::Never;
    const bool walkFirst = walk && (levelsFirst_ || steps_.levels == ScanSteps::Levels::Always);
    if (walkFirst && chooseByLevels(choice))
        return true;
    if (treeChunks_.choose(markers_, remaining_, reported_, settings_, positionsSorted_, choice)) {
        linearRunLength_ = 0;
        // A long level of chunks that may score is listed and scored in
        // full every iteration: the walk goes first next time.
        levelsFirst_ = treeChunks_.listed() > kLongLevel && treeChunks_.longestScorableLevel() > kLongLevel;
        return true;
    }
    if (walk && !walkFirst && chooseByLevels(choice))
        return true;
    linearRunLength_ = std::min(2 * linearRunLength_ + 1, kMaxLinearRun);
    linearRunLeft_ = linearRunLength_;
    return false;
}

// The choice by levels, where no drop is scored. It leaves nothing for the
// listing to reuse, so the listing starts afresh after it.
bool ChromosomeScan::chooseByLevels(ScanChoice& choice)
{
    int budget = treeStepBudget(remaining_.count());
    levelsFirst_ = ::chooseByLevels(markers_, remaining_, reported_, positionsSorted_, budget, choice) == LevelWalk::Chosen;
    if (!levelsFirst_)
        return false;
    treeChunks_.forget();
    linearRunLength_ = 0;
    ++levelChoices_;
    return true;
}

// The straightforward iteration: the nested chunks of the compacted
// remaining markers, built in full, and the choice among them.
bool ChromosomeScan::chooseLinearly(ScanChoice& choice)
{
    compacted_.positions.clear();
    compacted_.values.clear();
    compacted_.work.clear();
    compacted_.smoothed.clear();
    compacted_.origin.clear();
    compactedIndex_.clear();
    for (int i = remaining_.first(); i != RemainingMarkers::kNone; i = remaining_.next(i)) {
        compacted_.positions.push_back(markers_.positions[i]);
        compacted_.values.push_back(markers_.values[i]);
        compacted_.work.push_back(markers_.work[i]);
        compacted_.smoothed.push_back(markers_.smoothed[i]);
        compacted_.origin.push_back(markers_.origin[i]);
        compactedIndex_.push_back(i);
    }
    steps_.buildChunks(compacted_, chunks_, scratch_);
    LinearChunks linear(compacted_, chunks_);
    int chosen = 0;
    if (!chooseChunk(linear, reported_, settings_, chosen))
        return false; // no chunk: working positions not increasing, which compression rules out
    const int first = chunks_.start[chosen];
    const int last = chunks_.end[chosen];
    choice.first = compactedIndex_[first];
    choice.last = compactedIndex_[last];
    choice.steps = last - first;
    choice.height = chunks_.height[chosen];
    choice.beyondSecond = chosen > 1;
    choice.compactedFirst = first;
    return true;
}

// The report row's measures: over the chunk and up to two remaining markers
// on each side, as in the compacted vectors.
std::optional<PeakFeatures> ChromosomeScan::measure(const ScanChoice& choice) const
{
    if (choice.compactedFirst >= 0)
        return measurePeak(compacted_, choice.compactedFirst, choice.compactedFirst + static_cast<int>(choice.steps));
    constexpr int kOverhang = 2;
    int from = choice.first, to = choice.last, before = 0;
    for (; before < kOverhang && remaining_.previous(from) != RemainingMarkers::kNone; ++before)
        from = remaining_.previous(from);
    for (int k = 0; k < kOverhang && remaining_.next(to) != RemainingMarkers::kNone; ++k)
        to = remaining_.next(to);
    Markers window;
    for (int i = from;; i = remaining_.next(i)) {
        window.positions.push_back(markers_.positions[i]);
        window.values.push_back(markers_.values[i]);
        window.origin.push_back(markers_.origin[i]);
        if (i == to)
            break;
    }
    auto features = measurePeak(window, before, before + static_cast<int>(choice.steps));
    if (features)
        features->leadIndex += static_cast<size_t>(std::max(remaining_.rankOf(choice.first) - kOverhang, 0));
    return features;
}

// Drops the removed markers once they are the majority, so that every
// structure stays proportional to the remaining markers.
void ChromosomeScan::compactIfSparse()
{
    const size_t left = static_cast<size_t>(remaining_.count());
    if (markers_.size() < kCompactionFloor || 2 * left >= markers_.size())
        return;
    markers_.keepIf([&](size_t i) { return remaining_.remains(static_cast<int>(i)); });
    remaining_.reset(markers_.work, markers_.smoothed);
    treeChunks_.forget();
}
