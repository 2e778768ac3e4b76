// Clumping on a thread pool against clumping on the caller alone: the same
// clumps, members, r² and counts, over a panel whose SNPs are spread on
// several chromosomes, with candidates absent from it among them.
#include "ld_reference.h"
#include "ld/plink_fileset.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace {

// The fields two clumpings must agree on, as text (NaN r² as "nan").
std::string described(const LdLoci& ld)
{
    std::ostringstream out;
    out << ld.indexCandidates << " " << ld.absent;
    for (const std::string& e : ld.absentExamples)
        out << " " << e;
    out << "\n";
    for (size_t k = 0; k < ld.result.loci.size(); ++k) {
        const Locus& l = ld.result.loci[k];
        out << l.chromosome << " " << l.start << "-" << l.end << " lead " << l.lead << " " << l.markers << " "
            << int(ld.byDistance[k]) << ":";
        for (const LdMember& m : ld.members[k])
            out << " " << m.candidate << "=" << (std::isnan(m.r2) ? std::string("nan") : std::to_string(m.r2));
        out << "\n";
    }
    return out.str();
}

} // namespace

TEST(LdThreads, PoolGivesTheSameClumpsAsOneThread)
{
    if (!sharedPanelPresent())
        GTEST_SKIP() << "real data absent: the shared LD panel " << sharedPanel() << ".bed";
    PlinkFileset set;
    std::string why;
    ASSERT_TRUE(openPlinkFileset(sharedPanel(), set, why)) << why;
    std::vector<PanelVariant> all;
    ASSERT_TRUE(readPanelVariants(set.bimPath, all, why)) << why;
    std::mt19937_64 random(30);
    // 3,000 SNPs of the panel as chromosomes 1-6, 500 each.
    std::vector<uint32_t> variants, people(set.sampleIds.size());
    for (uint32_t v = 0; v < 3000; ++v)
        variants.push_back(v * 9);
    for (uint32_t s = 0; s < people.size(); ++s)
        people[s] = s;
    const std::string dir = makeTempDir();
    writeFileset(set, variants, people, 0.02, random, dir + "/panel");
    std::ostringstream bim;
    std::vector<TableRow> rows;
    std::exponential_distribution<double> strength(0.5);
    for (size_t k = 0; k < variants.size(); ++k) {
        const PanelVariant& v = all[variants[k]];
        const std::string chromosome = std::to_string(1 + k / 500);
        bim << chromosome << "\t" << v.id << "\t0\t" << v.position << "\t" << v.allele1 << "\t" << v.allele2 << "\n";
        char p[32];
        std::snprintf(p, sizeof p, "%.5g", std::pow(10.0, -strength(random)));
        rows.push_back({chromosome, k % 37 ? v.id : "absent" + std::to_string(k), v.position, p});
    }
    std::ofstream(dir + "/panel.bim") << bim.str();
    std::shuffle(rows.begin(), rows.end(), random); // chromosomes interleaved in the table
    LdPanel panel;
    std::string warnings;
    ASSERT_TRUE(openLdPanel(dir + "/panel", "", panel, why, warnings)) << why;
    for (double r2 : {0.05, 0.3}) {
        LdSettings s;
        s.p = 1e-3;
        s.p2 = 1e-2;
        s.r2 = r2;
        s.window = 250000;
        const LociCandidates candidates = candidatesOf(rows, s.p2);
        PanelMatch match;
        ASSERT_TRUE(matchCandidates(candidates, panel, -1, -1, match, why)) << why;
        const std::string alone = described(clumpByLd(candidates, match.slot, match.planes, s));
        ASSERT_GT(std::count(alone.begin(), alone.end(), '\n'), 30) << alone;
        for (int workers : {1, 3}) {
            ThreadPool pool(workers);
            EXPECT_EQ(firstDifference(alone, described(clumpByLd(candidates, match.slot, match.planes, s, &pool))),
                      "")
                << workers << " workers, r2 " << r2;
        }
    }
}
