// What the annotation gives the regional figures beyond the gene's span:
// its strand in every format, and in a GTF its exons merged over its
// transcripts, only from the exon records of that gene.
#include "genes/annotation_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using Exons = std::vector<std::pair<int64_t, int64_t>>;

struct Model {
    char strand;
    Exons exons;
};

std::map<std::string, Model> models(const std::string& name, const std::string& text, bool every = true)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/" + name, text);
    GeneTypeFilter filter;
    filter.all = every;
    const GeneAnnotation a = readGeneAnnotation(dir + "/" + name, filter, true);
    EXPECT_TRUE(a.ok) << a.error;
    std::map<std::string, Model> out;
    for (const GeneRef& g : a.index.overlapping("chr1", 0, 1000000000))
        out[std::string(g.name)] = {g.strand, Exons(g.exons, g.exons + g.exonCount)};
    return out;
}

std::string gtf(const std::string& type, int64_t start, int64_t end, char strand, const std::string& attributes)
{
    return "chr1\tsrc\t" + type + "\t" + std::to_string(start) + "\t" + std::to_string(end) + "\t.\t" +
           std::string(1, strand) + "\t.\t" + attributes + "\n";
}

} // namespace

TEST(GeneModels, GtfExonsAreMergedOverTranscriptsOfTheirOwnGene)
{
    const std::string a = "gene_id \"G1\"; gene_name \"ALPHA\"; gene_type \"protein_coding\";";
    const std::string b = "gene_id \"G10\"; gene_name \"BETA\"; gene_type \"lncRNA\";";
    const std::string c = "gene_id \"G2\"; gene_name \"GAMMA\"; gene_type \"protein_coding\";";
    const std::string text =
        gtf("gene", 100, 900, '+', a) + gtf("transcript", 100, 900, '+', a) +
        // two transcripts: exons overlapping, touching and apart, out of order
        gtf("exon", 700, 900, '+', a) + gtf("exon", 100, 200, '+', a) + gtf("exon", 150, 250, '+', a) +
        gtf("exon", 251, 300, '+', a) + gtf("exon", 500, 600, '+', a) +
        // BETA's id starts with G1: its exons are not ALPHA's
        gtf("gene", 1000, 2000, '-', b) + gtf("exon", 1000, 1100, '-', b) +
        // an exon naming another gene than the last is not kept
        gtf("gene", 3000, 4000, '.', c) + gtf("exon", 3000, 3100, '.', a) + gtf("CDS", 3000, 3050, '.', c);
    std::map<std::string, Model> m = models("g.gtf", text);
    EXPECT_EQ(m["ALPHA"].strand, '+');
    EXPECT_EQ(m["ALPHA"].exons, (Exons{{100, 300}, {500, 600}, {700, 900}}));
    EXPECT_EQ(m["BETA"].strand, '-');
    EXPECT_EQ(m["BETA"].exons, (Exons{{1000, 1100}}));
    EXPECT_EQ(m["GAMMA"].strand, 0);
    EXPECT_TRUE(m["GAMMA"].exons.empty());
    // With BETA left out by its type, ALPHA keeps only its own exons.
    m = models("g.gtf", text, false);
    EXPECT_EQ(m.count("BETA"), 0u);
    EXPECT_EQ(m["ALPHA"].exons, (Exons{{100, 300}, {500, 600}, {700, 900}}));
    // Without exons asked for, none are read.
    const std::string dir = makeTempDir();
    writeFile(dir + "/g.gtf", text);
    const GeneAnnotation plain = readGeneAnnotation(dir + "/g.gtf", GeneTypeFilter());
    ASSERT_TRUE(plain.ok) << plain.error;
    EXPECT_EQ(plain.index.overlapping("chr1", 100, 100).at(0).exonCount, 0u);
}

TEST(GeneModels, StrandInGff3AndBed)
{
    std::map<std::string, Model> m = models("g.gff3", "##gff-version 3\n"
                                                      "chr1\ts\tgene\t10\t20\t.\t-\t.\tID=g1;Name=ONE\n"
                                                      "chr1\ts\tgene\t30\t40\t.\t?\t.\tID=g2;Name=TWO\n"
                                                      "chr1\ts\texon\t10\t12\t.\t-\t.\tParent=g1\n");
    EXPECT_EQ(m["ONE"].strand, '-');
    EXPECT_TRUE(m["ONE"].exons.empty()); // GFF3 exons hang from transcripts: not read
    EXPECT_EQ(m["TWO"].strand, 0);
    m = models("g.bed", "chr1\t9\t20\tONE\t0\t+\nchr1\t29\t40\tTWO\t0\t.\nchr1\t49\t60\tTHREE\n");
    EXPECT_EQ(m["ONE"].strand, '+');
    EXPECT_EQ(m["TWO"].strand, 0);
    EXPECT_EQ(m["THREE"].strand, 0);
}
