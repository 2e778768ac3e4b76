// Locus columns and gene track rows.
//
// Design note (track rows): genes are taken by start; each row remembers the
// end of its last gene, and a gene takes the lowest row whose last end lies
// more than gap before its start. Invariant: two genes on one row are apart
// by more than gap. Taken by start, this first-fit uses as many rows as the
// most genes covering one point (widened by gap), the fewest possible.
#include "genes/gene_columns.h"

#include <algorithm>
#include <numeric>

GeneColumns geneColumns(const GeneIndex& index, std::string_view chrom, int64_t lead, int64_t start, int64_t end)
{
    GeneColumns c;
    if (const auto n = index.nearest(chrom, lead)) {
        c.nearestGene = std::string(n->gene.name);
        c.geneDistance = std::to_string(n->distance);
    } else {
        c.nearestGene = ".";
        c.geneDistance = "NA";
    }
    const std::vector<GeneRef> over = index.overlapping(chrom, std::min(start, end), std::max(start, end));
    if (over.empty()) {
        c.genes = ".";
        return c;
    }
    const size_t listed = std::min(over.size(), kMaxListedGenes);
    for (size_t i = 0; i < listed; ++i) {
        if (i > 0)
            c.genes += ',';
        c.genes.append(over[i].name);
    }
    if (over.size() > listed)
        c.genes += ",+" + std::to_string(over.size() - listed);
    return c;
}

std::vector<int> geneTrackRows(const std::vector<GeneRef>& genes, int64_t gap)
{
    std::vector<size_t> order(genes.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (genes[a].start != genes[b].start)
            return genes[a].start < genes[b].start;
        return genes[a].end < genes[b].end;
    });
    std::vector<int> rows(genes.size(), 0);
    std::vector<int64_t> lastEnd; // per row
    for (const size_t i : order) {
        size_t row = 0;
        while (row < lastEnd.size() && genes[i].start - lastEnd[row] <= gap)
            ++row;
        if (row == lastEnd.size())
            lastEnd.push_back(genes[i].end);
        else
            lastEnd[row] = genes[i].end;
        rows[i] = static_cast<int>(row);
    }
    return rows;
}
