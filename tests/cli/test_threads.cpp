// -threads 1, 2 and 4 give the same reports, BED files, standard output and
// standard error: on a table with many chromosomes, on lists of tables, and
// on error stops in the middle of a list or a table.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

// A table of `chromosomes` chromosomes, each with background markers and
// one or two peaks of its own height and place.
std::string generatedTable(int chromosomes, int seed)
{
    std::string t = "CHR\tPOS\tP\n";
    auto row = [&](int c, long pos, const std::string& p) {
        t += std::to_string(c) + "\t" + std::to_string(pos) + "\t" + p + "\n";
    };
    for (int c = 1; c <= chromosomes; ++c) {
        const std::string top = "1e-" + std::to_string(10 + (c * seed) % 7);
        const std::string shape[] = {"1e-4", "1e-6", "1e-9", top, "1e-9", "1e-6", "1e-4"};
        const int peaks = 1 + (c + seed) % 2;
        for (long pos = 100000; pos <= 500000; pos += 100000)
            row(c, pos, "0.001");
        for (int k = 0; k < peaks; ++k) {
            const long centre = 1000000 + k * 2000000 + ((c * seed) % 13) * 1000;
            for (int m = 0; m < 7; ++m)
                row(c, centre + m * 1000, shape[m]);
            for (long pos = centre + 500000; pos <= centre + 900000; pos += 100000)
                row(c, pos, "0.001");
        }
    }
    return t;
}

struct Run {
    RunResult result;
    std::map<std::string, std::string> files; // every file the folder holds afterwards
};

Run runIn(const std::map<std::string, std::string>& inputs, std::vector<std::string> args, const char* threads)
{
    const std::string dir = makeTempDir();
    for (const auto& [name, content] : inputs)
        writeFile(dir + "/" + name, content);
    args.insert(args.end(), {"-threads", threads});
    Run run{runQuorlin(args, dir), folderSnapshot(dir)};
    // The echo of the command line differs in the -threads value only.
    const size_t at = run.result.out.find("  -threads\n");
    if (at != std::string::npos)
        run.result.out.erase(at, run.result.out.find('\n', at + 12) - at);
    return run;
}

void expectSameForEveryThreadCount(const std::map<std::string, std::string>& inputs,
                                   const std::vector<std::string>& args, int status)
{
    const Run serial = runIn(inputs, args, "1");
    EXPECT_EQ(serial.result.status, status) << serial.result.command << "\n" << serial.result.err;
    int rows = 0;
    for (const auto& [name, content] : serial.files)
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".out") == 0)
            rows += static_cast<int>(std::count(content.begin(), content.end(), '\n')) - 1;
    EXPECT_GT(rows, 5) << "the tables should report peaks";
    for (const char* threads : {"2", "4"}) {
        const Run parallel = runIn(inputs, args, threads);
        SCOPED_TRACE(std::string("-threads ") + threads + ": " + parallel.result.command);
        EXPECT_EQ(parallel.result.status, serial.result.status);
        EXPECT_EQ(firstDifference(serial.result.out, parallel.result.out), "");
        EXPECT_EQ(firstDifference(serial.result.err, parallel.result.err), "");
        ASSERT_EQ(parallel.files.size(), serial.files.size());
        for (const auto& [name, content] : serial.files)
            EXPECT_EQ(firstDifference(content, parallel.files.at(name)), "") << name;
    }
}

const std::vector<std::string> kColumns = {"-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1", "-header", "yes",
                                           "-shrink", "0", "-dots", "1", "-peak-limit", "7.1"};

} // namespace

TEST(Threads, TableWithManyChromosomes)
{
    const std::string table = generatedTable(40, 3);
    expectSameForEveryThreadCount({{"t.tsv", table}}, with({"-file", "t.tsv", "-bed", "yes"}, kColumns), 0);
    // The same with sorting, where the chromosomes go to the workers at the end.
    expectSameForEveryThreadCount({{"t.tsv", table}}, with({"-file", "t.tsv", "-sort", "yes"}, kColumns), 0);
}

TEST(Threads, ListOfTables)
{
    std::map<std::string, std::string> inputs = {{"list.txt", "a.tsv\nb.tsv\nc.tsv\nd.tsv\ne.tsv\na.tsv\n"}};
    for (int k = 0; k < 5; ++k)
        inputs[std::string(1, static_cast<char>('a' + k)) + ".tsv"] = generatedTable(6 + k, k + 2);
    expectSameForEveryThreadCount(inputs, with({"-list", "list.txt", "-bed", "yes"}, kColumns), 0);
}

TEST(Threads, ErrorStopsInTheMiddleOfAList)
{
    std::map<std::string, std::string> inputs = {{"list.txt", "a.tsv\nb.tsv\nmissing.tsv\nc.tsv\nd.tsv\n"},
                                                 {"d.tsv.out", "an older report that must stay\n"}};
    for (const char* name : {"a.tsv", "b.tsv", "c.tsv", "d.tsv"})
        inputs[name] = generatedTable(8, name[0]);
    expectSameForEveryThreadCount(inputs, with({"-list", "list.txt"}, kColumns), 1);
    // A damaged table in the middle: its report keeps the rows before the damage.
    const std::string dir = makeTempDir();
    writeGzip(dir + "/cut.gz", generatedTable(30, 5), 1);
    const std::string gz = readFile(dir + "/cut.gz");
    inputs.erase("missing.tsv");
    inputs["list.txt"] = "a.tsv\nb.tsv\ncut.gz\nc.tsv\nd.tsv\n";
    inputs["cut.gz"] = gz.substr(0, gz.size() * 2 / 3);
    expectSameForEveryThreadCount(inputs, with({"-list", "list.txt"}, kColumns), 1);
    expectSameForEveryThreadCount(inputs, with({"-file", "cut.gz"}, kColumns), 1);
}
