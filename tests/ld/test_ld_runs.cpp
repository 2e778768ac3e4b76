// Whole runs with -loci-ld: variants absent from the panel end in distance
// loci, and per-chromosome panels and -threads give the same files. (The
// panel's faults, each stopping the run before any output with its reason:
// the ld-panel-* and bad-loci-r2/p2 folders of tests/data.)
#include "ld_reference.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// The shared table's rows (CHR SNP BP P) as a tab-separated table, with
// extra rows appended.
std::string sharedTableText(const std::string& extra)
{
    return "CHR\tSNP\tBP\tP\n"
           "10\trs12416670\t54328297\t4.13e-22\n"
           "10\trs1343041\t54335448\t4.71e-22\n"
           "10\trs10762900\t54322157\t1.07e-20\n"
           "10\trs4364971\t54559439\t5.09e-13\n"
           "10\trs10885134\t113084790\t5.15e-19\n" +
           extra;
}

std::vector<std::string> ldArgs(const std::string& panel)
{
    return {"-file", "t.tsv", "-header", "yes", "-chrcolumn", "CHR", "-lcolumn", "BP", "-pcolumn", "P",
            "-idcolumn", "SNP", "-loci-ld", panel, "-loci-members", "yes"};
}

} // namespace

TEST(LdRuns, CandidatesAbsentFromThePanelAreClumpedByDistance)
{
    SKIP_WITHOUT_PANEL();
    const std::string dir = makeTempDir();
    // One absent candidate beside a strong index (it joins it by distance),
    // one far from every index (a locus of its own).
    writeFile(dir + "/t.tsv", sharedTableText("10\trsAbsentNear\t54400000\t1e-9\n"
                                              "10\trsAbsentFar\t90000000\t2e-9\n"));
    const RunResult r = runQuorlin(ldArgs(sharedPanel()), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> loci = linesOf(readFile(dir + "/t.tsv.loci.tsv"));
    ASSERT_EQ(loci.size(), 5u) << readFile(dir + "/t.tsv.loci.tsv");
    EXPECT_EQ(tabFields(loci[0])[11], "clumped_by");
    std::map<std::string, std::vector<std::string>> byLead;
    for (size_t k = 1; k < loci.size(); ++k)
        byLead[tabFields(loci[k])[3]] = tabFields(loci[k]);
    ASSERT_TRUE(byLead.count("rsAbsentFar"));
    EXPECT_EQ(byLead["rsAbsentFar"][11], "distance");
    EXPECT_EQ(byLead["rs12416670"][11], "r2");
    EXPECT_EQ(byLead["rs12416670"][6], "4"); // itself, two in LD, the absent one
    EXPECT_EQ(byLead["rs4364971"][11], "r2");
    const std::string members = readFile(dir + "/t.tsv.loci.members.tsv");
    EXPECT_NE(members.find("rs12416670\t10\t54400000\trsAbsentNear\t9\tNA\t71703\n"), std::string::npos) << members;
    EXPECT_NE(members.find("rs12416670\t10\t54328297\trs12416670\t21.384\t1\t0\n"), std::string::npos) << members;
    EXPECT_NE(r.err.find("2 of 7 loci candidates are absent from the LD panel (rsAbsentNear, rsAbsentFar)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("more than 10 %"), std::string::npos) << r.err;
}

TEST(LdRuns, PerChromosomePanelsAndThreadsGiveTheSameFiles)
{
    SKIP_WITHOUT_PANEL();
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", sharedTableText(""));
    PlinkFileset set;
    std::string why;
    ASSERT_TRUE(openPlinkFileset(sharedPanel(), set, why)) << why;
    std::vector<uint32_t> all(set.variantCount), people(set.sampleIds.size());
    for (uint32_t k = 0; k < all.size(); ++k)
        all[k] = k;
    for (uint32_t k = 0; k < people.size(); ++k)
        people[k] = k;
    std::mt19937_64 random(1);
    writeFileset(set, all, people, 0, random, dir + "/panel.chr10");
    ASSERT_EQ(runQuorlin(ldArgs(sharedPanel()), dir).status, 0);
    const std::string loci = readFile(dir + "/t.tsv.loci.tsv"), members = readFile(dir + "/t.tsv.loci.members.tsv");
    ASSERT_EQ(runQuorlin(with(ldArgs(dir + "/panel.chr{chrom}"), {"-threads", "2"}), dir).status, 0);
    EXPECT_EQ(firstDifference(loci, readFile(dir + "/t.tsv.loci.tsv")), "");
    EXPECT_EQ(firstDifference(members, readFile(dir + "/t.tsv.loci.members.tsv")), "");
}
