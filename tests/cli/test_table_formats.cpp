// Tables as they come: every -format preset reads its sample, -log10p
// columns give the same peaks as p columns, and -sort yes turns unsorted
// copies of real tables into the reports of their sorted copies. (Columns
// by header name: tests/io/test_column_plan.cpp and the columns-by-name
// data folders.)
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string reportOf(const std::string& dir, const std::string& table, std::vector<std::string> words)
{
    words.insert(words.begin(), {"-file", table, "-header", "yes"});
    const RunResult r = runQuorlin(words, dir);
    EXPECT_EQ(r.status, 0) << r.command << "\n" << r.err;
    return readFile(dir + "/" + table + ".out");
}

// Report rows without the file name, grouped by chromosome.
std::map<std::string, std::string> rowsByChromosome(const std::string& report)
{
    std::map<std::string, std::string> rows;
    std::istringstream in(report);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const std::string rest = line.substr(line.find('\t') + 1);
        rows[rest.substr(0, rest.find('\t'))] += rest + "\n";
    }
    return rows;
}

// Data rows with a field ADD.
long addRows(const std::string& text)
{
    std::istringstream in(text);
    std::string line, field;
    std::getline(in, line);
    long count = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        while (fields >> field)
            if (field == "ADD") {
                ++count;
                break;
            }
    }
    return count;
}

} // namespace

TEST(TableFormats, EveryPresetReadsItsSample)
{
    int samples = 0;
    for (const auto& entry : fs::directory_iterator(QUORLIN_FORMAT_SAMPLES)) {
        const std::string file = entry.path().filename().string();
        const std::string preset = file.substr(0, file.find('.'));
        const std::string dir = makeTempDir();
        fs::copy_file(entry.path(), dir + "/" + file);
        const RunResult r = runQuorlin({"-file", file, "-format", preset, "-inlimit", "1"}, dir);
        ++samples;
        EXPECT_EQ(r.status, 0) << r.command << "\n" << r.err;
        EXPECT_EQ(r.err.find("rows had"), std::string::npos) << r.command << "\n" << r.err;
        // Every row is used, but for PLINK's rows of other tests than ADD
        // (and a missing value or two).
        const size_t at = r.err.find(" rows read, ");
        ASSERT_NE(at, std::string::npos) << r.err;
        const long read = std::stol(r.err.substr(r.err.rfind(' ', at - 1) + 1));
        const long used = std::stol(r.err.substr(at + 12));
        const std::string text = readFile(entry.path().string());
        const long expected = text.substr(0, text.find('\n')).find("TEST") != std::string::npos ? addRows(text) : read;
        EXPECT_TRUE(used <= expected && used >= expected - 1) << file << ": " << r.err;
    }
    EXPECT_GE(samples, 8);
}

TEST(RealTableFormats, Log10ColumnsGiveTheSamePeaks)
{
    QUORLIN_NEEDS_REAL_DATA();
    // The table with a -log10(p) column added, written to full precision.
    std::istringstream in(readFile(realFile("topr_UC_UKBB_p1e-3.tsv")));
    std::string line, table;
    std::getline(in, line);
    table = line + "\tLOG10P\n";
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        std::string f;
        for (int k = 0; k < 6; ++k)
            std::getline(fields, f, '\t');
        char value[64];
        std::snprintf(value, sizeof value, "%.17g", -std::log10(std::stod(f)));
        table += line + "\t" + value + "\n";
    }
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", table);
    const std::string fromP = reportOf(dir, "t.tsv", {"-chrcolumn", "1", "-lcolumn", "2", "-pcolumn", "6"});
    EXPECT_GT(std::count(fromP.begin(), fromP.end(), '\n'), 50);
    EXPECT_EQ(firstDifference(fromP, reportOf(dir, "t.tsv", {"-chrcolumn", "1", "-lcolumn", "2", "-pcolumn", "9",
                                                             "-log10p", "yes"})),
              "");
}

TEST(RealTableFormats, SortingUnsortedTablesGivesTheSortedReports)
{
    const struct {
        const char* original, *sorted;
        std::vector<std::string> columns;
    } pairs[] = {
        {"CMplot_pig60K_ORIGINALORDER.tsv", "CMplot_pig60K_sorted.tsv", {"-chrcolumn", "2", "-lcolumn", "3", "-pcolumn", "4", "-inlimit", "0.05"}},
        {"gapdatasets_w4_chicken_ORIGINALORDER.tsv", "gapdatasets_w4_chicken_sorted.tsv", {"-chrcolumn", "1", "-lcolumn", "2", "-pcolumn", "3", "-inlimit", "0.05", "-peak-limit", "3"}},
        {"METAL_test09_METAANALYSIS1_TRACKPOSITIONS.tsv", "METAL_test09_METAANALYSIS1_TRACKPOSITIONS_sorted.tsv", {"-chrcolumn", "1", "-lcolumn", "2", "-pcolumn", "8"}},
        {"tidyGWAS_PGC3_SCZ_100k_ORIGINALORDER.tsv.gz", "tidyGWAS_PGC3_SCZ_100k_sorted.tsv.gz", {"-chrcolumn", "1", "-lcolumn", "2", "-pcolumn", "10", "-inlimit", "0.01"}},
        {"gwascat_NHGRI_catalog_2014-09-08_ORIGINALORDER.tsv", "gwascat_NHGRI_catalog_2014-09-08_sorted.tsv", {"-chrcolumn", "12", "-lcolumn", "13", "-pcolumn", "28"}},
    };
    QUORLIN_NEEDS_REAL_DATA();
    for (const auto& p : pairs) {
        const std::string dir = makeTempDir();
        fs::copy_file(realFile(p.original), dir + "/a");
        fs::copy_file(realFile(p.sorted), dir + "/b");
        const std::vector<std::string> sorting = with(p.columns, {"-sort", "yes"});
        const auto fromOriginal = rowsByChromosome(reportOf(dir, "a", sorting));
        const auto fromSorted = rowsByChromosome(reportOf(dir, "b", p.columns));
        EXPECT_EQ(fromOriginal, fromSorted) << p.original;
        EXPECT_EQ(fromOriginal, rowsByChromosome(reportOf(dir, "b", sorting))) << p.sorted << " sorted again";
    }
}
