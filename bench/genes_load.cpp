// Loads a gene annotation and prints what it holds and what it cost, for the
// figures of doc/performance.md: genes_load FILE [TYPES] prints the format,
// the gene records, the genes kept, the heap bytes of the index and the load
// time.
#include "genes/annotation_reader.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    GeneTypeFilter filter;
    std::string error;
    if (argc > 2 && !parseGeneTypes(argv[2], filter, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const GeneAnnotation a = readGeneAnnotation(argv[1], filter);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!a.ok) {
        std::fprintf(stderr, "%s\n", a.error.c_str());
        return 1;
    }
    const size_t genes = a.index.geneCount();
    std::printf("%s records %zu genes %zu bytes %zu (%.1f per gene) load %.3f s\n", formatName(a.format),
                a.geneRecords, genes, a.index.bytesUsed(), double(a.index.bytesUsed()) / double(genes), secs);
    return 0;
}
