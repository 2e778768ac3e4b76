// Chunk choice on the tree. The widest gap never grows along the path, so
// the chunks that can be scored (widest gap above 100) are a prefix of it;
// the first choice needs only that prefix. When it picks none, the choice is
// the path's end; with sorted positions a wider chunk spans whatever a
// narrower one spans, so the back-off either stays there or goes to chunk 0.
#include "tree_choice.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kMinBudget = 64;
constexpr int kBudgetDivisor = 16;
constexpr int kListedAtLeast = 3; // so that "beyond the second chunk" stays exact

constexpr double kUnknownHeight = std::numeric_limits<double>::quiet_NaN();

double heightOf(const RemainingMarkers& remaining, const PathChunk& c)
{
    return remaining.runningMax(kNoMaximum, c.first, c.last);
}

EdgeSample edgeSampleOf(const Markers& m, const RemainingMarkers& remaining, const PathChunk& c)
{
    const WorkPositions& L = m.work;
    const DoubleVector& P = m.smoothed;
    const int s = c.first, e = c.last;
    if (s == e) {
        const int after = remaining.next(e);
        return {P[e], P[e], after != RemainingMarkers::kNone ? L[after] - L[e] : 0, 0};
    }
    const int steps = c.lastRank - c.firstRank;
    const int s1 = remaining.next(s), e1 = remaining.previous(e);
    EdgeSample edges;
    if (steps == 1) {
        edges.left = (P[s] + P[s1]) * 0.5;
        edges.right = (P[e] + P[e1]) * 0.5;
    } else {
        edges.left = (P[s] + P[s1] + P[remaining.next(s1)]) / 3.0;
        edges.right = (P[e] + P[e1] + P[remaining.previous(e1)]) / 3.0;
    }
    edges.firstGap = L[s1] - L[s];
    edges.spacing = (L[e] - L[s]) / steps;
    return edges;
}

} // namespace

