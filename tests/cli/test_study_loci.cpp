// The study-wide loci table as a unit: chromosome names compared by the one
// name rule, each table's own spelling kept, and the optional columns
// (clumped_by, genes) kept by name.
#include "cli/study_loci.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

const std::string kHeader = "chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\t"
                            "peak_ranges\tbest_gqs";

std::string locus(const std::string& chrom, int start, int end, const std::string& extra = "")
{
    return chrom + "\t" + std::to_string(start) + "\t" + std::to_string(end) + "\trs" + std::to_string(start) +
           "\t" + std::to_string(start) + "\t9\t3\tpeak\t1\t" + std::to_string(start) + "-" + std::to_string(end) +
           "\t3.5" + extra + "\n";
}

} // namespace

TEST(StudyLoci, ChromosomeSpellingsAreOneAndOptionalColumnsAreKept)
{
    const std::string extra = "\tr2\tGENE\t0\tGENE";
    const std::string header = kHeader + "\tclumped_by\tnearest_gene\tgene_distance\tgenes\tBETA\n";
    const std::vector<TableLociText> tables = {
        {"a.tsv", header + locus("chr1", 1000, 2000, extra + "\t0.5") + locus("chrM", 10, 20, extra + "\t0.1") +
                      locus("chrX", 5, 6, extra + "\t0.2")},
        {"b.tsv", header + locus("1", 1500, 2500, extra + "\t0.4") + locus("MT", 15, 25, extra + "\t0.3") +
                      locus("2", 5, 6, extra + "\t0.3")},
    };
    const std::string text = studyLociText(tables, 0);
    const std::vector<std::string> want = {
        "table\t" + kHeader + "\tclumped_by\tnearest_gene\tgene_distance\tgenes\tshared_with",
        "a.tsv\t" + locus("chr1", 1000, 2000, extra).substr(0, locus("chr1", 1000, 2000, extra).size() - 1) + "\tb.tsv",
        "b.tsv\t" + locus("1", 1500, 2500, extra).substr(0, locus("1", 1500, 2500, extra).size() - 1) + "\ta.tsv",
    };
    size_t at = 0;
    for (const std::string& line : want) {
        const size_t end = text.find('\n', at);
        ASSERT_NE(end, std::string::npos) << text;
        EXPECT_EQ(text.substr(at, end - at), line);
        at = end + 1;
    }
    // Natural order by the shared key: 1, 2, X, then MT; chrM and MT are one.
    EXPECT_LT(text.find("b.tsv\t2\t"), text.find("a.tsv\tchrX\t")) << text;
    EXPECT_LT(text.find("a.tsv\tchrX\t"), text.find("a.tsv\tchrM\t")) << text;
    EXPECT_NE(text.find("chrM\t10\t20\trs10\t10\t9\t3\tpeak\t1\t10-20\t3.5" + extra + "\tb.tsv\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("0.5"), std::string::npos) << "carried columns are left out";
}
