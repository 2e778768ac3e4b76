// A plain reference of the gene rules for the tests: every query looks at
// every gene. It shares no code with the genes library.
#pragma once
#include <string>
#include <vector>

struct RefGene {
    std::string chrom;
    long long start = 0, end = 0; // 1-based, inclusive
    std::string name;
    std::string type; // empty: no type
};

struct RefColumns {
    std::string nearest, distance, genes;
};

// The genes of a BED file, 1-based (no type).
std::vector<RefGene> refReadBed(const std::string& path);
// The gene records of a GTF file (plain or gzip), with gene_name and gene_biotype.
std::vector<RefGene> refReadGtf(const std::string& path);

// The three loci columns, from the genes of the given types ("all": every).
RefColumns refColumns(const std::vector<RefGene>& genes, const std::string& types, const std::string& chrom,
                      long long lead, long long from, long long to);
