// The reference: plain loops over all genes, sorting by plain comparisons.
#include "gene_reference.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <zlib.h>

namespace {

std::string sameChromosome(std::string name)
{
    if (name.size() > 3) {
        std::string head = name.substr(0, 3);
        for (char& c : head)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (head == "chr")
            name = name.substr(3);
    }
    return name == "M" ? "MT" : name;
}

bool counts(const RefGene& g, const std::string& types)
{
    if (types == "all" || g.type.empty())
        return true;
    std::stringstream list(types);
    std::string t;
    while (std::getline(list, t, ','))
        if (t == g.type)
            return true;
    return false;
}

std::string quotedValue(const std::string& attributes, const std::string& key)
{
    const size_t at = attributes.find(key + " \"");
    if (at == std::string::npos)
        return "";
    const size_t from = at + key.size() + 2;
    return attributes.substr(from, attributes.find('"', from) - from);
}

std::vector<std::string> tabSplit(const std::string& line)
{
    std::vector<std::string> f;
    std::stringstream in(line);
    std::string x;
    while (std::getline(in, x, '\t'))
        f.push_back(x);
    return f;
}

} // namespace

std::vector<RefGene> refReadBed(const std::string& path)
{
    std::vector<RefGene> genes;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = tabSplit(line);
        genes.push_back({f[0], std::stoll(f[1]) + 1, std::stoll(f[2]), f[3], ""});
    }
    return genes;
}

std::vector<RefGene> refReadGtf(const std::string& path)
{
    std::vector<RefGene> genes;
    gzFile in = gzopen(path.c_str(), "rb");
    if (!in)
        return genes;
    std::string text;
    char buf[1 << 16];
    int n;
    while ((n = gzread(in, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    gzclose(in);
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = tabSplit(line);
        if (line.empty() || line[0] == '#' || f.size() < 9 || f[2] != "gene")
            continue;
        genes.push_back({f[0], std::stoll(f[3]), std::stoll(f[4]), quotedValue(f[8], "gene_name"),
                         quotedValue(f[8], "gene_biotype")});
    }
    return genes;
}

RefColumns refColumns(const std::vector<RefGene>& genes, const std::string& types, const std::string& chrom,
                      long long lead, long long from, long long to)
{
    std::vector<const RefGene*> here;
    for (const RefGene& g : genes)
        if (sameChromosome(g.chrom) == sameChromosome(chrom) && counts(g, types))
            here.push_back(&g);
    RefColumns c{".", "NA", "."};
    const RefGene* best = nullptr;
    long long bestDistance = 0;
    for (const RefGene* g : here) {
        const long long d = lead < g->start ? g->start - lead : lead > g->end ? lead - g->end : 0;
        if (!best || d < bestDistance || (d == bestDistance && g->start < best->start) ||
            (d == bestDistance && g->start == best->start && g->name < best->name)) {
            best = g;
            bestDistance = d;
        }
    }
    if (best) {
        c.nearest = best->name;
        c.distance = std::to_string(bestDistance);
    }
    std::vector<const RefGene*> over;
    for (const RefGene* g : here)
        if (g->start <= to && g->end >= from)
            over.push_back(g);
    std::stable_sort(over.begin(), over.end(), [](const RefGene* a, const RefGene* b) {
        return a->start != b->start ? a->start < b->start : a->name < b->name;
    });
    for (size_t i = 0; i < over.size(); ++i) {
        if (i == 20) {
            c.genes += ",+" + std::to_string(over.size() - 20);
            break;
        }
        c.genes = i == 0 ? over[i]->name : c.genes + "," + over[i]->name;
    }
    return c;
}
