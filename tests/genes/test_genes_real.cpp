// The real GRCh38 annotation (shared data) in its BED and GTF forms against
// each other at the markers of a GRCh38 table (the known Crohn's disease
// genes through the command line: tests/cli/test_real_runs.cpp).
#include "genes/annotation_reader.h"
#include "genes/gene_columns.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string kReal = QUORLIN_REAL_DATA;

struct Marker {
    std::string chrom;
    long long pos;
};

// Chromosome and position (the first two columns) of every row.
std::vector<Marker> markersOf(const std::string& table)
{
    std::vector<Marker> markers;
    std::ifstream in(kReal + "/" + table);
    std::string line;
    std::getline(in, line);
    for (Marker m; std::getline(in, line) && std::istringstream(line) >> m.chrom >> m.pos;)
        markers.push_back(m);
    return markers;
}

GeneAnnotation load(const std::string& file, const std::string& types)
{
    GeneTypeFilter filter;
    std::string error;
    EXPECT_TRUE(parseGeneTypes(types, filter, error));
    return readGeneAnnotation(kReal + "/" + file, filter);
}

std::string columnsAt(const GeneIndex& index, const std::string& chrom, long long lead, long long from, long long to)
{
    const GeneColumns c = geneColumns(index, chrom, lead, from, to);
    return c.nearestGene + " " + c.geneDistance + " " + c.genes;
}

} // namespace

// The BED and GTF forms of one annotation give the same columns at every
// marker of a real table, with every gene and with protein-coding genes only
// (the BED's 7th column holds the types; the generated annotations hold the
// reference).
TEST(RealGenes, BedAndGtfFormsAgree)
{
    QUORLIN_NEEDS_REAL_DATA();
    const std::vector<Marker> markers = markersOf("topr_CD_FINNGEN_p1e-3.tsv");
    ASSERT_GT(markers.size(), 20000u);
    for (const auto& [types, genes] : {std::pair<const char*, size_t>{"all", 40121}, {"protein_coding", 19297}}) {
        const GeneAnnotation gtf = load("topr_ENSGENES_GRCh38_genes.gtf.gz", types);
        const GeneAnnotation bed = load("topr_ENSGENES_GRCh38.bed", types);
        ASSERT_TRUE(gtf.ok && bed.ok) << gtf.error << bed.error;
        EXPECT_EQ(genes, gtf.index.geneCount()) << types;
        EXPECT_EQ(genes, bed.index.geneCount()) << types;
        EXPECT_EQ(40121u, bed.typedRecords);
        for (const Marker& m : markers)
            ASSERT_EQ(columnsAt(gtf.index, m.chrom, m.pos, m.pos - 50000, m.pos + 50000),
                      columnsAt(bed.index, m.chrom, m.pos, m.pos - 50000, m.pos + 50000))
                << types << " " << m.chrom << ":" << m.pos;
    }
}
