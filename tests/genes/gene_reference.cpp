// The reference: plain loops over all genes and a plain sort.
#include "gene_reference.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

std::string sameChromosome(std::string name)
{
    std::string head = name.substr(0, 3);
    for (char& c : head)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.size() > 3 && head == "chr")
        name = name.substr(3);
    return name == "M" ? "MT" : name;
}

bool counts(const RefGene& g, const std::string& types)
{
    return types == "all" || g.type.empty() || ("," + types + ",").find("," + g.type + ",") != std::string::npos;
}

} // namespace

std::string refColumns(const std::vector<RefGene>& genes, const std::string& types, const std::string& chrom,
                       long long lead, long long from, long long to)
{
    const RefGene* best = nullptr;
    long long bestDistance = 0;
    std::vector<const RefGene*> over;
    for (const RefGene& g : genes) {
        if (sameChromosome(g.chrom) != sameChromosome(chrom) || !counts(g, types))
            continue;
        const long long d = lead < g.start ? g.start - lead : lead > g.end ? lead - g.end : 0;
        if (!best || d < bestDistance || (d == bestDistance && (g.start < best->start ||
                                                                (g.start == best->start && g.name < best->name)))) {
            best = &g;
            bestDistance = d;
        }
        if (g.start <= to && g.end >= from)
            over.push_back(&g);
    }
    std::stable_sort(over.begin(), over.end(), [](const RefGene* a, const RefGene* b) {
        return a->start != b->start ? a->start < b->start : a->name < b->name;
    });
    std::string list;
    for (size_t i = 0; i < over.size() && i < 20; ++i)
        list += (i ? "," : "") + over[i]->name;
    if (over.size() > 20)
        list += ",+" + std::to_string(over.size() - 20);
    return (best ? best->name + " " + std::to_string(bestDistance) : ". NA") + " " + (list.empty() ? "." : list);
}
