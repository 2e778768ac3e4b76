// What the genes add to a locus and to a regional figure: the three loci
// table columns as text, and the rows of a gene track.
#pragma once
#include "genes/gene_index.h"

#include <string>
#include <string_view>
#include <vector>

struct GeneColumns {
    std::string nearestGene;  // nearest_gene: a name, or "." without genes on the chromosome
    std::string geneDistance; // gene_distance: base pairs, or "NA" with "."
    std::string genes;        // genes: names over the locus by start then name, or "."
};

// The most names written in the genes column; the rest are counted as ",+N".
constexpr size_t kMaxListedGenes = 20;

// The columns of a locus on chrom with its lead position and its range
// [start, end] (1-based, inclusive).
GeneColumns geneColumns(const GeneIndex& index, std::string_view chrom, int64_t lead, int64_t start, int64_t end);

// Rows of a gene track: rows[i] is the row (from 0) of genes[i]. A gene goes
// on the lowest row whose genes all end more than gap bases before its start,
// so genes that overlap (or come closer than gap) never share a row. Genes
// are placed in order of start (then end, then their index), whatever the
// order given.
std::vector<int> geneTrackRows(const std::vector<GeneRef>& genes, int64_t gap = 0);
