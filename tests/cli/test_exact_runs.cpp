// Whole runs on p-values below the doubles' range: the summit of a broad
// peak whose top lies far below the range is the lead of its locus, every
// output equals that of the table written as -log10(p), and sorting or
// threads leave the report and loci as they are when a chromosome's runs mix
// such values with ordinary ones. The golden
// folders pvalues-below-double-range and log10-above-323-everywhere hold
// each written form.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kColumns = {"-chrcolumn", "1", "-lcolumn", "2", "-pcolumn", "3", "-header", "yes",
                                           "-loci", "yes", "-bed", "yes"};

} // namespace

// 301 markers rise to 1e-400 at their middle, one decade a marker: every
// marker within 76 of the summit is below the smallest positive double, so
// read at the double's floor they would all tie, and the first of them (76
// markers before the summit) would take the lead. The summit is the lead,
// and the run gives what the same table written as -log10(p) gives, its
// regional figure included.
TEST(ExactRuns, SummitBelowTheRangeIsTheLead)
{
    std::string pTable = "CHR\tPOS\tP\n", log10Table = pTable;
    auto add = [&](long position, int decades) {
        pTable += "1\t" + std::to_string(position) + "\t1e-" + std::to_string(decades) + "\n";
        log10Table += "1\t" + std::to_string(position) + "\t" + std::to_string(decades) + "\n";
    };
    for (int k = 0; k < 5; ++k)
        add(100000 * (k + 1), 3);
    for (int i = 0; i <= 300; ++i)
        add(1000000 + 1000 * i, 400 - std::abs(i - 150));
    for (int k = 0; k < 5; ++k)
        add(2000000 + 100000 * k, 3);
    const std::string dir = makeTempDir();
    std::string outputs[2];
    for (int log10 = 0; log10 < 2; ++log10) {
        const std::string folder = dir + (log10 ? "/log10" : "/p");
        fs::create_directory(folder);
        writeFile(folder + "/s.tsv", log10 ? log10Table : pTable);
        const RunResult r = runQuorlin(
            with({"-file", "s.tsv", "-log10p", log10 ? "yes" : "no", "-regional", "r"}, kColumns), folder);
        ASSERT_EQ(r.status, 0) << r.err;
        outputs[log10] = readFile(folder + "/s.tsv.out") + readFile(folder + "/s.tsv.bed") +
                         readFile(folder + "/s.tsv.loci.tsv") + r.err;
        int figures = 0; // the regional figure draws every marker at its -log10(p)
        for (const auto& entry : fs::directory_iterator(folder + "/r")) {
            outputs[log10] += entry.path().filename().string() + "\n" + readFile(entry.path().string());
            ++figures;
        }
        EXPECT_EQ(figures, 1);
    }
    EXPECT_EQ(firstDifference(outputs[1], outputs[0]), "");
    const std::vector<std::string> loci = linesOf(readFile(dir + "/p/s.tsv.loci.tsv"));
    ASSERT_EQ(loci.size(), 2u);
    EXPECT_EQ(tabFields(loci[1])[4], "1150000");
    EXPECT_EQ(tabFields(loci[1])[5], "400");
}

// The golden table's chromosome 4 (summit 1e-400) split in two runs, the
// part with the summit after or before the other: sorted, the runs of
// ordinary p-values and of -log10 values join into one chromosome; with two
// threads the grouped table is analysed on workers. Each gives the report
// and loci of the grouped table.
TEST(ExactRuns, SortedAndThreadedRunsAgree)
{
    const std::vector<std::string> rows =
        linesOf(readFile((fs::path(QUORLIN_TEST_DATA) / "pvalues-below-double-range" / "t.tsv").string()));
    std::vector<std::string> four, others;
    for (size_t k = 1; k < rows.size(); ++k)
        (rows[k].rfind("4\t", 0) == 0 ? four : others).push_back(rows[k]);
    ASSERT_EQ(four.size(), 17u);
    auto join = [&](const std::vector<std::string>& a, const std::vector<std::string>& b,
                    const std::vector<std::string>& c) {
        std::string text = rows[0] + "\n";
        for (const auto* part : {&a, &b, &c})
            for (const std::string& row : *part)
                text += row + "\n";
        return text;
    };
    const std::vector<std::string> head(four.begin(), four.begin() + 6), tail(four.begin() + 6, four.end());
    const std::vector<std::string> upToSummit(four.begin(), four.begin() + 9), rest(four.begin() + 9, four.end());
    const std::string dir = makeTempDir();
    for (const auto& [folder, text] : {std::pair<std::string, std::string>{"grouped", join(four, others, {})},
                                       {"summit-late", join(head, others, tail)},
                                       {"summit-early", join(upToSummit, others, rest)}}) {
        fs::create_directory(dir + "/" + folder);
        writeFile(dir + "/" + folder + "/t.tsv", text);
    }
    const std::vector<std::string> columns = {"-file", "t.tsv", "-chrcolumn", "1", "-lcolumn", "2", "-idcolumn", "3",
                                              "-pcolumn", "4", "-header", "yes", "-shrink", "0", "-dots", "1",
                                              "-peak-limit", "7.1", "-loci", "yes"};
    auto run = [&](const std::string& folder, const std::vector<std::string>& extra) {
        const RunResult r = runQuorlin(with(columns, extra), dir + "/" + folder);
        EXPECT_EQ(r.status, 0) << r.err;
        return readFile(dir + "/" + folder + "/t.tsv.out") + readFile(dir + "/" + folder + "/t.tsv.loci.tsv");
    };
    const std::string want = run("grouped", {});
    ASSERT_NE(want.find("\t400\t"), std::string::npos) << want;
    EXPECT_EQ(firstDifference(want, run("grouped", {"-threads", "2"})), "");
    EXPECT_EQ(firstDifference(want, run("summit-late", {"-sort", "yes"})), "");
    EXPECT_EQ(firstDifference(want, run("summit-early", {"-sort", "yes"})), "");
}
