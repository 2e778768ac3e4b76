// The tree form of the nested chunks: listing on the chunk path, the listed
// chunks kept between iterations, the choice's result. The invariants that
// make it choose as the linear form does: doc/scan.md.
#include "analysis/tree_chunks.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kMinBudget = 64;
constexpr int kBudgetDivisor = 16;

constexpr double kUnknownHeight = std::numeric_limits<double>::quiet_NaN();

} // namespace

int treeStepBudget(int remaining)
{
    return std::max(kMinBudget, remaining / kBudgetDivisor);
}

// After the last choice's final marker went, the listed chunks whose cuts it
// cannot change stay: it lay strictly inside every one of them, so their
// last ranks and cut margins drop by one. A chunk's cut holds while the gap
// now spanning the marker is narrower than the gap cut at and the margin
// lasts; its height holds while the marker was below it.
void TreeChunks::reuseListedChunks(RemovedFinal removed)
{
    size_t kept = 0;
    if (removed.index != RemainingMarkers::kNone) {
        const double removedValue = m_->smoothed[removed.index];
        int cutFrom = listedFrom_;
        for (; kept < chunks_.size(); ++kept) {
            PathChunk& c = chunks_[kept];
            if (c.isLast || removed.index == cutFrom || removed.mergedGap >= c.cutWidest || c.cutSlack < 1)
                break;
            --c.cutSlack;
            --c.lastRank;
            if (removedValue >= heights_[kept])
                heights_[kept] = kUnknownHeight;
            cutFrom = c.first;
        }
    }
    chunks_.resize(kept);
    heights_.resize(kept);
    listedFrom_ = remaining_->first();
    if (kept == 0) {
        path_.start(*remaining_);
        return;
    }
    PathChunk& last = chunks_.back();
    last.widestGap = last.firstRank < last.lastRank ? remaining_->widestGap(last.first + 1, last.last) : 0;
    path_.resume(last, last.widestGap);
}

void TreeChunks::addChunk(const PathChunk& chunk)
{
    chunks_.push_back(chunk);
    heights_.push_back(kUnknownHeight);
}

int TreeChunks::longestScorableLevel() const
{
    int longest = 0;
    for (size_t k = 0, run = 0; k < chunks_.size(); ++k) {
        const int64_t widest = chunks_[k].widestGap;
        run = k > 0 && widest == chunks_[k - 1].widestGap ? run + 1 : 1;
        if (widestGapMayScore(widest))
            longest = std::max(longest, static_cast<int>(run));
    }
    return longest;
}

bool TreeChunks::extend()
{
    PathChunk chunk;
    if (--budget_ < 0 || !path_.next(*remaining_, chunk))
        return false;
    addChunk(chunk);
    return true;
}

// The path's final marker by jumps over runs of equal gaps (chunk_path.h).
bool TreeChunks::listFinal()
{
    const int end = path_.finalMarker(*remaining_, budget_, removed_);
    if (end == RemainingMarkers::kNone)
        return false;
    addChunk(PathChunk{0, 0, end, end, 0, true, 0, 0});
    finalListed_ = true;
    return true;
}

double TreeChunks::height(int item)
{
    double& height = heights_[static_cast<size_t>(item)];
    if (std::isnan(height)) {
        const PathChunk& c = chunks_[static_cast<size_t>(item)];
        height = remaining_->runningMax(kNoMaximum, c.first, c.last);
    }
    return height;
}

bool TreeChunks::choose(const Markers& m, const RemainingMarkers& remaining, const ReportedRanges& reported,
                        const AnalysisSettings& settings, bool positionsSorted, ScanChoice& choice)
{
    m_ = &m;
    remaining_ = &remaining;
    positionsSorted_ = positionsSorted;
    removed_ = RemovedFinal{};
    if (lastFinal_ != RemainingMarkers::kNone && afterLastFinal_ != RemainingMarkers::kNone)
        removed_ = {lastFinal_, remaining.gapAt(afterLastFinal_)};
    lastFinal_ = RemainingMarkers::kNone;
    finalListed_ = false;
    budget_ = treeStepBudget(remaining.count());
    reuseListedChunks(removed_);
    int item = 0;
    if (!chooseChunk(*this, reported, settings, item))
        return false;
    const PathChunk& c = chunks_[static_cast<size_t>(item)];
    choice.first = c.first;
    choice.last = c.last;
    choice.steps = c.lastRank - c.firstRank;
    choice.height = height(item);
    choice.beyondSecond = item > 1;
    choice.compactedFirst = -1;
    if (!outerListed(item)) {
        // The path's final marker: the next iteration reuses what it can.
        lastFinal_ = c.first;
        afterLastFinal_ = remaining.next(c.first);
    }
    return true;
}
