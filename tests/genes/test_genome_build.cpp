// The genome-build evidence on its own: build names, the compiled-in
// fingerprint, the annotation's header lines and gene ends, and a table's
// rows, metadata file and lines against -build and the annotation's build.
#include "genes/gene_index.h"
#include "genes/genome_build.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// A probe fed with rows of one chromosome each: name, positions, ids.
struct Row {
    const char* chrom;
    int32_t position;
    const char* id;
};

TableBuildProbe probeOf(const std::vector<Row>& rows)
{
    TableBuildProbe probe;
    std::string current;
    for (const Row& r : rows) {
        if (current != r.chrom)
            probe.chromosome(current = r.chrom);
        probe.row(r.position, r.id);
    }
    return probe;
}

// n fingerprint rsIDs, each at its GRCh37 or GRCh38 position, on a
// chromosome of no known length (so that only the rsIDs tell).
std::vector<Row> fingerprintRows(int n, bool grch37)
{
    static const char* const ids[] = {"rs563", "rs839"};
    static const int32_t p37[] = {139296485, 131819126}, p38[] = {136402033, 132483434};
    std::vector<Row> rows;
    for (int k = 0; k < n; ++k)
        rows.push_back({"unplaced", grch37 ? p37[k % 2] : p38[k % 2], ids[k % 2]});
    return rows;
}

} // namespace

TEST(GenomeBuild, NamesOfOneBuildAreOne)
{
    for (const char* n : {"GRCh37", "grch37.p13", "hg19", "b37", " \"GRCh37\" "})
        EXPECT_EQ("GRCh37", canonicalBuild(n)) << n;
    for (const char* n : {"GRCh38", "GRCh38.p14", "HG38"})
        EXPECT_EQ("GRCh38", canonicalBuild(n)) << n;
    EXPECT_EQ("NCBI36", canonicalBuild("hg18"));
    EXPECT_EQ("Sscrofa11.1", canonicalBuild("Sscrofa11.1"));
    EXPECT_EQ(248956422, knownChromosomeLength("GRCh38", "chr1"));
    EXPECT_EQ(155270560, knownChromosomeLength("GRCh37", "X"));
    EXPECT_EQ(0, knownChromosomeLength("GRCh37", "chrUn_gl000220"));
    EXPECT_EQ(0, knownChromosomeLength("Sscrofa11.1", "1"));
}

// Whole rsIDs only, also as the first part of rsID:pos:ref:alt ids (the
// plain lookups: TableRowsDecideByMostFingerprintRows).
TEST(GenomeBuild, FingerprintLookups)
{
    uint32_t a = 0, b = 0;
    EXPECT_TRUE(fingerprintPositions("rs839:131819126:A:G", a, b));
    EXPECT_EQ(131819126u, a);
    for (const char* id : {"rs56", "rs5630", "rs563x", "rs", "RS563", "1:566875:C:T", "", "rs99999999999999"})
        EXPECT_FALSE(fingerprintPositions(id, a, b)) << id;
}

TEST(GenomeBuild, AnnotationHeaderLinesAndGeneEnds)
{
    const struct {
        std::vector<std::string> lines;
        const char* build;
    } headers[] = {
        {{"#!genome-build GRCh38.p14", "#!genome-version GRCh37"}, "GRCh38"}, // the first line that names one
        {{"##description: evidence-based annotation of the human genome (GRCh37), version 19"}, "GRCh37"},
        {{"##description: evidence-based annotation of the human genome (GRCh38), version 44 (Ensembl 110), "
          "mapped to GRCh37 with gencode-backmap"},
         "GRCh37"},
        {{"##sequence-region chr1 1 249250621", "##sequence-region chrUn 1 5000"}, "GRCh37"},
        {{"##sequence-region 1 1 274330532"}, ""}, // another species' chromosome 1
    };
    for (const auto& h : headers) {
        AnnotationBuildNotes notes;
        for (const std::string& line : h.lines)
            notes.headerLine(line);
        const BuildCall call = notes.call();
        EXPECT_EQ(h.build, call.build) << h.lines[0];
        const std::string kind = h.lines[0].substr(0, h.lines[0].find_first_of(" :")); // the evidence names it
        EXPECT_TRUE(!*h.build || call.evidence.find(kind) != std::string::npos) << call.evidence;
    }

    // Genes past GRCh37's chr17 name GRCh38, on any chromosome order.
    AnnotationBuildNotes ends;
    ends.geneEnd("chr17", 1000);
    ends.geneEnd("chr1", 248900000);
    ends.geneEnd("chr17", 83200000);
    ends.geneEnd("chr17", 5000);
    const BuildCall c = ends.call();
    EXPECT_EQ("GRCh38", c.build);
    EXPECT_TRUE(c.rulesOut("GRCh37"));
    EXPECT_NE(c.evidence.find("chr17"), std::string::npos) << c.evidence;
    EXPECT_EQ(c.evidence.find("chr1,"), std::string::npos) << c.evidence;

    AnnotationBuildNotes none;
    none.geneEnd("chr1", 1000);
    EXPECT_EQ("", none.call().build);
    EXPECT_TRUE(none.call().excluded.empty());
}

