// Chunk choice on the tree. The widest gap never grows along the path, so
// the chunks that can be scored (widest gap above 100) are a prefix of it;
// the first choice needs only that prefix. When it picks none, the choice is
// the path's end; with sorted positions a wider chunk spans whatever a
// narrower one spans, so the back-off either stays there or goes to chunk 0.
#include "tree_choice.h"

#include <algorithm>

namespace {

constexpr int kMinBudget = 64;
constexpr int kBudgetDivisor = 16;
constexpr int kListedAtLeast = 3; // so that "beyond the second chunk" stays exact

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

bool TreeChooser::listScorablePrefix(const RemainingMarkers& remaining)
{
    PathChunk chunk;
    while (static_cast<int>(chunks_.size()) < kListedAtLeast || widestGapMayScore(chunks_.back().widestGap)) {
        if (--budget_ < 0)
            return false;
        if (!path_.next(remaining, chunk))
            break;
        chunks_.push_back(chunk);
    }
    return !chunks_.empty();
}

int TreeChooser::firstChoice(const Markers& m, const RemainingMarkers& remaining, FirstChoiceTally& tally) const
{
    for (int item = static_cast<int>(chunks_.size()) - 1; item >= 0; --item) {
        const PathChunk& c = chunks_[static_cast<size_t>(item)];
        const int64_t steps = c.lastRank - c.firstRank;
        const int64_t spacing = steps > 0 ? meanSpacing(m.work[c.last] - m.work[c.first], steps) : 0;
        if (!gapsAllowScoring(c.widestGap, spacing))
            continue;
        const ChunkMeasures measures{c.widestGap, spacing, steps,
                                     int64_t(m.positions[c.last]) - m.positions[c.first], heightOf(remaining, c)};
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
    while (!chunks_[report].isLast && heightOf(remaining, chunks_[report]) > settings.peakThreshold && report > 0) {
        if (!edgesLookLikeBackground(edgeSampleOf(m, remaining, chunks_[report]), clipLimit))
            break;
        ++report;
        if (report == static_cast<int>(chunks_.size())) {
            if (--budget_ < 0 || !path_.next(remaining, chunk))
                return false;
            chunks_.push_back(chunk);
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

ScanChoice TreeChooser::choiceOf(const RemainingMarkers& remaining, const PathChunk& chunk, bool beyondSecond) const
{
    ScanChoice choice;
    choice.first = chunk.first;
    choice.last = chunk.last;
    choice.steps = chunk.lastRank - chunk.firstRank;
    choice.height = heightOf(remaining, chunk);
    choice.beyondSecond = beyondSecond;
    return choice;
}

bool TreeChooser::choose(const Markers& m, const RemainingMarkers& remaining, const ReportedRanges& reported,
                         const AnalysisSettings& settings, bool positionsSorted, ScanChoice& choice)
{
    RemovedFinal removed;
    if (lastFinal_ != RemainingMarkers::kNone && afterLastFinal_ != RemainingMarkers::kNone)
        removed = {lastFinal_, remaining.gapAt(afterLastFinal_)};
    lastFinal_ = RemainingMarkers::kNone;
    budget_ = std::max(kMinBudget, remaining.count() / kBudgetDivisor);
    chunks_.clear();
    path_.start(remaining);
    if (!listScorablePrefix(remaining))
        return false;
    FirstChoiceTally tally;
    int report = firstChoice(m, remaining, tally);
    if (tally.bestDrop() == 0 && !path_.done()) {
        // The path's end, beyond the listed chunks: the walk cannot move it.
        const int end = path_.finalMarker(remaining, budget_, removed);
        if (end == RemainingMarkers::kNone)
            return false;
        if (!reported.spannedBy(m.positions[end], m.positions[end])) {
            choice = choiceOf(remaining, {0, 0, end, end, 0, true}, true);
            lastFinal_ = end;
            afterLastFinal_ = remaining.next(end);
            return true;
        }
        if (!positionsSorted)
            return false;
        choice = choiceOf(remaining, chunks_[0], false);
        return true;
    }
    if (report < 0 || report >= static_cast<int>(chunks_.size()) || !walkInward(m, remaining, settings, report))
        return false;
    report = backOff(m, reported, positionsSorted, report);
    choice = choiceOf(remaining, chunks_[static_cast<size_t>(report)], report > 1);
    return true;
}
