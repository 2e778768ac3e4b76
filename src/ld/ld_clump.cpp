// Clumping: index variants strongest first, members by window, p and r².
#include "ld/ld_clump.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>

bool pAtMost(const LociCandidates& c, size_t k, double threshold)
{
    const double v = c.candidates[k].value;
    return c.log10Values ? v >= -std::log10(threshold) : v <= threshold;
}

bool pBelow(const LociCandidates& c, size_t k, double threshold)
{
    const double v = c.candidates[k].value;
    return c.log10Values ? v > -std::log10(threshold) : v < threshold;
}

namespace {

constexpr uint32_t kNone = UINT32_MAX;

bool linked(double r2, double threshold)
{
    if (std::isnan(r2))
        return false;
    return threshold >= 1 ? r2 >= 1 - 1e-9 : r2 > threshold;
}

std::string nameOf(const LociCandidates& c, size_t k)
{
    const std::string_view id = c.id(k);
    if (!id.empty())
        return std::string(id);
    return c.chromosomes[c.candidates[k].chromosome] + ":" + std::to_string(c.candidates[k].position);
}

// One chromosome's candidates by position (ties: input order), and the
// clumping over them.
class ChromosomeClumps {
public:
    ChromosomeClumps(const LociCandidates& c, const std::vector<int32_t>& slot, const GenotypePlanes& planes,
                     const LdSettings& s, std::vector<size_t> byPosition, std::vector<uint32_t>& locusOf,
                     std::vector<std::vector<LdMember>>& members, std::vector<uint8_t>& byDistance)
        : c_(c), slot_(slot), planes_(planes), s_(s), byPosition_(std::move(byPosition)), locusOf_(locusOf),
          members_(members), byDistance_(byDistance)
    {
    }

    void run(const std::vector<size_t>& indexOrder)
    {
        for (size_t k : indexOrder) {
            if (locusOf_[k] != kNone)
                continue;
            if (slot_[k] < 0) {
                const uint32_t lead = firstLeadNear(k);
                if (lead != kNone)
                    join(k, lead, NAN);
                else
                    newLocus(k, true);
                continue;
            }
            const uint32_t locus = newLocus(k, false);
            for (size_t i = lowest(k); i < byPosition_.size() && near(byPosition_[i], k); ++i) {
                const size_t j = byPosition_[i];
                if (locusOf_[j] != kNone || slot_[j] < 0 || !pBelow(c_, j, s_.p2))
                    continue;
                const double r2 = haplotypeR2(pairCounts(planes_, static_cast<size_t>(slot_[k]),
                                                         static_cast<size_t>(slot_[j])));
                if (linked(r2, s_.r2))
                    join(j, locus, r2);
            }
        }
        // Members absent from the panel: the first lead chosen within the
        // window takes them.
        for (size_t j : byPosition_) {
            if (locusOf_[j] != kNone || slot_[j] >= 0 || !pBelow(c_, j, s_.p2))
                continue;
            const uint32_t lead = firstLeadNear(j);
            if (lead != kNone)
                join(j, lead, NAN);
        }
    }

private:
    int64_t distance(size_t a, size_t b) const
    {
        return int64_t(c_.candidates[a].position) - int64_t(c_.candidates[b].position);
    }
    bool near(size_t j, size_t k) const { return distance(j, k) < s_.window; }
    // The first candidate by position within the window below k.
    size_t lowest(size_t k) const
    {
        const int64_t from = int64_t(c_.candidates[k].position) - s_.window; // exclusive
        return static_cast<size_t>(std::partition_point(byPosition_.begin(), byPosition_.end(),
                                                        [&](size_t j) { return c_.candidates[j].position <= from; }) -
                                   byPosition_.begin());
    }
    uint32_t firstLeadNear(size_t k) const
    {
        uint32_t best = kNone;
        for (size_t i = lowest(k); i < byPosition_.size() && near(byPosition_[i], k); ++i) {
            const size_t j = byPosition_[i];
            if (locusOf_[j] != kNone && members_[locusOf_[j]].front().candidate == j)
                best = std::min(best, locusOf_[j]);
        }
        return best;
    }
    uint32_t newLocus(size_t k, bool distanceOnly)
    {
        const uint32_t locus = static_cast<uint32_t>(members_.size());
        members_.push_back({{k, 1.0}});
        byDistance_.push_back(distanceOnly ? 1 : 0);
        locusOf_[k] = locus;
        return locus;
    }
    void join(size_t k, uint32_t locus, double r2)
    {
        members_[locus].push_back({k, r2});
        locusOf_[k] = locus;
    }

