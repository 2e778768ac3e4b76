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
// On one chromosome the distance loci's ranges are disjoint, in the order of
// their leads. A member y of a later lead L2
// lying before a member x of an earlier-positioned lead L1 < L2 would put
// both x and y within W of both leads, and both would have joined the one
// chosen first. LD clumps (src/ld) may overlap, so the cross-reference
// searches the running largest end, which for disjoint loci is the end.
#include "loci/loci.h"

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

namespace {

// A sort key: the strength's bits inverted, the candidate's index, and its
// position (so that clumping reads the keys in order, not the candidates).
struct Key {
    uint64_t weakness;
    uint64_t index;
    int32_t position;
};

// Puts the candidate of key into a locus: it joins the first chosen of the
// (at most two) leads within w of it, or becomes a lead.
void place(uint32_t chromosome, const Key& key, int64_t w, std::map<int32_t, size_t>& leads,
           std::vector<Locus>& loci)
{
    const int32_t position = key.position;
    const int64_t low = int64_t(position) - w, high = int64_t(position) + w;
    auto it = leads.lower_bound(static_cast<int32_t>(std::max<int64_t>(low, INT32_MIN)));
    size_t join = SIZE_MAX;
    for (int seen = 0; seen < 2 && it != leads.end() && it->first <= high; ++seen, ++it)
        join = std::min(join, it->second);
    if (join == SIZE_MAX) {
        leads.emplace(position, loci.size());
        Locus l;
        l.chromosome = chromosome;
        l.start = l.end = l.leadPosition = position;
        l.lead = key.index;
        l.markers = 1;
        const uint64_t bits = ~key.weakness;
        std::memcpy(&l.log10p, &bits, sizeof bits);
        loci.push_back(l);
        return;
    }
    Locus& l = loci[join];
    l.start = std::min(l.start, position);
    l.end = std::max(l.end, position);
    ++l.markers;
}

// At most how many leads the candidates can give: on one chromosome, leads
// lie more than w apart, so a span of s bp holds at most s / (w + 1) + 1 of
// them, and never more than its candidates. Reserving this keeps the loci
// from being copied as they grow.
size_t leadBound(const LociCandidates& c, const std::vector<size_t>& first, int64_t w)
{
    const size_t chromosomes = first.size() - 1;
    std::vector<int32_t> low(chromosomes, INT32_MAX), high(chromosomes, INT32_MIN);
    for (const LociCandidates::Candidate& m : c.candidates) {
        low[m.chromosome] = std::min(low[m.chromosome], m.position);
        high[m.chromosome] = std::max(high[m.chromosome], m.position);
    }
    size_t bound = 0;
    for (size_t k = 0; k < chromosomes; ++k) {
        const size_t count = first[k + 1] - first[k];
        if (count == 0)
            continue;
        const uint64_t span = static_cast<uint64_t>(int64_t(high[k]) - int64_t(low[k]));
        bound += static_cast<size_t>(std::min<uint64_t>(count, span / static_cast<uint64_t>(w + 1) + 1));
    }
    return bound;
}

// Sorts a chromosome's keys strongest first. The keys come in index order,
// so a stable sort by weakness alone gives the (weakness, index) order: a
// least-significant-byte radix sort, which skips a byte all keys share (a
// strength's sign and most of its exponent).
void sortStrongestFirst(Key* keys, size_t n, std::vector<Key>& spare)
{
    if (n < 256) {
        std::stable_sort(keys, keys + n, [](const Key& a, const Key& b) { return a.weakness < b.weakness; });
        return;
    }
    spare.resize(n);
    Key* from = keys;
    Key* to = spare.data();
    for (int shift = 0; shift < 64; shift += 8) {
        size_t start[257] = {};
        for (size_t k = 0; k < n; ++k)
            ++start[((from[k].weakness >> shift) & 255u) + 1];
        if (std::find(start + 1, start + 257, n) != start + 257)
            continue; // one byte value for all
        std::partial_sum(start, start + 257, start);
        for (size_t k = 0; k < n; ++k)
            to[start[(from[k].weakness >> shift) & 255u]++] = from[k];
        std::swap(from, to);
    }
    if (from != keys)
        std::copy(from, from + n, keys);
}

} // namespace

