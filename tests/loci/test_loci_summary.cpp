// The summary's loci lines held to a plain full sort: the five strongest
// loci, ties broken by the earlier lead row, over many loci with few
// distinct strengths, and fewer loci than five; each locus's note as the
// caller gives it.
#include "loci/loci_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>

namespace {

// Candidates at 1:1000, 1:2000, ... each its own locus (window 0), with
// -log10(p) drawn from a few values so that ties abound.
LociCandidates candidates(size_t n, std::mt19937& rng)
{
    LociCandidates c;
    c.chromosomes = {"1"};
    c.log10Values = true;
    const double levels[] = {8, 9, 9, 12, 30};
    for (size_t k = 0; k < n; ++k)
        c.candidates.push_back({static_cast<int32_t>(1000 * (k + 1)), 0,
                                levels[std::uniform_int_distribution<size_t>(0, 4)(rng)], 0});
    return c;
}

// The "locus N:" lines as a full stable sort by strength orders them.
std::string referenceLines(const LociResult& r, const LocusNote& note)
{
    std::vector<size_t> order(r.loci.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Locus &x = r.loci[a], &y = r.loci[b];
        return x.log10p != y.log10p ? x.log10p > y.log10p : x.lead < y.lead;
    });
    std::string text;
    for (size_t k = 0; k < std::min<size_t>(5, order.size()); ++k) {
        const Locus& l = r.loci[order[k]];
        const std::string where = "1:" + std::to_string(l.leadPosition);
        char value[32];
        std::snprintf(value, sizeof value, "%g", l.log10p);
        const std::string said = note ? note(order[k]) : "";
        text += "quorlin: summary: t: locus " + std::to_string(k + 1) + ": " + where + "-" +
                std::to_string(l.end) + ", lead " + where + ", -log10(p) " + value + ", no_peak, GQS NA" +
                (said.empty() ? "" : ", " + said) + "\n";
    }
    return text;
}

// The summary without its first line (the count).
std::string locusLines(const std::string& summary) { return summary.substr(summary.find('\n') + 1); }

} // namespace

TEST(LociSummary, FiveStrongestAsAFullSortOrdersThem)
{
    std::mt19937 rng(7);
    for (size_t n : {0, 1, 4, 5, 6, 40, 3000}) {
        const LociCandidates c = candidates(n, rng);
        LociResult r = findLoci(c, 0);
        crossReference(r, c, {});
        ASSERT_EQ(r.loci.size(), n);
        EXPECT_EQ(locusLines(lociSummary("t", r, c, {}, 5e-8, 0)), referenceLines(r, {})) << n << " loci";
        // A note for some loci only: the others show none.
        const LocusNote note = [](size_t k) { return k % 3 ? std::string() : "note " + std::to_string(k); };
        EXPECT_EQ(locusLines(lociSummary("t", r, c, {}, 5e-8, 0, note)), referenceLines(r, note)) << n;
    }
}
