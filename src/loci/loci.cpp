// Clumping and the cross-reference with the peaks.
//
// Design note. Leads are chosen so that any two on a chromosome lie more than
// W apart, hence the window [x - W, x + W] of a candidate at x holds at most
// two leads (three would put the outer two more than 2W apart). A map from
// lead position to locus finds them with one lower_bound: the first lead at
// or after x - W and the one after it. The candidate joins the one chosen
// first, i.e. the smaller locus number, since loci are numbered as leads are
// chosen.
//
// Invariant used by the cross-reference: on one chromosome the loci's ranges
// are disjoint, in the order of their leads. A member y of a later lead L2
// lying before a member x of an earlier-positioned lead L1 < L2 would put
// both x and y within W of both leads, and both would have joined the one
// chosen first. So loci sorted by start are also sorted by end, and the loci
// a peak meets form one run found by binary search.
#include "loci.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <numeric>
#include <unordered_map>

const char* statusWord(LocusStatus status)
{
    switch (status) {
    case LocusStatus::Peak:
        return "peak";
    case LocusStatus::Merged:
        return "merged";
    case LocusStatus::Split:
        return "split";
    case LocusStatus::NoPeak:
        break;
    }
    return "no_peak";
}

LociResult findLoci(const LociCandidates& c, int64_t window)
{
    // Positions are 32-bit: a wider window reaches everything anyway.
    const int64_t w = std::clamp<int64_t>(window, 0, int64_t(1) << 33);
    const size_t n = c.candidates.size();
    // Sort keys held by value: chromosome, then strength (a non-negative
    // double, or inf, so its bits order like the number), then input order.
    struct Key {
        uint32_t chromosome;
        uint64_t strength; // bits of -log10(p)
        uint64_t index;
    };
    std::vector<Key> keys(n);
    for (size_t k = 0; k < n; ++k) {
        const double s = c.strength(k) + 0.0; // -0 (p = 1) as +0, whose bits order
        uint64_t bits = 0;
        std::memcpy(&bits, &s, sizeof bits);
        keys[k] = {c.candidates[k].chromosome, bits, k};
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        if (a.chromosome != b.chromosome)
            return a.chromosome < b.chromosome;
        if (a.strength != b.strength)
            return a.strength > b.strength;
        return a.index < b.index;
    });
    LociResult result;
    std::vector<Locus>& loci = result.loci;
    std::map<int32_t, size_t> leads; // of the current chromosome: position -> locus
    for (size_t k = 0; k < n; ++k) {
        const LociCandidates::Candidate& m = c.candidates[keys[k].index];
        if (k == 0 || keys[k - 1].chromosome != m.chromosome)
            leads.clear();
        const int64_t low = int64_t(m.position) - w, high = int64_t(m.position) + w;
        auto it = leads.lower_bound(static_cast<int32_t>(std::max<int64_t>(low, INT32_MIN)));
        size_t join = SIZE_MAX;
        for (int seen = 0; seen < 2 && it != leads.end() && it->first <= high; ++seen, ++it)
            join = std::min(join, it->second);
        if (join == SIZE_MAX) {
            leads.emplace(m.position, loci.size());
            Locus l;
            l.chromosome = m.chromosome;
            l.start = l.end = l.leadPosition = m.position;
            l.lead = keys[k].index;
            l.markers = 1;
            l.log10p = c.strength(keys[k].index) + 0.0;
            loci.push_back(l);
            continue;
        }
        Locus& l = loci[join];
        l.start = std::min(l.start, m.position);
        l.end = std::max(l.end, m.position);
        ++l.markers;
    }
    std::sort(loci.begin(), loci.end(), [](const Locus& a, const Locus& b) {
        if (a.chromosome != b.chromosome)
            return a.chromosome < b.chromosome;
        if (a.start != b.start)
            return a.start < b.start;
        return a.leadPosition < b.leadPosition;
    });
    return result;
}

void crossReference(LociResult& result, const LociCandidates& c, const std::vector<ReportedPeak>& peaks)
{
    std::vector<Locus>& loci = result.loci;
    // Each chromosome's run of loci: [first[k], first[k + 1]).
    std::vector<size_t> first(c.chromosomes.size() + 1, 0);
    for (const Locus& l : loci)
        ++first[l.chromosome + 1];
    std::partial_sum(first.begin(), first.end(), first.begin());
    std::unordered_map<std::string, uint32_t> index;
    for (uint32_t k = 0; k < c.chromosomes.size(); ++k)
        index.emplace(c.chromosomes[k], k);

    std::vector<std::pair<size_t, size_t>> meets; // (locus, peak)
    std::vector<uint32_t> lociOfPeak(peaks.size(), 0);
    for (size_t j = 0; j < peaks.size(); ++j) {
        const auto it = index.find(peaks[j].chromosome);
        if (it == index.end())
            continue;
        const PeakFeatures& f = peaks[j].features;
        const int32_t lo = std::min(f.firstPosition, f.lastPosition), hi = std::max(f.firstPosition, f.lastPosition);
        const auto begin = loci.begin() + static_cast<std::ptrdiff_t>(first[it->second]);
        const auto end = loci.begin() + static_cast<std::ptrdiff_t>(first[it->second + 1]);
        for (auto l = std::lower_bound(begin, end, lo, [](const Locus& a, int32_t v) { return a.end < v; });
             l != end && l->start <= hi; ++l) {
            meets.emplace_back(static_cast<size_t>(l - loci.begin()), j);
            ++lociOfPeak[j];
        }
    }
    auto lower = [&](size_t j) {
        const PeakFeatures& f = peaks[j].features;
        return std::make_pair(std::min(f.firstPosition, f.lastPosition), std::max(f.firstPosition, f.lastPosition));
    };
    std::sort(meets.begin(), meets.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first;
        const auto la = lower(a.second), lb = lower(b.second);
        return la != lb ? la < lb : a.second < b.second;
    });
    result.overlaps.clear();
    for (Locus& l : loci) {
        l.peaks = 0;
        l.status = LocusStatus::NoPeak;
    }
    for (const auto& [locus, peak] : meets) {
        Locus& l = loci[locus];
        if (l.peaks++ == 0)
            l.firstOverlap = result.overlaps.size();
        result.overlaps.push_back(peak);
    }
    for (Locus& l : loci) {
        if (l.peaks >= 2)
            l.status = LocusStatus::Split;
        else if (l.peaks == 1)
            l.status = lociOfPeak[result.overlaps[l.firstOverlap]] >= 2 ? LocusStatus::Merged : LocusStatus::Peak;
    }
}

bool bestQuality(const Locus& locus, const LociResult& result, const std::vector<ReportedPeak>& peaks, double& best)
{
    for (uint64_t k = 0; k < locus.peaks; ++k) {
        const double q = peaks[result.overlaps[locus.firstOverlap + k]].features.quality;
        if (k == 0 || q > best)
            best = q;
    }
    return locus.peaks > 0;
}