LociResult findLoci(const LociCandidates& c, int64_t window)
{
    // Positions are 32-bit: a wider window reaches everything anyway.
    const int64_t w = std::clamp<int64_t>(window, 0, int64_t(1) << 33);
    const size_t n = c.candidates.size();
    // Keys held by value, bucketed by chromosome in input order, then each
    // bucket sorted strongest first. A strength is a non-negative double or
    // inf, so its bits order like the number: ~bits ascending is strongest
    // first, and the index breaks ties by input order.
    std::vector<size_t> first(c.chromosomes.size() + 1, 0);
    for (const LociCandidates::Candidate& m : c.candidates)
        ++first[m.chromosome + 1];
    size_t largest = 0;
    for (size_t k = 0; k + 1 < first.size(); ++k)
        largest = std::max(largest, first[k + 1]);
    std::partial_sum(first.begin(), first.end(), first.begin());
    auto keyOf = [&c](size_t k) {
        const double s = c.strength(k) + 0.0; // -0 (p = 1) as +0, whose bits order
        uint64_t bits = 0;
        std::memcpy(&bits, &s, sizeof bits);
        return Key{~bits, k, c.candidates[k].position};
    };
    // In a table whose chromosomes come one after another (chromosomes are
    // numbered by first appearance, so the numbers never fall), chromosome
    // j's candidates are [first[j], first[j + 1]) already: its keys are made
    // when it is clumped, and only the largest chromosome's are held.
    const bool grouped =
        std::is_sorted(c.candidates.begin(), c.candidates.end(),
                       [](const LociCandidates::Candidate& a, const LociCandidates::Candidate& b) {
                           return a.chromosome < b.chromosome;
                       });
    std::vector<Key> keys(grouped ? largest : n);
    if (!grouped) {
        std::vector<size_t> next(first.begin(), first.end() - 1);
        for (size_t k = 0; k < n; ++k)
            keys[next[c.candidates[k].chromosome]++] = keyOf(k);
    }
    LociResult result;
    std::vector<Locus>& loci = result.loci;
    loci.reserve(leadBound(c, first, w));
    std::map<int32_t, size_t> leads; // of the current chromosome: position -> locus
    std::vector<Key> spare;
    for (size_t chromosome = 0; chromosome + 1 < first.size(); ++chromosome) {
        const size_t from = first[chromosome], count = first[chromosome + 1] - from;
        if (grouped)
            for (size_t k = 0; k < count; ++k)
                keys[k] = keyOf(from + k);
        const auto begin = keys.begin() + static_cast<std::ptrdiff_t>(grouped ? 0 : from);
        const auto end = begin + static_cast<std::ptrdiff_t>(count);
        sortStrongestFirst(keys.data() + (grouped ? 0 : from), count, spare);
        leads.clear();
        for (auto key = begin; key != end; ++key)
            place(static_cast<uint32_t>(chromosome), *key, w, leads, loci);
    }
    std::vector<Key>().swap(keys);
    // A loose bound (small windows over sparse candidates) gives its room
    // back; the copy is smaller than the keys just freed.
    if (loci.size() <= loci.capacity() / 4)
        loci.shrink_to_fit();
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

    // Per locus, the largest end among its chromosome's loci up to it: LD
    // clumps may overlap, so ends need not grow with starts.
    std::vector<int32_t> reach(loci.size());
    for (size_t k = 0; k + 1 < first.size(); ++k)
        for (size_t l = first[k]; l < first[k + 1]; ++l)
            reach[l] = l == first[k] ? loci[l].end : std::max(reach[l - 1], loci[l].end);
    std::vector<std::pair<size_t, size_t>> meets; // (locus, peak)
    std::vector<uint32_t> lociOfPeak(peaks.size(), 0);
    for (size_t j = 0; j < peaks.size(); ++j) {
        const auto it = index.find(peaks[j].chromosome);
        if (it == index.end())
            continue;
        const PeakFeatures& f = peaks[j].features;
        const int32_t lo = std::min(f.firstPosition, f.lastPosition), hi = std::max(f.firstPosition, f.lastPosition);
        const size_t begin = first[it->second], end = first[it->second + 1];
        // The first locus whose running largest end reaches lo; from there
        // every locus that starts by hi and ends at lo or later meets it.
        const size_t from = static_cast<size_t>(
            std::lower_bound(reach.begin() + static_cast<std::ptrdiff_t>(begin),
                             reach.begin() + static_cast<std::ptrdiff_t>(end), lo) -
            reach.begin());
        for (size_t l = from; l < end && loci[l].start <= hi; ++l) {
            if (loci[l].end < lo)
                continue;
            meets.emplace_back(l, j);
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
