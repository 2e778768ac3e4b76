// A plain reference of the gene rules for the tests: every query looks at
// every gene. It shares no code with the genes library.
#pragma once
#include <string>
#include <vector>

struct RefGene {
    std::string chrom;
    long long start = 0, end = 0; // 1-based, inclusive
    std::string name, type;       // type empty: counts always
};

// nearest_gene, gene_distance and genes joined by blanks, from the genes of
// the given types ("all": every type).
std::string refColumns(const std::vector<RefGene>& genes, const std::string& types, const std::string& chrom,
                       long long lead, long long from, long long to);
