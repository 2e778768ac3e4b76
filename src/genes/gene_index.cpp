// Per-chromosome gene arrays with a running maximum of the gene ends, which
// turns both queries into binary searches.
//
// Design note (nearest gene of position p). Genes are sorted by (start, name)
// and maxEnd[i] is the largest end among genes[0..i], so maxEnd never falls.
// Let k be the number of genes starting at or before p.
//  - Of the genes after k, genes[k] is nearest (distance start - p): it has
//    the smallest start and, among equal starts, the first name.
//  - Of genes[0..k), the distance is max(0, p - end), smallest for the largest
//    end M = maxEnd[k-1]: distance max(0, p - M). The genes at that distance
//    are those whose end reaches min(p, M), and the first of them in sort
//    order is the first index where maxEnd reaches min(p, M).
//  - The left candidate starts at or before p and the right one after it, so
//    on equal distance the left one wins the "starts first" rule.
// Overlaps of [from, to] are the genes before upper_bound(to) whose end is at
// least from; none comes before the first index where maxEnd reaches from.
#include "genes/gene_index.h"

#include <algorithm>
#include <limits>
#include <tuple>

bool GeneIndex::add(std::string_view chrom, int64_t start, int64_t end, std::string_view name, char strand)
{
    if (names_.size() + name.size() > std::numeric_limits<uint32_t>::max())
        return false;
    closeExons();
    Gene g{start, end, static_cast<uint32_t>(names_.size()), static_cast<uint32_t>(name.size())};
    g.strand = strand == '+' || strand == '-' ? strand : 0;
    g.exonFirst = static_cast<uint32_t>(std::min<size_t>(exons_.size(), std::numeric_limits<uint32_t>::max()));
    names_.append(name);
    if (geneCount_ == 0 || chrom != lastChrom_) {
        lastChrom_ = std::string(chrom);
        lastKey_ = chromosomeKey(chrom);
    }
    std::vector<Gene>& genes = chromosomes_[lastKey_].genes;
    genes.push_back(g);
    last_ = &genes.back();
    ++geneCount_;
    return true;
}

void GeneIndex::addExon(int64_t start, int64_t end)
{
    // A gene's exons are the run exons_[exonFirst, end); the index of 32-bit
    // offsets holds at most 2^32 exons, past which exons are not kept.
    if (!last_ || exons_.size() >= std::numeric_limits<uint32_t>::max())
        return;
    exons_.emplace_back(std::min(start, end), std::max(start, end));
    ++last_->exonCount;
}

void GeneIndex::closeExons()
{
    if (!last_ || last_->exonCount < 2) {
        last_ = nullptr;
        return;
    }
    const auto first = exons_.begin() + last_->exonFirst;
    std::sort(first, exons_.end());
    auto out = first;
    for (auto it = first + 1; it != exons_.end(); ++it) {
        if (it->first <= out->second + 1)
            out->second = std::max(out->second, it->second);
        else
            *++out = *it;
    }
    exons_.erase(out + 1, exons_.end());
    last_->exonCount = static_cast<uint32_t>(exons_.end() - first);
    last_ = nullptr;
}

void GeneIndex::finish()
{
    closeExons();
    for (auto& [key, c] : chromosomes_) {
        std::sort(c.genes.begin(), c.genes.end(), [this](const Gene& a, const Gene& b) {
            if (a.start != b.start)
                return a.start < b.start;
            return std::make_tuple(nameOf(a), a.end) < std::make_tuple(nameOf(b), b.end);
        });
        c.genes.shrink_to_fit();
        c.maxEnd.resize(c.genes.size());
        int64_t m = std::numeric_limits<int64_t>::min();
        for (size_t i = 0; i < c.genes.size(); ++i)
            c.maxEnd[i] = m = std::max(m, c.genes[i].end);
    }
    names_.shrink_to_fit();
    exons_.shrink_to_fit();
}

size_t GeneIndex::bytesUsed() const
{
    size_t bytes = names_.capacity() + exons_.capacity() * sizeof(exons_[0]);
    for (const auto& [key, c] : chromosomes_)
        bytes += sizeof(key) + key.capacity() + sizeof(c) + c.genes.capacity() * sizeof(Gene) +
                 c.maxEnd.capacity() * sizeof(int64_t);
    return bytes;
}

const GeneIndex::Chromosome* GeneIndex::find(std::string_view chrom) const
{
    const auto it = chromosomes_.find(chromosomeKey(chrom));
    return it == chromosomes_.end() || it->second.genes.empty() ? nullptr : &it->second;
}

size_t GeneIndex::firstReaching(const Chromosome& c, size_t limit, int64_t value)
{
    return static_cast<size_t>(std::lower_bound(c.maxEnd.begin(), c.maxEnd.begin() + static_cast<std::ptrdiff_t>(limit), value) -
                               c.maxEnd.begin());
}

std::optional<NearestGene> GeneIndex::nearest(std::string_view chrom, int64_t pos) const
{
    const Chromosome* c = find(chrom);
    if (!c)
        return std::nullopt;
    const auto startAfter = [](int64_t p, const Gene& g) { return p < g.start; };
    const size_t k = static_cast<size_t>(std::upper_bound(c->genes.begin(), c->genes.end(), pos, startAfter) - c->genes.begin());
    std::optional<NearestGene> best;
    if (k > 0) {
        const int64_t reach = std::min(pos, c->maxEnd[k - 1]);
        best = NearestGene{refOf(c->genes[firstReaching(*c, k, reach)]), pos - reach};
    }
    if (k < c->genes.size()) {
        const int64_t d = c->genes[k].start - pos;
        if (!best || d < best->distance)
            best = NearestGene{refOf(c->genes[k]), d};
    }
    return best;
}

std::vector<GeneRef> GeneIndex::overlapping(std::string_view chrom, int64_t from, int64_t to) const
{
    std::vector<GeneRef> out;
    const Chromosome* c = find(chrom);
    if (!c || from > to)
        return out;
    const auto startAfter = [](int64_t p, const Gene& g) { return p < g.start; };
    const size_t k = static_cast<size_t>(std::upper_bound(c->genes.begin(), c->genes.end(), to, startAfter) - c->genes.begin());
    for (size_t i = firstReaching(*c, k, from); i < k; ++i)
        if (c->genes[i].end >= from)
            out.push_back(refOf(c->genes[i]));
    return out;
}

bool anyChromosomeMatches(const GeneIndex& index, const std::vector<std::string>& tableChromosomes)
{
    return std::any_of(tableChromosomes.begin(), tableChromosomes.end(),
                       [&](const std::string& name) { return index.hasChromosome(name); });
}
