// The coverage summary on a generated table with significant markers inside
// and outside the peaks. The BED file of every real table is checked in
// tests/loci/test_loci_reference.cpp.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(Loci, CoverageCountsSignificantMarkersOutsidePeaks)
{
    // Four clear peaks (summits 1e-12) and, far from them, three lone
    // markers at p = 1e-9, 1e-10 and 3e-8, and one at 6e-8 that does not
    // count: three significant markers lie outside every peak.
    std::string table = "CHR\tPOS\tP\n";
    auto add = [&](int chrom, long pos, const char* p) {
        table += std::to_string(chrom) + "\t" + std::to_string(pos) + "\t" + p + "\n";
    };
    const char* shape[] = {"1e-4", "1e-6", "1e-9", "1e-12", "1e-9", "1e-6", "1e-4"};
    for (int chrom = 1; chrom <= 2; ++chrom) {
        for (long base : {1000000L, 5000000L}) {
            for (long k = 0; k < 5; ++k)
                add(chrom, base - 500000 + k * 100000, "0.001");
            for (long k = 0; k < 7; ++k)
                add(chrom, base + k * 1000, shape[k]);
            for (long k = 0; k < 5; ++k)
                add(chrom, base + 500000 + k * 100000, "0.001");
        }
        add(chrom, 9000000, chrom == 1 ? "1e-9" : "3e-8");
        add(chrom, 9500000, chrom == 1 ? "1e-10" : "6e-8");
    }
    const std::string dir = makeTempDir();
    writeFile(dir + "/g.tsv", table);
    const RunResult r = runQuorlin({"-file", "g.tsv", "-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1", "-header",
                                    "yes", "-shrink", "0", "-dots", "1", "-peak-limit", "7.1"},
                                   dir);
    ASSERT_EQ(r.status, 0) << r.command;
    const std::string report = readFile(dir + "/g.tsv.out");
    ASSERT_EQ(std::count(report.begin(), report.end(), '\n'), 5) << "header and four peaks";
    EXPECT_NE(r.err.find("g.tsv: 3 of 15 markers with p <= 5e-08 lie outside every reported peak; the strongest is "
                         "1:9500000 with p = 1e-10"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("g.tsv: 72 rows read, 72 used, 72 markers retained, 2 chromosomes, 4 peaks reported"),
              std::string::npos)
        << r.err;
}
