// The presets against sample tables written after each program's documented
// layout (tests/data/formats, named <preset>.<anything>) and against real
// published tables where the shared data folder sits beside the repository:
// each is recognised as its program's output, its columns are found, and
// every data row read through those columns (after the row filter) gives a
// position and a p-value.
#include "io/column_plan.h"
#include "io/number_parsing.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace {

struct Expected {
    const char* file;
    const char* preset; // null: no preset may claim the table
    int position, pvalue, chromosome, id;
    bool log10;
    int filterColumn;
};

std::string field(std::string_view line, const FieldSeparator& sep, int column)
{
    PickedColumns cols;
    cols.add(column);
    std::string_view out[1];
    return pickFields(line, sep, cols, out) ? std::string(out[0]) : "<absent>";
}

void checkTable(const Expected& e, const std::string& path)
{
    SCOPED_TRACE(e.file);
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    const FormatPreset* detected = detectFormat(lines[0]);
    ASSERT_EQ(detected ? detected->name : "none", std::string(e.preset ? e.preset : "none"));
    if (!detected)
        return;
    ColumnRequest request;
    request.preset = detected;
    const FieldSeparator sep = presetSeparator(*detected);
    const ColumnPlanResult r = planColumns(request, &lines[0], sep);
    ASSERT_TRUE(r.ok) << r.error.stderrLine;
    const ColumnPlan& plan = r.plan;
    EXPECT_EQ(std::vector<int>({plan.position, plan.pvalue, plan.chromosome, plan.id, plan.filterColumn}),
              std::vector<int>({e.position, e.pvalue, e.chromosome, e.id, e.filterColumn}));
    EXPECT_EQ(plan.pIsLog10, e.log10);
    // Every data row that counts (after the row filter) read through the
    // plan: numbers where numbers belong.
    size_t counted = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (plan.filterColumn && field(line, sep, plan.filterColumn) != plan.filterValue)
            continue;
        ++counted;
        bool ok = false;
        EXPECT_TRUE(toInt32(field(line, sep, plan.position), &ok) > 0 && ok) << line;
        const std::string p = field(line, sep, plan.pvalue);
        const double value = toDouble(p, &ok);
        EXPECT_TRUE(p == "NA" || (ok && value >= 0 && (plan.pIsLog10 || value <= 1))) << line;
        EXPECT_NE(field(line, sep, plan.chromosome), "<absent>") << line;
    }
    EXPECT_GT(counted, 0u);
}

} // namespace

TEST(FormatSamples, RecognisedAndReadThroughTheirPreset)
{
    const Expected samples[] = {
        {"plink.assoc.linear", "plink", 3, 9, 1, 2, false, 5},
        {"plink.assoc", "plink", 3, 9, 1, 2, false, 0},
        {"plink.qassoc", "plink", 3, 9, 1, 2, false, 0},
        {"plink2.glm.linear", "plink2", 2, 15, 1, 3, false, 10},
        {"plink2.log10.glm.logistic.hybrid", "plink2", 2, 16, 1, 3, true, 11},
        {"regenie.regenie", "regenie", 2, 13, 1, 3, true, 0},
        {"saige.txt", "saige", 2, 13, 1, 3, false, 0},
        {"saige.snpid.txt", "saige", 2, 13, 1, 3, false, 0},
        {"bolt.stats", "bolt", 3, 12, 2, 1, false, 0},
        {"bolt.lmminf.stats", "bolt", 3, 11, 2, 1, false, 0},
        {"gwas-ssf.tsv", "gwas-ssf", 2, 8, 1, 9, false, 0},
        {"gwas-ssf.h.tsv", "gwas-ssf", 2, 8, 1, 9, false, 0},
        {"gwas-ssf.neglog10.tsv", "gwas-ssf", 2, 10, 1, 11, true, 0},
        {"gemma.assoc.txt", "gemma", 3, 12, 1, 2, false, 0},
        {"fastgwa.fastGWA", "fastgwa", 3, 10, 1, 2, false, 0},
    };
    std::set<std::string> covered;
    for (const Expected& e : samples) {
        checkTable(e, std::string(QUORLIN_FORMAT_SAMPLES) + "/" + e.file);
        covered.insert(e.preset);
    }
    // GWAS-VCF files are read through htslib, not known by a header line
    // (tests/cli/test_gwas_vcf.cpp, and their sample in test_table_formats).
    for (const FormatPreset& preset : formatPresets())
        EXPECT_TRUE(preset.vcf || covered.count(preset.name)) << "no sample table for " << preset.name;
}

TEST(FormatSamples, PlainTablesAreNotClaimed)
{
    for (const char* line : {"CHR\tBP\tSNP\tA1\tA2\tBETA\tSE\tP", "CHROM\tPOS\tID\tREF\tALT\tP", "chr pos p",
                             "SNP CHR BP P", "", "CHR,SNP,BP,A1,TEST,NMISS,BETA,STAT,P",
                             "CHR\tPOS\tRSID\tEffectAllele\tOtherAllele\tB\tSE\tEAF\tINFO\tP\tCaseN\tControlN\trowid"})
        EXPECT_EQ(detectFormat(line), nullptr) << line;
}

TEST(RealFormatSamples, PublishedTables)
{
    QUORLIN_NEEDS_REAL_DATA();
    const std::string dir = QUORLIN_REAL_DATA;
    const Expected real[] = {
        {"qmplot_gwas_plink_result.glm.tsv", "plink2", 2, 12, 1, 3, false, 7},
        {"regenie_example_test_bin_out_firth_Y1_SIMULATED.regenie.txt", "regenie", 2, 13, 1, 3, true, 0},
        {"regenie_example_test_bin_out_firth_Y1_SIMULATED_withP.txt", "regenie", 2, 13, 1, 3, true, 0},
    };
    for (const Expected& e : real)
        checkTable(e, dir + "/" + e.file);
    for (const char* file : {"topr_CD_UKBB_p1e-3.tsv", "METAL_GlucoseExample_MAGIC_FUSION_Results_space.txt",
                             "gapdatasets_w4_chicken_sorted.tsv", "RapidoPGS_michailidou19_BRCA_100k.tsv",
                             "gwascat_NHGRI_catalog_2014-09-08_sorted.tsv", "echodata_PD_locus_BST1.tsv"})
        checkTable({file, nullptr, 0, 0, 0, 0, false, 0}, dir + "/" + file);
}
