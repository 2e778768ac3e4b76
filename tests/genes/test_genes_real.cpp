// The real GRCh38 annotation (shared data) in its BED and GTF forms, against
// each other and against the plain reference, at the markers of the three
// GRCh38 tables; and the known Crohn's disease genes at their leads.
#include "annotation_reader.h"
#include "gene_columns.h"
#include "gene_reference.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

const std::string kReal = QUORLIN_REAL_DATA;
const char* const kTables[] = {"topr_CD_UKBB_p1e-3.tsv", "topr_UC_UKBB_p1e-3.tsv", "topr_CD_FINNGEN_p1e-3.tsv"};

struct Marker {
    std::string chrom;
    long long pos;
    double p;
};

// Chromosome, position and p-value (columns 1, 2 and pColumn) of every row.
std::vector<Marker> markersOf(const std::string& table, int pColumn)
{
    std::vector<Marker> markers;
    std::ifstream in(kReal + "/" + table);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string x;
        while (std::getline(fields, x, '\t'))
            f.push_back(x);
        markers.push_back({f[0], std::stoll(f[1]), std::stod(f[static_cast<size_t>(pColumn - 1)])});
    }
    return markers;
}

GeneAnnotation load(const std::string& file, const std::string& types)
{
    GeneTypeFilter filter;
    std::string error;
    EXPECT_TRUE(parseGeneTypes(types, filter, error));
    return readGeneAnnotation(kReal + "/" + file, filter);
}

bool realDataPresent() { return std::filesystem::exists(kReal + "/topr_ENSGENES_GRCh38.bed"); }

std::string joined(const GeneColumns& c) { return c.nearestGene + " " + c.geneDistance + " " + c.genes; }

} // namespace

TEST(GenesReal, BedAndGtfFormsAgreeWithEachOtherAndTheReference)
{
    if (!realDataPresent())
        GTEST_SKIP() << "shared real data absent";
    const GeneAnnotation gtf = load("topr_ENSGENES_GRCh38_genes.gtf.gz", "all");
    const GeneAnnotation bed = load("topr_ENSGENES_GRCh38.bed", "protein_coding");
    ASSERT_TRUE(gtf.ok && bed.ok) << gtf.error << bed.error;
    EXPECT_EQ(40121u, gtf.index.geneCount());
    EXPECT_EQ(40121u, bed.index.geneCount());
    const std::vector<RefGene> ref = refReadBed(kReal + "/topr_ENSGENES_GRCh38.bed");
    ASSERT_EQ(40121u, ref.size());
    for (const char* table : kTables) {
        const std::vector<Marker> markers = markersOf(table, std::string(table).find("FINNGEN") != std::string::npos ? 5 : 6);
        ASSERT_GT(markers.size(), 20000u) << table;
        for (size_t i = 0; i < markers.size(); ++i) {
            const Marker& m = markers[i];
            const GeneColumns a = geneColumns(gtf.index, m.chrom, m.pos, m.pos - 50000, m.pos + 50000);
            ASSERT_EQ(joined(a), joined(geneColumns(bed.index, m.chrom, m.pos, m.pos - 50000, m.pos + 50000)))
                << table << " " << m.chrom << ":" << m.pos;
            if (i % 400 == 0) {
                const RefColumns r = refColumns(ref, "all", m.chrom, m.pos, m.pos - 50000, m.pos + 50000);
                ASSERT_EQ(r.nearest + " " + r.distance + " " + r.genes, joined(a)) << table << " " << m.chrom << ":" << m.pos;
            }
        }
    }
}

TEST(GenesReal, ProteinCodingGenesOfTheGtfMatchTheReference)
{
    if (!realDataPresent())
        GTEST_SKIP() << "shared real data absent";
    const GeneAnnotation gtf = load("topr_ENSGENES_GRCh38_genes.gtf.gz", "protein_coding");
    ASSERT_TRUE(gtf.ok) << gtf.error;
    const std::vector<RefGene> ref = refReadGtf(kReal + "/topr_ENSGENES_GRCh38_genes.gtf.gz");
    ASSERT_EQ(40121u, ref.size());
    const std::vector<Marker> markers = markersOf(kTables[0], 6);
    for (size_t i = 0; i < markers.size(); i += 240) {
        const Marker& m = markers[i];
        const RefColumns r = refColumns(ref, "protein_coding", m.chrom, m.pos, m.pos - 200000, m.pos + 200000);
        ASSERT_EQ(r.nearest + " " + r.distance + " " + r.genes,
                  joined(geneColumns(gtf.index, m.chrom, m.pos, m.pos - 200000, m.pos + 200000)))
            << m.chrom << ":" << m.pos;
    }
}

TEST(GenesReal, KnownCrohnsDiseaseGenesAtTheirLeads)
{
    if (!realDataPresent())
        GTEST_SKIP() << "shared real data absent";
    const GeneAnnotation gtf = load("topr_ENSGENES_GRCh38_genes.gtf.gz", "protein_coding");
    ASSERT_TRUE(gtf.ok) << gtf.error;
    // The strongest marker of each chromosome in CD UKBB.
    std::map<std::string, Marker> lead;
    for (const Marker& m : markersOf(kTables[0], 6))
        if (!lead.count(m.chrom) || m.p < lead[m.chrom].p)
            lead[m.chrom] = m;
    const auto at = [&](const std::string& chrom, long long pos) { return joined(geneColumns(gtf.index, chrom, pos, pos, pos)); };
    EXPECT_EQ("NOD2 0 NOD2", at("chr16", 50729867));
    EXPECT_EQ("ATG16L1 0 ATG16L1", at("chr2", lead["chr2"].pos));
    // The chr1 lead lies in C1orf141 and IL23R; C1orf141 starts first.
    EXPECT_EQ("C1orf141 0 C1orf141,IL23R", at("chr1", lead["chr1"].pos));
    EXPECT_EQ("C1orf141 0 C1orf141,IL23R", at("1", lead["chr1"].pos)) << "tables without the chr prefix";
    EXPECT_TRUE(anyChromosomeMatches(gtf.index, {"22", "chrUn"}));
    EXPECT_FALSE(anyChromosomeMatches(gtf.index, {"NC_000001.11", "chrY", "chrM", "23"}));
}