    const LociCandidates& c_;
    const std::vector<int32_t>& slot_;
    const GenotypePlanes& planes_;
    const LdSettings& s_;
    std::vector<size_t> byPosition_;
    std::vector<uint32_t>& locusOf_;
    std::vector<std::vector<LdMember>>& members_;
    std::vector<uint8_t>& byDistance_;
};

} // namespace

LdLoci clumpByLd(const LociCandidates& c, const std::vector<int32_t>& slot, const GenotypePlanes& planes,
                 const LdSettings& s, ThreadPool* pool)
{
    const size_t n = c.candidates.size();
    std::vector<std::vector<size_t>> byChromosome(c.chromosomes.size());
    for (size_t k = 0; k < n; ++k)
        byChromosome[c.candidates[k].chromosome].push_back(k);
    // Chromosomes clump apart from each other: each into its own clumps,
    // joined afterwards in chromosome order. locusOf is shared, but each
    // candidate's entry is written by its own chromosome's clumping only.
    std::vector<uint32_t> locusOf(n, kNone);
    struct Clumps {
        std::vector<size_t> order; // index candidates, strongest first
        std::vector<std::vector<LdMember>> members;
        std::vector<uint8_t> byDistance;
    };
    std::vector<Clumps> perChromosome(byChromosome.size());
    auto clump = [&](size_t chromosome, int) {
        std::vector<size_t>& ks = byChromosome[chromosome];
        Clumps& out = perChromosome[chromosome];
        std::vector<size_t>& order = out.order;
        for (size_t k : ks)
            if (pAtMost(c, k, s.p))
                order.push_back(k);
        // Strongest first; ties by position, then input order (PLINK takes
        // equal p-values in its .bim order).
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            const double sa = c.strength(a), sb = c.strength(b);
            if (sa != sb)
                return sa > sb;
            return c.candidates[a].position < c.candidates[b].position;
        });
        std::stable_sort(ks.begin(), ks.end(),
                         [&](size_t a, size_t b) { return c.candidates[a].position < c.candidates[b].position; });
        ChromosomeClumps(c, slot, planes, s, std::move(ks), locusOf, out.members, out.byDistance).run(order);
    };
    if (pool)
        pool->parallelFor(byChromosome.size(), clump);
    else
        for (size_t chromosome = 0; chromosome < byChromosome.size(); ++chromosome)
            clump(chromosome, 0);
    LdLoci out;
    std::vector<std::vector<LdMember>> members;
    std::vector<uint8_t> byDistance;
    for (Clumps& one : perChromosome) {
        for (size_t k : one.order) {
            ++out.indexCandidates;
            if (slot[k] < 0 && ++out.absent <= 3)
                out.absentExamples.push_back(nameOf(c, k));
        }
        std::move(one.members.begin(), one.members.end(), std::back_inserter(members));
        byDistance.insert(byDistance.end(), one.byDistance.begin(), one.byDistance.end());
        one = Clumps();
    }
    // The loci in findLoci's order: chromosome, start, lead position.
    std::vector<Locus> loci(members.size());
    for (size_t l = 0; l < members.size(); ++l) {
        std::vector<LdMember>& m = members[l];
        const size_t lead = m.front().candidate;
        std::stable_sort(m.begin(), m.end(), [&](const LdMember& a, const LdMember& b) {
            const int32_t pa = c.candidates[a.candidate].position, pb = c.candidates[b.candidate].position;
            return pa != pb ? pa < pb : a.candidate < b.candidate;
        });
        Locus& locus = loci[l];
        locus.chromosome = c.candidates[lead].chromosome;
        locus.leadPosition = c.candidates[lead].position;
        locus.start = c.candidates[m.front().candidate].position;
        locus.end = c.candidates[m.back().candidate].position;
        locus.lead = lead;
        locus.markers = m.size();
        locus.log10p = c.strength(lead) + 0.0;
    }
    std::vector<size_t> order(loci.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Locus &x = loci[a], &y = loci[b];
        if (x.chromosome != y.chromosome)
            return x.chromosome < y.chromosome;
        if (x.start != y.start)
            return x.start < y.start;
        if (x.leadPosition != y.leadPosition)
            return x.leadPosition < y.leadPosition;
        return x.lead < y.lead;
    });
    for (size_t i : order) {
        out.result.loci.push_back(loci[i]);
        out.byDistance.push_back(byDistance[i]);
        out.members.push_back(std::move(members[i]));
    }
    return out;
}