// After the last choice's final marker went, the listed chunks whose cuts it
// cannot change stay: it lay strictly inside every one of them, so their
// last ranks and cut margins drop by one. A chunk's cut holds while the gap
// now spanning the marker is narrower than the gap cut at and the margin
// lasts; its height holds while the marker was below it.
void TreeChooser::reuseListedChunks(const Markers& m, const RemainingMarkers& remaining, RemovedFinal removed)
{
    size_t kept = 0;
    if (removed.index != RemainingMarkers::kNone) {
        const double removedValue = m.smoothed[removed.index];
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
    listedFrom_ = remaining.first();
    if (kept == 0) {
        path_.start(remaining);
        return;
    }
    PathChunk& last = chunks_.back();
    last.widestGap = last.firstRank < last.lastRank ? remaining.widestGap(last.first + 1, last.last) : 0;
    path_.resume(last, last.widestGap);
}

bool TreeChooser::listScorablePrefix(const RemainingMarkers& remaining)
{
    PathChunk chunk;
    while (static_cast<int>(chunks_.size()) < kListedAtLeast || widestGapMayScore(chunks_.back().widestGap)) {
        if (--budget_ < 0)
            return false;
        if (!path_.next(remaining, chunk))
            break;
        addChunk(chunk);
    }
    return !chunks_.empty();
}

void TreeChooser::addChunk(const PathChunk& chunk)
{
    chunks_.push_back(chunk);
    heights_.push_back(kUnknownHeight);
}

double TreeChooser::heightAt(const RemainingMarkers& remaining, int item)
{
    double& height = heights_[static_cast<size_t>(item)];
    if (std::isnan(height))
        height = heightOf(remaining, chunks_[static_cast<size_t>(item)]);
    return height;
}

int TreeChooser::firstChoice(const Markers& m, const RemainingMarkers& remaining, FirstChoiceTally& tally)
{
    for (int item = static_cast<int>(chunks_.size()) - 1; item >= 0; --item) {
        const PathChunk& c = chunks_[static_cast<size_t>(item)];
        const int64_t steps = c.lastRank - c.firstRank;
        const int64_t spacing = steps > 0 ? meanSpacing(m.work[c.last] - m.work[c.first], steps) : 0;
        if (!gapsAllowScoring(c.widestGap, spacing))
            continue;
        const ChunkMeasures measures{c.widestGap, spacing, steps,
                                     int64_t(m.positions[c.last]) - m.positions[c.first], heightAt(remaining, item)};
        if (chunkScored(measures))
            tally.addScored(item, c.widestGap, spacing, item >= 1 ? chunks_[item - 1].widestGap : 0);
    }
    // Unlisted chunks cannot be scored; a path not yet done has more chunks.
    const int listed = static_cast<int>(chunks_.size());
    return tally.choice(path_.done() ? listed : listed + 1);
}

bool TreeChooser::walkInward(const Markers& m, const RemainingMarkers& remaining, const AnalysisSettings& settings,
                             int& report)
{
    const double clipLimit = edgeClipLimit(settings);
    PathChunk chunk;
    while (!chunks_[report].isLast && heightAt(remaining, report) > settings.peakThreshold && report > 0) {
        if (!edgesLookLikeBackground(edgeSampleOf(m, remaining, chunks_[report]), clipLimit))
            break;
        ++report;
        if (report == static_cast<int>(chunks_.size())) {
            if (--budget_ < 0 || !path_.next(remaining, chunk))
                return false;
            addChunk(chunk);
        }
    }
    return true;
}

int TreeChooser::backOff(const Markers& m, const ReportedRanges& reported, bool positionsSorted, int report) const
{
    auto spanned = [&](int item) {
        const PathChunk& c = chunks_[static_cast<size_t>(item)];
        return reported.spannedBy(m.positions[c.first], m.positions[c.last]);
    };
    if (positionsSorted)
        return report > 0 && spanned(report) ? 0 : report;
    while (report > 0 && spanned(report))
        --report;
    return report;
}

ScanChoice TreeChooser::choiceOf(const PathChunk& chunk, double height, bool beyondSecond) const
{
    ScanChoice choice;
    choice.first = chunk.first;
    choice.last = chunk.last;
    choice.steps = chunk.lastRank - chunk.firstRank;
    choice.height = height;
    choice.beyondSecond = beyondSecond;
    return choice;
}

// The path's end, beyond the listed chunks (at least three): the walk cannot
// move it, and the back-off either keeps it or, with sorted positions, goes
// to chunk 0.
bool TreeChooser::choosePathEnd(const Markers& m, const RemainingMarkers& remaining, const ReportedRanges& reported,
                                bool positionsSorted, RemovedFinal removed, ScanChoice& choice)
{
    const int end = path_.finalMarker(remaining, budget_, removed);
    if (end == RemainingMarkers::kNone)
        return false;
    if (!reported.spannedBy(m.positions[end], m.positions[end])) {
        const PathChunk endChunk{0, 0, end, end, 0, true, 0, 0};
        choice = choiceOf(endChunk, heightOf(remaining, endChunk), true);
        lastFinal_ = end;
        afterLastFinal_ = remaining.next(end);
        return true;
    }
    if (!positionsSorted)
        return false;
    choice = choiceOf(chunks_[0], heightAt(remaining, 0), false);
    return true;
}

bool TreeChooser::choose(const Markers& m, const RemainingMarkers& remaining, const ReportedRanges& reported,
                         const AnalysisSettings& settings, bool positionsSorted, ScanChoice& choice)
{
    RemovedFinal removed;
    if (lastFinal_ != RemainingMarkers::kNone && afterLastFinal_ != RemainingMarkers::kNone)
        removed = {lastFinal_, remaining.gapAt(afterLastFinal_)};
    lastFinal_ = RemainingMarkers::kNone;
    budget_ = std::max(kMinBudget, remaining.count() / kBudgetDivisor);
    reuseListedChunks(m, remaining, removed);
    if (!listScorablePrefix(remaining))
        return false;
    FirstChoiceTally tally;
    int report = firstChoice(m, remaining, tally);
    if (tally.bestDrop() == 0 && !path_.done())
        return choosePathEnd(m, remaining, reported, positionsSorted, removed, choice);
    if (report < 0 || report >= static_cast<int>(chunks_.size()) || !walkInward(m, remaining, settings, report))
        return false;
    report = backOff(m, reported, positionsSorted, report);
    choice = choiceOf(chunks_[static_cast<size_t>(report)], heightAt(remaining, report), report > 1);
    return true;
}
