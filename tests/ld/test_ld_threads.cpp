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
    SKIP_WITHOUT_PANEL();
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

// A .bim of 300,000 lines is read in marked parts; on a pool the parts go
// to several threads. Ids that come twice (the first is taken, the second
// may lie elsewhere), several variants at one place (the first, or the one
// with the table's alleles), blank lines and candidates matched only by
// place are spread over the parts' borders: the match, the build check's
// examples and the clumps are those of one thread, and a bad line in a
// late part is named by its line number.
TEST(LdThreads, BimPartsOnAPoolGiveTheSameMatch)
{
    const std::string dir = makeTempDir();
    std::mt19937_64 random(31);
    const size_t variants = 300000, people = 8;
    std::ostringstream fam, bim;
    for (size_t s = 0; s < people; ++s)
        fam << "f" << s << " s" << s << " 0 0 0 -9\n";
    std::string bed = {0x6c, 0x1b, 0x01};
    std::vector<TableRow> rows;
    const char* bases[] = {"A", "C", "G", "T"};
    std::exponential_distribution<double> strength(0.3);
    for (size_t v = 0; v < variants; ++v) {
        const std::string chromosome = std::to_string(1 + v / 75000);
        const int32_t position = static_cast<int32_t>(1000 + (v % 75000) * 40 - (v % 7 == 1 ? 40 : 0));
        const std::string id = v % 50000 == 3 ? "twice" : "v" + std::to_string(v);
        if (v % 20000 == 5)
            bim << "\n";
        bim << chromosome << "\t" << id << "\t0\t" << position << "\t" << bases[v % 4] << "\t" << bases[(v + 1) % 4]
            << "\n";
        for (size_t b = 0; b < (people + 3) / 4; ++b)
            bed += static_cast<char>(random() & 0xff);
        if (v % 150 == 0 || v % 50000 == 3) {
            char p[32];
            std::snprintf(p, sizeof p, "%.5g", std::pow(10.0, -strength(random)));
            const bool byPlace = v % 450 == 0;
            rows.push_back({chromosome, byPlace ? "" : id, position, p});
        }
    }
    rows.push_back({"1", "absent", 5, "1e-9"});
    std::ofstream(dir + "/panel.fam") << fam.str();
    std::ofstream(dir + "/panel.bim") << bim.str();
    std::ofstream(dir + "/panel.bed", std::ios::binary) << bed;
    LdPanel panel;
    std::string why, warnings;
    ASSERT_TRUE(openLdPanel(dir + "/panel", "", panel, why, warnings)) << why;
    ASSERT_GT(panel.parts.front().set.bimMarks.size(), 3u);
    const LociCandidates candidates = candidatesOf(rows, 1);
    LdSettings s;
    s.p = 1e-2;
    s.p2 = 1e-1;
    s.r2 = 0.2;
    s.window = 100000;
    PanelMatch alone;
    ASSERT_TRUE(matchCandidates(candidates, panel, -1, -1, alone, why)) << why;
    ASSERT_GT(alone.byIdElsewhere, 0u);
    const std::string clumps = described(clumpByLd(candidates, alone.slot, alone.planes, s));
    ThreadPool pool(3);
    PanelMatch parts;
    ASSERT_TRUE(matchCandidates(candidates, panel, -1, -1, parts, why, &pool)) << why;
    EXPECT_EQ(parts.part, alone.part);
    EXPECT_EQ(parts.variant, alone.variant);
    EXPECT_EQ(parts.slot, alone.slot);
    EXPECT_EQ(parts.byId, alone.byId);
    EXPECT_EQ(parts.byIdElsewhere, alone.byIdElsewhere);
    EXPECT_EQ(parts.elsewhereExamples, alone.elsewhereExamples);
    EXPECT_EQ(firstDifference(clumps, described(clumpByLd(candidates, parts.slot, parts.planes, s, &pool))), "");

    // A line spoilt after the panel was opened, in the last part.
    std::string spoilt = bim.str();
    const size_t line = spoilt.rfind("\n", spoilt.size() - 2) + 1;
    spoilt.replace(line, spoilt.find('\t', line) - line, "chr x"); // seven fields
    std::ofstream(dir + "/panel.bim") << spoilt;
    const std::string lines = std::to_string(std::count(spoilt.begin(), spoilt.end(), '\n'));
    for (ThreadPool* p : {static_cast<ThreadPool*>(nullptr), &pool}) {
        PanelMatch m;
        EXPECT_FALSE(matchCandidates(candidates, panel, -1, -1, m, why, p));
        EXPECT_NE(why.find("line " + lines + " is not a .bim line"), std::string::npos) << why;
    }
}
