// A table worked through by hand: one locus of each status, a peak written
// backwards, p = 0, a carried field holding a tab.
#include "loci_text.h"
#include "table_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

ReportedPeak peak(const char* chromosome, int32_t first, int32_t last, double gqs)
{
    ReportedPeak p;
    p.chromosome = chromosome;
    p.features.firstPosition = first;
    p.features.lastPosition = last;
    p.features.quality = gqs;
    return p;
}

} // namespace

TEST(GenomeWideLoci, EveryStatusWorkedByHand)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.csv", "chr,pos,p,id,beta\n"
                              "1,1000,1e-10,rsA,0.1\n"
                              "1,1050,1e-9,rsB,0.2\n"
                              "1,1300,1e-12,rsC,0.3\t!\n"
                              "1,1390,1e-9,rsD\n"
                              "2,500,0,rsE,0.5\n"
                              "2,5000,1e-8,rsF,0.6\n"
                              "1,9000,2e-8,rsG,0.7\n"
                              "1,9000,1e-7,rsH,0.8\n");
    TableLayout layout;
    layout.separator = separatorForWord("comma");
    layout.chromosomeColumn = 1, layout.positionColumn = 2, layout.pvalueColumn = 3, layout.idColumn = 4;
    layout.headerLines = 1;
    layout.carriedColumns = {5};
    ReadNotes notes;
    ASSERT_TRUE(readTable(openInput(dir + "/t.csv"), layout, 0.001, [](ChromosomeBatch&) {}, notes));
    EXPECT_EQ(notes.shortRows, 0); // rsD lacks only its carried field
    // C (1:1300) is chosen first, then A 300 bp away; B and D join the lead
    // within 100 bp. One peak meets A and C, a backwards one meets C.
    const std::vector<ReportedPeak> peaks = {peak("1", 1040, 1350, 3), peak("1", 1400, 1380, 4.5),
                                             peak("2", 400, 600, 2), peak("3", 0, 10000, 5)};
    LociResult loci = findLoci(notes.candidates, 100);
    crossReference(loci, notes.candidates, peaks);
    EXPECT_EQ(lociFileText(loci, notes.candidates, peaks, {"beta"}),
              "chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\tpeak_ranges\t"
              "best_gqs\tbeta\n"
              "1\t1000\t1050\trsA\t1000\t10\t2\tmerged\t1\t1040-1350\t3\t0.1\n"
              "1\t1300\t1390\trsC\t1300\t12\t2\tsplit\t2\t1040-1350,1400-1380\t4.5\t0.3 !\n"
              "1\t9000\t9000\trsG\t9000\t7.69897\t1\tno_peak\t0\t.\tNA\t0.7\n"
              "2\t500\t500\trsE\t500\tinf\t1\tpeak\t1\t400-600\t2\t0.5\n"
              "2\t5000\t5000\trsF\t5000\t8\t1\tno_peak\t0\t.\tNA\t0.6\n");
    // The summary's strongest loci, with p = 0 first.
    EXPECT_NE(lociSummary("t.csv", loci, notes.candidates, peaks, 5e-8, 100)
                  .find("locus 1: 2:500-500, lead rsE (2:500), -log10(p) inf, peak, GQS 2\n"),
              std::string::npos);
}