TEST(GenomeBuild, TableRowsDecideByMostFingerprintRows)
{
    EXPECT_EQ("GRCh37", probeOf(fingerprintRows(10, true)).call("t.tsv").build);
    EXPECT_EQ("GRCh38", probeOf(fingerprintRows(10, false)).call("t.tsv").build);
    EXPECT_EQ("", probeOf(fingerprintRows(9, true)).call("t.tsv").build); // too few
    std::vector<Row> mixed = fingerprintRows(10, true);
    for (const Row& r : fingerprintRows(10, false))
        mixed.push_back(r);
    EXPECT_EQ("", probeOf(mixed).call("t.tsv").build);
    // Rows at neither position (an older build) rule both out.
    std::vector<Row> shifted = fingerprintRows(12, true);
    for (Row& r : shifted)
        r.position += 1000;
    const BuildCall old = probeOf(shifted).call("t.tsv");
    EXPECT_EQ("", old.build);
    EXPECT_TRUE(old.rulesOut("GRCh37") && old.rulesOut("GRCh38"));
    // A position past GRCh38's chr1 but within GRCh37's names GRCh37.
    EXPECT_EQ("GRCh37", probeOf({{"1", 249000000, "."}, {"2", 5, ""}}).call("t.tsv").build);
}

TEST(GenomeBuild, LinesAgainstDeclaredAndAnnotationBuilds)
{
    const TableBuildProbe hg19 = probeOf(fingerprintRows(20, true));
    BuildCall grch38;
    grch38.build = "GRCh38";
    const std::string plain = tableBuildLines("t.tsv", "", hg19, nullptr, nullptr);
    EXPECT_EQ(plain.find("warning"), std::string::npos) << plain;
    EXPECT_NE(plain.find("genome build GRCh37, inferred: 20 of the 20 rows"), std::string::npos) << plain;
    const std::string against = tableBuildLines("t.tsv", "", hg19, &grch38, nullptr);
    EXPECT_NE(against.find("warning: t.tsv: the table's genome build is GRCh37, the gene annotation's GRCh38"),
              std::string::npos)
        << against;
    const std::string declared = tableBuildLines("t.tsv", "hg38", hg19, &grch38, nullptr);
    EXPECT_NE(declared.find("genome build GRCh38, declared by -build"), std::string::npos) << declared;
    EXPECT_NE(declared.find("-build hg38 is used, but the evidence disagrees"), std::string::npos) << declared;
    EXPECT_EQ(declared.find("gene annotation's"), std::string::npos) << declared;
    const std::string agreeing = tableBuildLines("t.tsv", "GRCh37", hg19, nullptr, nullptr);
    EXPECT_EQ(agreeing.find("warning"), std::string::npos) << agreeing;
    const std::string unknown = tableBuildLines("t.tsv", "", probeOf({{"1", 5, "x"}}), &grch38, nullptr);
    EXPECT_NE(unknown.find("genome build unknown"), std::string::npos) << unknown;
    EXPECT_EQ(unknown.find("warning"), std::string::npos) << unknown;
}

TEST(GenomeBuild, GwasSsfMetadataFileNamesTheBuild)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv-meta.yaml", "date_metadata_last_modified: 2024-01-01\ngenome_assembly: GRCh37\n");
    writeFile(dir + "/u.tsv.gz-meta.yaml", "genome_assembly: 'hg38'\n");
    writeFile(dir + "/v.tsv-meta.yaml", "  genome_assembly: GRCh38\n"); // not a top-level key
    std::string file;
    EXPECT_EQ("GRCh37", metadataBuild(dir + "/t.tsv", file));
    EXPECT_EQ(dir + "/t.tsv-meta.yaml", file);
    EXPECT_EQ("GRCh38", metadataBuild(dir + "/u.tsv.gz", file));
    EXPECT_EQ("", metadataBuild(dir + "/v.tsv", file));
    EXPECT_EQ("", metadataBuild(dir + "/w.tsv", file));
    // The metadata file wins over the rows, which are shown beside it.
    const BuildCall c = probeOf(fingerprintRows(10, false)).call(dir + "/t.tsv");
    EXPECT_EQ("GRCh37", c.build);
    EXPECT_NE(c.evidence.find("genome_assembly in"), std::string::npos) << c.evidence;
    EXPECT_NE(c.evidence.find("but 10 of the 10 rows"), std::string::npos) << c.evidence;
}

// An annotation naming fewer than half of the table's chromosomes warns;
// half or more, or none (the run's own warning covers none), does not.
TEST(GenomeBuild, FewChromosomesOfTheTableInTheAnnotation)
{
    GeneIndex genes;
    ASSERT_TRUE(genes.add("chr1", 100, 200, "A"));
    ASSERT_TRUE(genes.add("chr2", 100, 200, "B"));
    genes.finish();
    const TableBuildProbe five = probeOf({{"1", 150, ""}, {"3", 1, ""}, {"4", 1, ""}, {"5", 1, ""}, {"6", 1, ""}});
    const std::string few = tableBuildLines("t.tsv", "", five, nullptr, &genes);
    EXPECT_NE(few.find("warning: t.tsv: only 1 of the table's 5 chromosomes are named in the gene annotation"),
              std::string::npos)
        << few;
    const TableBuildProbe half = probeOf({{"1", 150, ""}, {"chr2", 1, ""}, {"3", 1, ""}, {"4", 1, ""}});
    EXPECT_EQ(tableBuildLines("t.tsv", "", half, nullptr, &genes).find("warning"), std::string::npos);
    const TableBuildProbe none = probeOf({{"9", 150, ""}});
    EXPECT_EQ(tableBuildLines("t.tsv", "", none, nullptr, &genes).find("warning"), std::string::npos);
}
