// The genes of one annotation, held per chromosome and sorted for the
// queries: the nearest gene of a position and the genes over a range.
// Coordinates are 1-based and inclusive throughout. A built index is only
// read, so any number of threads may query it at once.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Chromosome names are matched by chromosomeKey.
#include "base/chromosome_names.h"

// One gene as the queries hand it out; name points into the index.
struct GeneRef {
    int64_t start = 0;
    int64_t end = 0;
    std::string_view name;
    char strand = 0; // '+', '-', or 0 where the annotation gives none
    // The gene's exons merged over its transcripts, by start (none where
    // the annotation has no exon records of it).
    const std::pair<int64_t, int64_t>* exons = nullptr;
    size_t exonCount = 0;
};

struct NearestGene {
    GeneRef gene;
    int64_t distance = 0; // 0 when the position lies within the gene
};

class GeneIndex {
public:
    // Adds one gene (start <= end) while the index is built. False, with
    // nothing added, when the names would outgrow the index (4 GiB).
    bool add(std::string_view chrom, int64_t start, int64_t end, std::string_view name, char strand = 0);
    // Adds an exon to the gene added last (exon records follow their gene's
    // record); overlapping exons of its transcripts are merged.
    void addExon(int64_t start, int64_t end);
    // Sorts every chromosome's genes; call once after the last add().
    void finish();

    size_t geneCount() const { return geneCount_; }
    size_t chromosomeCount() const { return chromosomes_.size(); }
    // Heap bytes held by the genes, their names and the lookup tables.
    size_t bytesUsed() const;
    // True when the annotation has genes on the chromosome (any naming).
    bool hasChromosome(std::string_view chrom) const { return find(chrom) != nullptr; }

    // The gene closest to pos on chrom; ties go to the earlier start, then to
    // the name that sorts first (byte order). None without genes on chrom.
    std::optional<NearestGene> nearest(std::string_view chrom, int64_t pos) const;
    // The genes with start <= to and end >= from, by start then name.
    std::vector<GeneRef> overlapping(std::string_view chrom, int64_t from, int64_t to) const;

private:
    struct Gene {
        int64_t start;
        int64_t end;
        uint32_t nameOffset;
        uint32_t nameLength;
        uint32_t exonFirst = 0; // into exons_
        uint32_t exonCount = 0;
        char strand = 0;
    };
    struct Chromosome {
        std::vector<Gene> genes;       // by start, then name
        std::vector<int64_t> maxEnd;   // maxEnd[i]: largest end of genes[0..i]
    };

    const Chromosome* find(std::string_view chrom) const;
    std::string_view nameOf(const Gene& g) const { return std::string_view(names_).substr(g.nameOffset, g.nameLength); }
    GeneRef refOf(const Gene& g) const
    {
        return GeneRef{g.start, g.end, nameOf(g), g.strand, g.exonCount ? exons_.data() + g.exonFirst : nullptr,
                       g.exonCount};
    }
    // Sorts and merges the exons of the gene added last.
    void closeExons();
    // First index in [0, limit) whose maxEnd is at least value (limit if none).
    static size_t firstReaching(const Chromosome& c, size_t limit, int64_t value);

    std::unordered_map<std::string, Chromosome> chromosomes_;
    std::string names_; // every gene name, back to back
    std::vector<std::pair<int64_t, int64_t>> exons_; // every gene's exons, each gene's run together
    Gene* last_ = nullptr; // while building: the gene added last
    // While building: the last chromosome name added and its key (records
    // come grouped by chromosome, so the key is rarely made anew).
    std::string lastChrom_;
    std::string lastKey_;
    size_t geneCount_ = 0;
};

// True when any of the table's chromosome names matches a chromosome of the
// annotation; false means a build or naming mismatch is likely.
bool anyChromosomeMatches(const GeneIndex& index, const std::vector<std::string>& tableChromosomes);
