// Whole runs on the real tables of the shared data that a wrong annotation
// would name wrongly: gene types from the BED annotation's 7th column, and
// the genome builds of tables and annotations. Skipped without the shared
// data folder; a table missing from it fails.
#include "test_support.h"

#include <gtest/gtest.h>

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
        for (auto& locus : tsvRecords(readFile(work + "/" + loci)))
            names[k].push_back(locus["nearest_gene"] + " " + locus["genes"]);
    }
    ASSERT_GT(names[0].size(), 20u);
    EXPECT_EQ(names[0], names[1]);
    EXPECT_NE(names[0], names[2]);
}

namespace {

struct RealTable {
    const char* file;
    const char* position;
    const char* pvalue;
    const char* chromosome;
};

// The run's standard error with the shared GRCh38 annotation.
std::string buildRun(const RealTable& t, const std::vector<std::string>& more = {})
{
    const std::string work = makeTempDir();
    std::vector<std::string> args = {"-file", realFile(t.file), "-out", "t.out", "-lcolumn", t.position, "-pcolumn",
                                     t.pvalue, "-chrcolumn", t.chromosome, "-header", "yes", "-loci", "t.loci"};
    args.insert(args.end(), more.begin(), more.end());
    const RunResult r = runQuorlin(args, work);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.err;
}

const std::vector<std::string> kGtf = {"-genes", std::string(QUORLIN_REAL_DATA) +
                                                     "/topr_ENSGENES_GRCh38_genes.gtf.gz"};
const char* const kOtherBuild = "; its gene columns name the genes at the table's positions in another build";

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

// The hg19 tables are called GRCh37 by the fingerprint and warn against the
// GRCh38 annotation; the GRCh38 tables are called GRCh38 and do not warn.
TEST(GenomeBuildRuns, Hg19TablesWarnAndGrch38TablesDoNot)
{
    QUORLIN_NEEDS_REAL_DATA();
    for (const RealTable& t : {RealTable{"fcfdr_T1D_ImmunoChip_OnengutGumuscu2015.tsv", "BP19", "T1D_pval", "CHR19"},
                               RealTable{"tidyGWAS_PGC3_SCZ_100k_sorted.tsv.gz", "POS", "P", "CHR"},
                               RealTable{"RapidoPGS_michailidou19_BRCA_100k.tsv", "BP", "P", "CHR"}}) {
        const std::string err = buildRun(t, kGtf);
        EXPECT_TRUE(has(err, "gene annotation '" + kGtf[1] + "': genome build GRCh38, genes end beyond GRCh37's"))
            << err;
        EXPECT_TRUE(has(err, t.file + std::string(": genome build GRCh37, inferred: "))) << err;
        EXPECT_TRUE(has(err, "the table's genome build is GRCh37, the gene annotation's GRCh38" +
                                 std::string(kOtherBuild)))
            << err;
    }
    for (const RealTable& t : {RealTable{"topr_CD_UKBB_p1e-3.tsv", "POS", "P", "CHROM"},
                               RealTable{"topr_UC_UKBB_p1e-3.tsv", "POS", "P", "CHROM"},
                               RealTable{"topr_CD_FINNGEN_p1e-3.tsv", "POS", "P", "CHROM"}}) {
        const std::string err = buildRun(t, kGtf);
        EXPECT_TRUE(has(err, t.file + std::string(": genome build GRCh38, inferred: "))) << err;
        EXPECT_FALSE(has(err, kOtherBuild)) << err;
        EXPECT_FALSE(has(err, "evidence disagrees")) << err;
    }
}

// -build overrides the evidence with a warning; the report and loci bytes
// do not depend on the builds.
TEST(GenomeBuildRuns, DeclaredBuildAgainstTheEvidence)
{
    QUORLIN_NEEDS_REAL_DATA();
    const RealTable brca{"RapidoPGS_michailidou19_BRCA_100k.tsv", "BP", "P", "CHR"};
    const std::string work = makeTempDir();
    const std::string err = buildRun(brca, {"-build", "GRCh38"});
    EXPECT_TRUE(has(err, ": genome build GRCh38, declared by -build\n")) << err;
    EXPECT_TRUE(has(err, "-build GRCh38 is used, but the evidence disagrees: ")) << err;
    EXPECT_TRUE(has(err, "at its GRCh37 positions")) << err;
    const std::string agreeing = buildRun(brca, {"-build", "hg19"});
    EXPECT_TRUE(has(agreeing, ": genome build GRCh37, declared by -build\n")) << agreeing;
    EXPECT_FALSE(has(agreeing, "disagrees")) << agreeing;
}

// A human annotation on the pig table: its positions lie beyond both human
// builds' lengths.
TEST(GenomeBuildRuns, PigTableWithTheHumanAnnotationWarns)
{
    QUORLIN_NEEDS_REAL_DATA();
    const std::string err = buildRun({"CMplot_pig60K_sorted.tsv", "Position", "trait1", "Chromosome"},
                                     {"-genes", realFile("topr_ENSGENES_GRCh38.bed")});
    EXPECT_TRUE(has(err, "genome build unknown, neither GRCh37 nor GRCh38 (positions beyond the lengths")) << err;
    EXPECT_TRUE(has(err, "the table is not GRCh38 (")) << err;
    EXPECT_TRUE(has(err, kOtherBuild)) << err;
}

// An annotation's #!genome-build line, and a GWAS-SSF table's metadata file,
// each set the build; the report and loci bytes stay those of a run without
// any build evidence.
TEST(GenomeBuildRuns, HeaderLineAndMetadataFileSetTheBuilds)
{
    const std::string work = makeTempDir();
    writeFile(work + "/genes.gtf", "#!genome-build GRCh37.p13\n"
                                   "1\tsrc\tgene\t1000\t2000\t.\t+\t.\tgene_name \"A\"; gene_type \"protein_coding\";\n");
    std::string table = "chromosome\tbase_pair_location\tp_value\trsid\n";
    for (int k = 0; k < 50; ++k)
        table += "1\t" + std::to_string(1000 + k * 10) + "\t" + (k == 25 ? "1e-12" : "0.5") + "\trs" +
                 std::to_string(k + 1) + "\n";
    writeFile(work + "/t.tsv", table);
    const std::vector<std::string> args = {"-file", "t.tsv", "-format", "gwas-ssf", "-loci", "yes", "-genes",
                                           "genes.gtf"};
    const RunResult before = runQuorlin(args, work);
    ASSERT_EQ(before.status, 0) << before.err;
    EXPECT_TRUE(has(before.err, "gene annotation 'genes.gtf': genome build GRCh37, from its #!genome-build line"))
        << before.err;
    EXPECT_TRUE(has(before.err, "t.tsv: genome build unknown (")) << before.err;
    const std::string report = readFile(work + "/t.tsv.out"), loci = readFile(work + "/t.tsv.loci.tsv");
    writeFile(work + "/t.tsv-meta.yaml", "genome_assembly: GRCh38\ncoordinate_system: 1-based\n");
    const RunResult after = runQuorlin(args, work);
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_TRUE(has(after.err, "t.tsv: genome build GRCh38, inferred: genome_assembly in t.tsv-meta.yaml\n"))
        << after.err;
    EXPECT_TRUE(has(after.err, "the table's genome build is GRCh38, the gene annotation's GRCh37")) << after.err;
    EXPECT_EQ(before.out, after.out);
    EXPECT_EQ(report, readFile(work + "/t.tsv.out"));
    EXPECT_EQ(loci, readFile(work + "/t.tsv.loci.tsv"));
}
