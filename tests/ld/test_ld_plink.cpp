// LD clumping against PLINK 1.9's --clump on the shared panel and on 200
// generated panels and tables; skipped with a message where plink1.9 or
// the shared panel is absent.
#include "ld_reference.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace {

std::string text(double v)
{
    char b[32];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}

void writeAssoc(const std::string& path, const std::vector<TableRow>& rows)
{
    std::ofstream out(path);
    out << "CHR SNP BP P\n";
    for (const TableRow& r : rows)
        out << r.chromosome << ' ' << r.id << ' ' << r.position << ' ' << r.p << '\n';
}

// Compares our clumps of rows with PLINK's; "" when equal, else the first
// difference.
std::string compareWithPlink(const std::string& dir, const std::string& prefix, const std::string& keep,
                             const std::vector<TableRow>& rows, const LdSettings& s)
{
    writeAssoc(dir + "/t.assoc", rows);
    std::vector<std::string> args{"--bfile", prefix, "--clump", "t.assoc", "--clump-p1", text(s.p), "--clump-p2",
                                  text(s.p2), "--clump-r2", text(s.r2), "--clump-kb", std::to_string(s.window / 1000),
                                  "--clump-verbose", "--allow-no-sex", "--out", "t"};
    if (!keep.empty())
        args.insert(args.end(), {"--keep", keep});
    std::remove((dir + "/t.clumped").c_str());
    if (runPlink(args, dir) != 0)
        return "plink1.9 failed: " + readFile(dir + "/t.log");
    const std::vector<PlinkClump> plink = readVerboseClumps(dir + "/t.clumped");
    LociCandidates c;
    const LdLoci ours = clumpRows(prefix, keep, rows, s, c);
    std::map<std::string, size_t> lociByLead;
    for (size_t l = 0; l < ours.result.loci.size(); ++l)
        lociByLead[std::string(c.id(ours.result.loci[l].lead))] = l;
    if (lociByLead.size() != plink.size())
        return std::to_string(ours.result.loci.size()) + " loci, PLINK " + std::to_string(plink.size());
    for (const PlinkClump& clump : plink) {
        const auto it = lociByLead.find(clump.index);
        if (it == lociByLead.end())
            return "PLINK's index " + clump.index + " leads no locus";
        std::map<std::string, double> members;
        for (const LdMember& m : ours.members[it->second])
            if (m.candidate != ours.result.loci[it->second].lead)
                members[std::string(c.id(m.candidate))] = m.r2;
        for (const auto& [id, r2] : clump.members) {
            const auto m = members.find(id);
            if (m == members.end())
                return clump.index + ": PLINK's member " + id + " (RSQ " + text(r2) + ") is missing";
            if (std::fabs(m->second - r2) > 1e-3)
                return clump.index + ": member " + id + " r2 " + text(m->second) + ", PLINK " + text(r2);
        }
        for (const auto& [id, r2] : members)
            if (!clump.members.count(id))
                return clump.index + ": member " + id + " (r2 " + text(r2) + ") is not PLINK's";
    }
    return "";
}

} // namespace

TEST(LdPlink, SharedTableGivesPlinksClumps)
{
    SKIP_WITHOUT_PLINK_OR_PANEL();
    const std::string dir = makeTempDir();
    const std::vector<TableRow> rows = sharedAssociationRows();
    ASSERT_GT(rows.size(), 20000u);
    LdSettings s;
    s.p = 5e-8;
    s.p2 = 1e-2;
    s.r2 = 0.1;
    s.window = 250000;
    EXPECT_EQ(compareWithPlink(dir, sharedPanel(), "", rows, s), "");
    s.p2 = s.p;
    s.window = 500000;
    EXPECT_EQ(compareWithPlink(dir, sharedPanel(), "", rows, s), "");
    LociCandidates c;
    const LdLoci loci = clumpRows(sharedPanel(), "", rows, s, c);
    std::set<std::string> leads;
    for (const Locus& l : loci.result.loci)
        leads.insert(std::string(c.id(l.lead)));
    // Two signals 231 kb apart with r² < 0.05: one 500 kb window, two clumps.
    EXPECT_TRUE(leads.count("rs12416670") && leads.count("rs4364971"));
    EXPECT_EQ(loci.result.loci.size(), 5u);
}

