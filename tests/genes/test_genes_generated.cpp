// The genes library against the plain reference on generated annotations in
// GTF and BED form: equal starts, equal names, equal distances on both sides,
// nested genes, chr prefixes in any case, M and MT, chromosomes the queries
// never name, and the type filter. Gene track rows are checked for overlaps
// and for using the fewest rows.
#include "genes/annotation_reader.h"
#include "genes/gene_columns.h"
#include "gene_reference.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

const char* const kAnnotationChroms[] = {"chr1", "Chr2", "CHRM", "3", "chrX_alt"};
const char* const kTableChroms[] = {"1", "chr1", "cHr2", "2", "M", "MT", "chrM", "3", "chr3", "7", "chrX_alt"};

// Coordinates on a grid of 10 and leads on a grid of 5 make equal distances
// common; the span makes the annotation crowded (3,000) or sparse (30,000).
std::vector<RefGene> generatedGenes(std::mt19937& rng, long long span)
{
    const char* const types[] = {"protein_coding", "lncRNA", "miRNA"};
    std::vector<RefGene> genes(400);
    for (size_t i = 0; i < genes.size(); ++i) {
        RefGene& g = genes[i];
        g.chrom = kAnnotationChroms[rng() % 5];
        // Every fourth gene starts where an earlier one does.
        g.start = i % 4 == 3 ? genes[rng() % i].start : 10 * (1 + static_cast<long long>(rng() % (span / 10)));
        g.end = g.start + 10 * static_cast<long long>(rng() % 41);
        g.name = "G" + std::to_string(rng() % 60);
        g.type = types[rng() % 3];
    }
    return genes;
}

// GTF with transcript and exon records around each gene, the name in
// gene_name or only in gene_id, the type in gene_type or gene_biotype.
std::string gtfText(const std::vector<RefGene>& genes)
{
    std::ostringstream out;
    out << "#!genome-build test\n";
    for (size_t i = 0; i < genes.size(); ++i) {
        const RefGene& g = genes[i];
        const std::string name = i % 3 ? "gene_id \"ID" + std::to_string(i) + "\"; gene_name \"" + g.name + "\";"
                                       : "gene_id \"" + g.name + "\";";
        const std::string rest = "\t" + std::to_string(g.start) + "\t" + std::to_string(g.end) + "\t.\t+\t.\t" + name +
                                 (i % 2 ? " gene_type \"" : " gene_biotype \"") + g.type + "\"; level 2;\n";
        for (const char* kind : {"gene", "transcript", "exon"})
            out << g.chrom << "\tsrc\t" << kind << rest;
    }
    return out.str();
}

void compareWithReference(const std::string& path, const std::vector<RefGene>& genes, const std::string& types,
                          long long span, std::mt19937& rng)
{
    GeneTypeFilter filter;
    std::string error;
    ASSERT_TRUE(parseGeneTypes(types, filter, error)) << error;
    const GeneAnnotation a = readGeneAnnotation(path, filter);
    ASSERT_TRUE(a.ok) << a.error;
    for (int q = 0; q < 700; ++q) {
        const std::string chrom = kTableChroms[rng() % std::size(kTableChroms)];
        const long long lead = 5 * (static_cast<long long>(rng() % static_cast<unsigned>(span / 5 + 100)) - 10);
        const long long from = lead - 5 * static_cast<long long>(rng() % 120), to = lead + 5 * static_cast<long long>(rng() % 120);
        const GeneColumns got = geneColumns(a.index, chrom, lead, from, to);
        ASSERT_EQ(refColumns(genes, types, chrom, lead, from, to), got.nearestGene + " " + got.geneDistance + " " + got.genes)
            << path << " types " << types << " at " << chrom << ":" << lead << " [" << from << "," << to << "]";
        const std::vector<GeneRef> window = a.index.overlapping(chrom, from, to);
        const std::vector<int> rows = geneTrackRows(window);
        int rowCount = 0, depth = 0;
        for (size_t i = 0; i < window.size(); ++i) {
            rowCount = std::max(rowCount, rows[i] + 1);
            int covering = 0;
            for (size_t j = 0; j < window.size(); ++j) {
                covering += window[j].start <= window[i].start && window[j].end >= window[i].start;
                const bool apart = window[j].end < window[i].start || window[i].end < window[j].start;
                ASSERT_TRUE(j == i || rows[j] != rows[i] || apart) << "genes overlap on one track row";
            }
            depth = std::max(depth, covering);
        }
        ASSERT_EQ(rowCount, depth) << "gene track rows at " << chrom << ":" << from << "-" << to;
    }
}

} // namespace

TEST(GenesDifferential, GeneratedAnnotationsAgreeWithTheReference)
{
    const std::string dir = makeTempDir();
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 rng(seed);
        const long long span = seed % 2 ? 3000 : 30000;
        std::vector<RefGene> genes = generatedGenes(rng, span);
        writeGzip(dir + "/g.gtf.gz", gtfText(genes), 2);
        for (const char* types : {"protein_coding", "all", "lncRNA,miRNA"})
            compareWithReference(dir + "/g.gtf.gz", genes, types, span, rng);
        std::ostringstream bed;
        bed << "track name=genes\n";
        for (RefGene& g : genes) {
            bed << g.chrom << "\t" << g.start - 1 << "\t" << g.end << "\t" << g.name << "\t0\t+\n";
            g.type.clear(); // BED has no types: every gene counts
        }
        writeFile(dir + "/g.bed", bed.str());
        compareWithReference(dir + "/g.bed", genes, "miRNA", span, rng);
    }
}

TEST(GenesDifferential, GeneTrackRowsKeepTheGapAndTakeAnyOrder)
{
    const std::vector<GeneRef> genes = {{300, 400, "C"}, {100, 200, "A"}, {150, 160, "B"}, {205, 260, "D"}, {201, 210, "E"}};
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 0}), geneTrackRows(genes));
    // E (start 201) may not follow A (end 200) with a gap of 4; D (205) may.
    EXPECT_EQ((std::vector<int>{0, 0, 1, 0, 1}), geneTrackRows(genes, 4));
    EXPECT_EQ((std::vector<int>{0, 0, 1, 2, 1}), geneTrackRows(genes, 5));
}
