// The genes library against the plain reference on generated annotations,
// written as GTF, GFF3 (gzip) and BED: crowded chromosomes with equal starts,
// equal names, nested genes and gaps, chr prefixes in any case, M and MT,
// genes on chromosomes the queries never name, and the type filter. The gene
// track rows are checked for overlaps and for using the fewest rows.
#include "annotation_reader.h"
#include "gene_columns.h"
#include "gene_reference.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

const char* const kTypes[] = {"protein_coding", "lncRNA", "miRNA"};
// The annotation's naming of each chromosome, and how tables may name them.
const char* const kAnnotationChroms[] = {"chr1", "Chr2", "CHRM", "3", "chrX_alt"};
const char* const kTableChroms[] = {"1", "chr1", "cHr2", "2", "M", "MT", "chrM", "3", "chr3", "7", "chrX_alt"};

// Coordinates on a grid of 10 and leads on a grid of 5, so that a lead often
// lies as far from the gene before it as from the gene after it; the
// annotation is crowded (span 3,000) or sparse (span 30,000).
std::vector<RefGene> generatedGenes(std::mt19937& rng, long long span)
{
    std::vector<RefGene> genes;
    std::uniform_int_distribution<long long> start(1, span / 10), length(0, 40);
    std::uniform_int_distribution<int> name(1, 60), type(0, 2), chrom(0, 4);
    for (int i = 0; i < 400; ++i) {
        RefGene g;
        g.chrom = kAnnotationChroms[chrom(rng)];
        // Every fourth gene starts where an earlier one does: ties in start.
        g.start = i % 4 == 3 && !genes.empty() ? genes[rng() % genes.size()].start : 10 * start(rng);
        g.end = g.start + 10 * length(rng);
        g.name = "G" + std::to_string(name(rng));
        g.type = kTypes[type(rng)];
        genes.push_back(g);
    }
    return genes;
}

// Other record types around each gene, as real GTF and GFF3 files have them.
std::string gtfText(const std::vector<RefGene>& genes)
{
    std::ostringstream out;
    out << "#!genome-build test\n";
    for (size_t i = 0; i < genes.size(); ++i) {
        const RefGene& g = genes[i];
        const std::string place = g.chrom + "\tsrc\t";
        const std::string coords = "\t" + std::to_string(g.start) + "\t" + std::to_string(g.end) + "\t.\t+\t.\t";
        const std::string name = i % 3 == 0 ? "gene_id \"" + g.name + "\";" : "gene_id \"ID" + std::to_string(i) +
                                                                                    "\"; gene_name \"" + g.name + "\";";
        const std::string type = (i % 2 ? " gene_type \"" : " gene_biotype \"") + g.type + "\";";
        out << place << "gene" << coords << name << type << " level 2;\n";
        out << place << "transcript" << coords << name << " transcript_type \"x\";\n";
        out << place << "exon" << coords << name << type << "\n";
    }
    return out.str();
}

std::string gff3Text(const std::vector<RefGene>& genes)
{
    std::ostringstream out;
    out << "##gff-version 3.1.26\n##sequence-region chr1 1 5000\n";
    for (size_t i = 0; i < genes.size(); ++i) {
        const RefGene& g = genes[i];
        const std::string coords = "\t" + std::to_string(g.start) + "\t" + std::to_string(g.end) + "\t.\t-\t.\t";
        const std::string name = i % 3 == 0 ? "ID=" + g.name : "ID=gene:" + std::to_string(i) + ";Name=" + g.name;
        const char* typeKey = i % 3 == 0 ? "biotype" : i % 3 == 1 ? "gene_type" : "gene_biotype";
        out << g.chrom << "\tsrc\tgene" << coords << name << ";" << typeKey << "=" << g.type << "\n";
        out << g.chrom << "\tsrc\tmRNA" << coords << "ID=t" << i << ";Parent=gene:" << i << "\n";
    }
    out << "##FASTA\n>chr1\nACGT\n";
    return out.str();
}

std::string bedText(const std::vector<RefGene>& genes)
{
    std::ostringstream out;
    out << "track name=genes\n";
    for (const RefGene& g : genes)
        out << g.chrom << "\t" << g.start - 1 << "\t" << g.end << "\t" << g.name << "\t0\t+\n";
    return out.str();
}

void compareWithReference(const std::string& path, const std::vector<RefGene>& refGenes, const std::string& types,
                          long long span, std::mt19937& rng)
{
    GeneTypeFilter filter;
    std::string error;
    ASSERT_TRUE(parseGeneTypes(types, filter, error)) << error;
    const GeneAnnotation a = readGeneAnnotation(path, filter);
    ASSERT_TRUE(a.ok) << a.error;
    std::uniform_int_distribution<long long> pos(-10, span / 5 + 100), width(0, 120);
    for (int q = 0; q < 700; ++q) {
        const std::string chrom = kTableChroms[rng() % std::size(kTableChroms)];
        const long long lead = 5 * pos(rng);
        const long long from = lead - 5 * width(rng), to = lead + 5 * width(rng);
        const RefColumns want = refColumns(refGenes, types, chrom, lead, from, to);
        const GeneColumns got = geneColumns(a.index, chrom, lead, from, to);
        ASSERT_EQ(want.nearest + " " + want.distance + " " + want.genes,
                  got.nearestGene + " " + got.geneDistance + " " + got.genes)
            << path << " types " << types << " at " << chrom << ":" << lead << " [" << from << "," << to << "]";
        const std::vector<GeneRef> window = a.index.overlapping(chrom, from, to);
        const std::vector<int> rows = geneTrackRows(window);
        int rowCount = 0, depth = 0;
        for (size_t i = 0; i < window.size(); ++i) {
            rowCount = std::max(rowCount, rows[i] + 1);
            int covering = 0;
            for (size_t j = 0; j < window.size(); ++j) {
                covering += window[j].start <= window[i].start && window[j].end >= window[i].start;
                if (j != i && rows[j] == rows[i]) {
                    ASSERT_TRUE(window[j].end < window[i].start || window[i].end < window[j].start);
                }
            }
            depth = std::max(depth, covering);
        }
        ASSERT_EQ(rowCount, depth) << "gene track rows at " << chrom << ":" << from << "-" << to;
    }
}

} // namespace

TEST(GenesDifferential, GeneratedAnnotationsInEveryFormatAgreeWithTheReference)
{
    const std::string dir = makeTempDir();
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 rng(seed);
        const long long span = seed % 2 ? 3000 : 30000;
        const std::vector<RefGene> genes = generatedGenes(rng, span);
        writeFile(dir + "/g.gtf", gtfText(genes));
        writeGzip(dir + "/g.gff3.gz", gff3Text(genes), 2);
        writeFile(dir + "/g.bed", bedText(genes));
        for (const char* types : {"protein_coding", "all", "lncRNA,miRNA"}) {
            compareWithReference(dir + "/g.gtf", genes, types, span, rng);
            compareWithReference(dir + "/g.gff3.gz", genes, types, span, rng);
        }
        std::vector<RefGene> untyped = genes;
        for (RefGene& g : untyped)
            g.type.clear();
        compareWithReference(dir + "/g.bed", untyped, "miRNA", span, rng);
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
