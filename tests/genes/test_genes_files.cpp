// Golden annotation folders (tests/data/genes/CASE): a file named genes.*,
// the -gene-types value in types (default protein_coding; blanks around the
// names and empty names between commas are dropped), query lines
// "chrom lead from to" in queries, and in expected what the library makes of
// them: the format and counts and one line of columns per query, or the
// error reason (with the file named by its folder-relative name).
#include "genes/annotation_reader.h"
#include "genes/gene_columns.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string goldenOutput(const fs::path& dir)
{
    std::string path;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind("genes", 0) == 0)
            path = entry.path().string();
    if (path.empty())
        path = (dir / "genes.gtf").string();
    GeneTypeFilter filter;
    std::string error;
    if (fs::exists(dir / "types")) {
        std::string types = readFile((dir / "types").string());
        types.erase(types.find_last_not_of('\n') + 1);
        if (!parseGeneTypes(types, filter, error))
            return "bad types: " + error + "\n";
    }
    const GeneAnnotation a = readGeneAnnotation(path, filter);
    if (!a.ok) {
        std::string reason = a.error;
        const size_t at = reason.find(path);
        if (at != std::string::npos)
            reason.replace(at, path.size(), fs::path(path).filename().string());
        return "error: " + reason + "\n";
    }
    std::ostringstream out;
    out << formatName(a.format) << ": " << a.geneRecords << " gene records, " << a.index.geneCount()
        << " counting, on " << a.index.chromosomeCount() << " chromosomes\n";
    std::istringstream queries(fs::exists(dir / "queries") ? readFile((dir / "queries").string()) : "");
    std::string chrom;
    long long lead, from, to;
    while (queries >> chrom >> lead >> from >> to) {
        const GeneColumns c = geneColumns(a.index, chrom, lead, from, to);
        out << chrom << " " << lead << " " << from << " " << to << "\t" << c.nearestGene << "\t" << c.geneDistance
            << "\t" << c.genes << "\n";
    }
    return out.str();
}

} // namespace

TEST(GenesGolden, EveryAnnotationFolderGivesItsExpectedOutput)
{
    const fs::path root = fs::path(QUORLIN_TEST_DATA) / "genes";
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(root)) {
        ++cases;
        const std::string name = entry.path().filename().string();
        const std::string actual = goldenOutput(entry.path());
        const std::string expected = readFile((entry.path() / "expected").string());
        EXPECT_EQ("", firstDifference(expected, actual)) << name;
    }
    EXPECT_GE(cases, 15);
}
