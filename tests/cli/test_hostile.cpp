// Hostile inputs through the real binary: every case has a stated outcome
// (exit status, message, report content) and none may crash or hang.
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::vector<std::string> kArgs = {"-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1"};

struct Hostile : ::testing::Test {
    std::string dir = makeTempDir();
    RunResult run(const std::string& content, std::vector<std::string> extra = {})
    {
        writeFile(dir + "/in.tsv", content);
        std::vector<std::string> args = {"-file", "in.tsv"};
        args.insert(args.end(), kArgs.begin(), kArgs.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return runQuorlin(args, dir);
    }
    std::string report() { return readFile(dir + "/in.tsv.out"); }
};

// The hand-checked peak table of tests/data/peak with its summit p-value
// and chromosome name replaced.
std::string peakTable(const std::string& summitP, const std::string& chromosome)
{
    std::string t = readFile(std::string(QUORLIN_TEST_DATA) + "/peak/peak.tsv");
    std::istringstream in(t);
    std::string line, out;
    std::getline(in, line);
    while (std::getline(in, line)) {
        if (line.rfind("1\t", 0) != 0)
            continue;
        line = chromosome + line.substr(1);
        if (line.find("\t1e-10") != std::string::npos)
            line = line.substr(0, line.rfind('\t') + 1) + summitP;
        out += line + "\n";
    }
    return out;
}

const std::vector<std::string> kPeakOptions = {"-shrink", "0", "-dots", "1", "-peak-limit", "7.1"};

} // namespace

TEST_F(Hostile, BinaryGarbageAndNulBytes)
{
    std::mt19937 rng(99);
    std::string junk;
    for (int i = 0; i < 300000; ++i)
        junk += static_cast<char>(i % 37 == 0 ? '\n' : i % 11 == 0 ? '\t' : rng() % 256);
    junk += std::string("1\t5\t1e-5\0tail\n", 15);
    const RunResult r = run(junk);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(report().substr(0, std::string(kHeaderLine).size()), kHeaderLine);
    EXPECT_NE(r.out.find("DONE in"), std::string::npos);
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

TEST_F(Hostile, OnlyHeaderOnlyBlankLinesCarriageReturnsAlone)
{
    RunResult r = run("CHR\tPOS\tP\n", {"-header", "yes"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("extract header of size 1\n"), std::string::npos);
    EXPECT_EQ(report(), kHeaderLine);
    r = run("\n\n\r\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(report(), kHeaderLine);
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    // Carriage returns alone: one line, read as the rules say, and a warning.
    r = run("1\t100\t1e-5\r1\t200\t1e-6\r");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("1 lines held a carriage return inside the line"), std::string::npos) << r.err;
}

TEST_F(Hostile, OddPvalues)
{
    // NA is missing; nan and 1.5 are not retained; -inf, 0 and -0.5 are
    // retained with the weakest value 0; 1e-400 is the strongest marker.
    const RunResult r =
        run(peakTable("1e-400", "1") + "1\t3000000\tNA\n1\t3000100\tnan\n1\t3000200\t-inf\n1\t3000300\t0\n"
                                       "1\t3000400\t-0.5\n1\t3000500\t1.5\n",
            kPeakOptions);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(report().find("\t1002000-1004000\t323.306\t"), std::string::npos) << report();
    EXPECT_NE(r.err.find("4 rows had a p-value outside 0..1 (or nan)"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("not a number"), std::string::npos) << r.err;
}

TEST_F(Hostile, OddPositions)
{
    const RunResult r = run("1\t-2147483648\t1e-5\n1\t2147483647\t1e-5\n1\t2147483648\t1e-5\n1\t1e5\t1e-5\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(report(), kHeaderLine);
    EXPECT_NE(r.err.find("2 rows had a position that is not a whole 32-bit number"), std::string::npos) << r.err;
}

TEST_F(Hostile, ChromosomeNamesKeepTheirBytes)
{
    const std::string name = "Chr 1 \xc3\xbcn\xc3\xaf";
    const RunResult r = run(peakTable("1e-10", name), kPeakOptions);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(report().find("in.tsv\t" + name + "\t1002000-1004000\t10\t"), std::string::npos) << report();
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
