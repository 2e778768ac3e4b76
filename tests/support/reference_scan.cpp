// Straightforward compression and chunk building, written directly from the
// rules, and the comparison of two scans, for the differential tests.
#include "reference_scan.h"

#include "report/peak_row.h"
#include "analysis/profile_preparation.h"

#include <algorithm>
#include <cstring>

void referenceCompressPositions(Markers& m, double shrink)
{
    WorkPositions& L = m.work;
    const double lowest = smallestValue(m.smoothed);
    const double highest = largestValue(m.smoothed);
    const size_t n = L.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        const double mean = (m.smoothed[i + 1] + m.smoothed[i]) * 0.5;
        const int64_t shorten = gapShortening(L[i + 1] - L[i], mean, lowest, highest, shrink);
        for (size_t j = i + 1; j < n; ++j) {
            const int64_t moved = L[j] - shorten;
            L[j] = moved > L[j - 1] ? moved : L[j - 1] + 1;
        }
    }
}

namespace {

int indexOf(const WorkPositions& L, int64_t position)
{
    return static_cast<int>(std::find(L.begin(), L.end(), position) - L.begin());
}

// Cuts copies of the working positions, keeping the larger side each time.
void referenceCut(const WorkPositions& L, std::vector<int>& starts, std::vector<int>& ends)
{
    WorkPositions rest = L;
    while (!rest.empty()) {
        if (rest.size() == 1) {
            starts.push_back(indexOf(L, rest[0]));
            ends.push_back(indexOf(L, rest[0]));
            return;
        }
        int64_t widest = 0, at = 0;
        for (size_t i = 1; i < rest.size(); ++i) {
            if (rest[i] - rest[i - 1] > widest) {
                widest = rest[i] - rest[i - 1];
                at = static_cast<int64_t>(i);
            }
        }
        if (at == 0)
            return;
        const double size = static_cast<double>(rest.size());
        if ((2.0 * at - 1) / 2 >= (size - 1) / 2)
            rest = WorkPositions(rest.begin(), rest.begin() + at);
        else
            rest = WorkPositions(rest.begin() + at, rest.end());
        starts.push_back(indexOf(L, rest.front()));
        ends.push_back(indexOf(L, rest.back()));
    }
}

} // namespace

void referenceBuildChunks(const Markers& m, Chunks& chunks, SplitScratch&)
{
    chunks.clear();
    std::vector<int> starts, ends;
    referenceCut(m.work, starts, ends);
    for (size_t k = 0; k < starts.size(); ++k) {
        const int s = starts[k], e = ends[k];
        int64_t widest = 0;
        for (int j = s; j < e; ++j)
            widest = std::max(widest, m.work[j + 1] - m.work[j]);
        chunks.add(s, e, widest);
        chunks.height.push_back(largestValue(windowAround(m.smoothed, s, e, 0)));
    }
}

ScanSteps referenceSteps()
{
    return {referenceCompressPositions, referenceBuildChunks, false, ScanSteps::Levels::Never};
}

ScanResult scanWith(const AnalysisSettings& settings, ScanSteps steps, IntVector positions, DoubleVector pvalues)
{
    ChromosomeScan scan(settings, steps);
    ScanResult r;
    scan.recordTakenChunks(&r.taken);
    std::vector<PeakFeatures> peaks;
    scan.analyse(positions, pvalues, peaks);
    for (const PeakFeatures& p : peaks) {
        appendPeakRow(r.rows, "t.tsv", "1", p);
        r.rows += "lead " + std::to_string(p.leadInput) + "\n";
    }
    r.treeChoices = scan.treeChoices();
    r.linearChoices = scan.linearChoices();
    r.levelChoices = scan.levelChoices();
    return r;
}

std::string scanDifference(const ScanResult& fast, const ScanResult& reference)
{
    const auto text = [](const TakenChunk& c) {
        return std::to_string(c.firstPosition) + ".." + std::to_string(c.lastPosition) + " (" +
               std::to_string(c.steps) + " steps)";
    };
    for (size_t k = 0; k < std::min(fast.taken.size(), reference.taken.size()); ++k) {
        const TakenChunk &a = fast.taken[k], &b = reference.taken[k];
        if (text(a) != text(b) || std::memcmp(&a.height, &b.height, sizeof a.height) != 0 ||
            a.beyondSecond != b.beyondSecond)
            return "iteration " + std::to_string(k) + " takes " + text(a) + " instead of " + text(b);
    }
    if (fast.taken.size() != reference.taken.size())
        return std::to_string(fast.taken.size()) + " chunks taken instead of " + std::to_string(reference.taken.size());
    return fast.rows == reference.rows ? "" : "report rows differ:\n" + fast.rows + "instead of\n" + reference.rows;
}
