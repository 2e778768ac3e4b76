// Hostile inputs through the real binary that are too large or too odd for a
// data folder (the others are tests/data/hostile-*): each has a stated
// outcome and none may crash or hang.
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::vector<std::string> kArgs = {"-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1"};

struct Hostile : ::testing::Test {
    std::string dir = makeTempDir();
    RunResult run(const std::string& content)
    {
        writeFile(dir + "/in.tsv", content);
        std::vector<std::string> args = {"-file", "in.tsv"};
        args.insert(args.end(), kArgs.begin(), kArgs.end());
        return runQuorlin(args, dir);
    }
    std::string report() { return readFile(dir + "/in.tsv.out"); }
};

} // namespace

TEST_F(Hostile, BinaryGarbageAndNulBytes)
{
    std::mt19937 rng(99);
    std::string junk;
    for (int i = 0; i < 300000; ++i)
        junk += static_cast<char>(i % 37 == 0 ? '\n' : i % 11 == 0 ? '\t' : rng() % 256);
    junk += std::string("1\t5\t1e-5\0tail\n", 15);
    const RunResult r = run(junk);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("No usable rows in input file"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("the first data row is"), std::string::npos) << r.err;
    EXPECT_FALSE(fileExists(dir + "/in.tsv.out"));
}

TEST_F(Hostile, HugeLineAndHugeRow)
{
    std::string rows = std::string(10 << 20, 'x') + "\n";
    rows += "1\t100\t1e-5";
    for (int i = 0; i < 1000000; ++i)
        rows += "\tf";
    rows += "\n1\t200\t1e-5\n";
    const RunResult r = run(rows);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(report(), kHeaderLine);
    EXPECT_NE(r.err.find("1 rows had fewer fields"), std::string::npos) << r.err;
}

TEST_F(Hostile, UnreadableInput)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    writeFile(dir + "/locked.tsv", "1\t1\t1e-5\n");
    chmod((dir + "/locked.tsv").c_str(), 0);
    const RunResult r = runQuorlin({"-file", "locked.tsv", "-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Input file not found\n"), std::string::npos);
}