TEST(LdPlink, CeuSamplesEqualPlinkWithKeep)
{
    SKIP_WITHOUT_PLINK_OR_PANEL();
    const std::string dir = makeTempDir();
    PlinkFileset set;
    std::string why;
    ASSERT_TRUE(openPlinkFileset(sharedPanel(), set, why)) << why;
    std::string keep;
    for (size_t s = 0; s < set.sampleIds.size(); ++s)
        if (set.sampleIds[s].rfind("ceu.", 0) == 0)
            keep += set.familyIds[s] + " " + set.sampleIds[s] + "\n";
    writeFile(dir + "/ceu.txt", keep);
    LdSettings s;
    s.p = 1e-5;
    s.p2 = 1e-2;
    s.r2 = 0.2;
    s.window = 250000;
    EXPECT_EQ(compareWithPlink(dir, sharedPanel(), dir + "/ceu.txt", sharedAssociationRows(), s), "");
}

// Panels cut from the shared one (a stretch of its SNPs, thinned; a subset
// of its people; genotypes set missing at random) with tables of random
// p-values, under varied thresholds and windows.
TEST(LdPlink, GeneratedCasesEqualPlink)
{
    SKIP_WITHOUT_PLINK_OR_PANEL();
    PlinkFileset set;
    std::string why;
    ASSERT_TRUE(openPlinkFileset(sharedPanel(), set, why)) << why;
    std::vector<PanelVariant> all;
    ASSERT_TRUE(readPanelVariants(set.bimPath, all, why)) << why;
    std::mt19937_64 random(2026);
    const double p1s[] = {1e-3, 1e-4, 1e-5};
    const double r2s[] = {0.05, 0.13, 0.29, 0.55, 0.83};
    const int64_t kbs[] = {20, 50, 120, 250};
    const double missing[] = {0, 0, 0.02, 0.1};
    int failures = 0;
    for (int round = 0; round < 200 && failures < 5; ++round) {
        const std::string dir = makeTempDir();
        const size_t count = std::uniform_int_distribution<size_t>(100, 1500)(random);
        const size_t start = std::uniform_int_distribution<size_t>(0, all.size() - count)(random);
        const double thin = std::uniform_real_distribution<double>(0.4, 1.0)(random);
        std::vector<uint32_t> variants, samples;
        for (size_t v = start; v < start + count; ++v)
            if (std::bernoulli_distribution(thin)(random))
                variants.push_back(static_cast<uint32_t>(v));
        const double share = std::uniform_real_distribution<double>(0.05, 1.0)(random);
        for (uint32_t s = 0; s < set.sampleIds.size(); ++s)
            if (std::bernoulli_distribution(share)(random))
                samples.push_back(s);
        if (samples.size() < 10 || variants.size() < 10)
            continue;
        writeFileset(set, variants, samples, missing[round % 4], random, dir + "/panel");
        // p = 10^-x, x exponential: many rows below 1e-3, a few far below.
        std::exponential_distribution<double> strength(0.8);
        std::vector<TableRow> rows;
        for (uint32_t v : variants) {
            char p[32];
            std::snprintf(p, sizeof p, "%.5g", std::pow(10.0, -strength(random)));
            rows.push_back({all[v].chromosome, all[v].id, all[v].position, p});
        }
        std::shuffle(rows.begin(), rows.end(), random); // the table's order is not the panel's
        LdSettings s;
        s.p = p1s[round % 3];
        s.p2 = std::max(s.p, round % 2 ? 1e-2 : s.p * 10);
        s.r2 = r2s[round % 5];
        s.window = kbs[(round / 5) % 4] * 1000;
        const std::string diff = compareWithPlink(dir, dir + "/panel", "", rows, s);
        if (!diff.empty())
            ++failures;
        EXPECT_EQ(diff, "") << "round " << round << ": " << variants.size() << " SNPs, " << samples.size()
                            << " people, missing " << missing[round % 4] << ", p1 " << s.p << ", p2 " << s.p2
                            << ", r2 " << s.r2 << ", window " << s.window;
    }
}
