// Whole runs on the real tables of the shared data that a wrong annotation
// would name wrongly: gene types from the BED annotation's 7th column, and
// the genome builds of tables and annotations. Skipped without the shared
// data folder; a table missing from it fails.
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kReal = QUORLIN_REAL_DATA;

std::string realFile(const std::string& name)
{
    const fs::path path = kReal / name;
    EXPECT_TRUE(fs::exists(path)) << "real table missing: " << path;
    return path.string();
}

// The named column of every line of a tab-separated file with a header.
std::vector<std::string> column(const std::string& text, const std::string& name)
{
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> names = tabFields(line);
    const size_t at = static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    std::vector<std::string> out;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = tabFields(line);
        out.push_back(at < f.size() ? f[at] : "(missing)");
    }
    return out;
}

} // namespace

// The ulcerative colitis loci named from the BED annotation with
// -gene-types protein_coding are those named from the GTF form (the BED's
// 7th column holds the types); without the type filter the BED names
// pseudogenes and lncRNAs at some of them.
TEST(GenomeBuildRuns, BedAndGtfNameTheSameProteinCodingGenes)
{
    QUORLIN_NEEDS_REAL_DATA();
    const std::string work = makeTempDir();
    const std::vector<std::string> base = {"-file", realFile("topr_UC_UKBB_p1e-3.tsv"), "-lcolumn", "POS", "-pcolumn",
                                           "P", "-chrcolumn", "CHROM", "-idcolumn", "ID", "-header", "yes"};
    std::vector<std::string> names[3];
    const char* annotations[3] = {"topr_ENSGENES_GRCh38_genes.gtf.gz", "topr_ENSGENES_GRCh38.bed",
                                  "topr_ENSGENES_GRCh38.bed"};
    const char* types[3] = {"protein_coding", "protein_coding", "all"};
    for (int k = 0; k < 3; ++k) {
        std::vector<std::string> args = base;
        const std::string loci = "uc" + std::to_string(k) + ".loci";
        args.insert(args.end(), {"-out", "uc" + std::to_string(k) + ".out", "-loci", loci, "-genes",
                                 realFile(annotations[k]), "-gene-types", types[k]});
        const RunResult r = runQuorlin(args, work);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("cannot apply"), std::string::npos) << r.err;
        const std::string text = readFile(work + "/" + loci);
        names[k] = column(text, "nearest_gene");
        const std::vector<std::string> genes = column(text, "genes");
        names[k].insert(names[k].end(), genes.begin(), genes.end());
    }
    ASSERT_GT(names[0].size(), 40u);
    EXPECT_EQ(names[0], names[1]);
    EXPECT_NE(names[0], names[2]);
}
