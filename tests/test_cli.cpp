// The real binary run with argument lists: option edge cases, error paths
// with their exact messages and exit status, and warnings on stderr.
#include "testutil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::vector<std::string> kColumns = {"-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1"};
const char* const kOutputName = "output name = input name + '.out'\n";

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Cli : ::testing::Test {
    std::string dir = makeTempDir();
    void SetUp() override { writeFile(dir + "/t.tsv", "1\t100\t1e-5\n1\t200\t0.5\n"); }
    // Runs args and checks the whole standard output and the status.
    RunResult expectRun(const std::vector<std::string>& args, const std::string& afterHead, int status)
    {
        RunResult r = runQuorlin(args, dir);
        EXPECT_EQ(r.status, status) << r.command << "\n" << r.err;
        EXPECT_EQ(firstDifference(runHead(args) + afterHead, r.out), "") << r.command;
        return r;
    }
};

} // namespace

TEST_F(Cli, NoArgumentsAsksForAnInput)
{
    expectRun({}, "You need to specify '-file' or '-list'.\n\n", 1);
}

TEST_F(Cli, FirstFailingOptionDecidesTheMessage)
{
    // lcolumn missing and dots invalid: only the lcolumn message.
    expectRun({"-file", "t.tsv", "-pcolumn", "3", "-chrcolumn", "1", "-dots", "x"},
              std::string(kOutputName) + "Incorrect lcolumn\n", 1);
    const struct {
        std::vector<std::string> words;
        const char* message;
    } cases[] = {
        {{"-lcolumn", "2.5", "-pcolumn", "3", "-chrcolumn", "1"}, "Incorrect lcolumn\n"},
        {{"-lcolumn", "+2", "-pcolumn", "0", "-chrcolumn", "1"}, "Incorrect pcolumn\n"},
        {{"-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "-1"}, "Incorrect chrcolumn\n"},
        {with(kColumns, {"-shrink", "-0.5"}), "Incorrect shrink\n"},
        {with(kColumns, {"-dots", "abc"}), "Incorrect dots\n"},
        {with(kColumns, {"-dots", "0"}), "Incorrect dots\n"},
        {with(kColumns, {"-peak-limit", "-1"}), "Incorrect peak_threshold\n"},
        {with(kColumns, {"-delim", ""}), "Incorrect delim\n"},
    };
    for (const auto& c : cases) {
        expectRun(with({"-file", "t.tsv"}, c.words), std::string(kOutputName) + c.message, 1);
        EXPECT_FALSE(fileExists(dir + "/t.tsv.out")) << "no file is written before the options are read";
    }
}

TEST_F(Cli, AcceptedOddValues)
{
    // Zero or junk shrink and peak-limit are accepted; Yes does not skip a
    // header; header-size below 1 means 1; dots as the last word is absent.
    expectRun(with({"-file", "t.tsv", "-shrink", "0", "-peak-limit", "junk", "-header", "Yes"}, kColumns),
              std::string(kOutputName) + kRunTail, 0);
    expectRun(with({"-file", "t.tsv", "-header", "yes", "-header-size", "-4"}, with(kColumns, {"-dots"})),
              std::string(kOutputName) + "extract header of size 1\n" + kRunTail, 0);
    EXPECT_EQ(readFile(dir + "/t.tsv.out"), kHeaderLine);
}

TEST_F(Cli, InlimitLineOnlyWhenGiven)
{
    expectRun(with({"-file", "t.tsv", "-inlimit", "1e-8"}, kColumns),
              std::string(kOutputName) + "inlimit = 1e-08\n" + kRunTail, 0);
    expectRun(with({"-file", "t.tsv", "-inlimit", "0"}, kColumns),
              std::string(kOutputName) + "inlimit = 0.001\n" + kRunTail, 0);
    expectRun(with({"-file", "t.tsv", "-inlimit", "-1"}, kColumns),
              std::string(kOutputName) + "inlimit = 0.001\n" + kRunTail, 0);
    expectRun(with({"-file", "t.tsv", "-inlimit", "nan"}, kColumns),
              std::string(kOutputName) + "inlimit = nan\n" + kRunTail, 0);
}

TEST_F(Cli, FirstOccurrenceWinsCountingValues)
{
    // The first -file names a missing table: that one is used.
    expectRun(with({"-file", "gone.tsv", "-file", "t.tsv"}, kColumns),
              std::string(kOutputName) + "Input file not found\n", 1);
    EXPECT_EQ(readFile(dir + "/gone.tsv.out"), kHeaderLine);
    // "-file -out x": the input is "-out" and so is the output.
    expectRun(with(kColumns, {"-file", "-out", "x"}), "Output file is the input file\n", 1);
    EXPECT_FALSE(fileExists(dir + "/x"));
}

TEST_F(Cli, DelimiterWords)
{
    writeFile(dir + "/bar.txt", "1|100|1e-5\n");
    expectRun(with({"-file", "bar.txt", "-delim", "|"}, kColumns), std::string(kOutputName) + kRunTail, 0);
    // TAB in capitals is the three letters: no row has three fields.
    const RunResult r = expectRun(with({"-file", "t.tsv", "-delim", "TAB"}, kColumns),
                                  std::string(kOutputName) + kRunTail, 0);
    EXPECT_NE(r.err.find("2 rows had fewer fields than the largest column number"), std::string::npos) << r.err;
}

TEST_F(Cli, InputAndListFailures)
{
    mkdir((dir + "/folder").c_str(), 0755);
    expectRun(with({"-file", "folder", "-out", "r.out"}, kColumns), "Input file not found\n", 1);
    EXPECT_EQ(readFile(dir + "/r.out"), kHeaderLine);
    expectRun(with({"-list", "nolist.txt"}, kColumns), std::string(kOutputName) + "List file not found\n", 1);
    // A missing entry after a good one: the first report is complete.
    writeFile(dir + "/list.txt", "t.tsv\nmissing.tsv\nt.tsv\n");
    expectRun(with({"-list", "list.txt"}, kColumns), std::string(kOutputName) + "Input file not found\n", 1);
    EXPECT_EQ(readFile(dir + "/t.tsv.out"), kHeaderLine);
    EXPECT_EQ(readFile(dir + "/missing.tsv.out"), kHeaderLine);
    // An empty line names no file: the report ".out" is made, then the stop.
    writeFile(dir + "/list2.txt", "t.tsv\n\nt.tsv\n");
    expectRun(with({"-list", "list2.txt"}, kColumns), std::string(kOutputName) + "Input file not found\n", 1);
    EXPECT_TRUE(fileExists(dir + "/.out"));
    // An empty list file is a complete run with no reports.
    writeFile(dir + "/empty.txt", "");
    expectRun(with({"-list", "empty.txt"}, kColumns), std::string(kOutputName) + kRunTail, 0);
}

TEST_F(Cli, CorruptCompressedInputIsAnError)
{
    std::string table;
    for (int i = 0; i < 50000; ++i)
        table += "1\t" + std::to_string(i * 100) + "\t0." + std::to_string(i % 97 + 1) + "\n";
    writeGzip(dir + "/whole.gz", table, 2);
    const std::string gz = readFile(dir + "/whole.gz");
    writeFile(dir + "/cut.gz", gz.substr(0, gz.size() * 2 / 3));
    expectRun(with({"-file", "cut.gz"}, kColumns), std::string(kOutputName) + "Input file could not be read\n", 1);
    expectRun(with({"-file", "whole.gz"}, kColumns), std::string(kOutputName) + kRunTail, 0);
}

TEST_F(Cli, OutputFailures)
{
    // Cannot be created: no message on standard output, a reason on stderr.
    RunResult r = expectRun(with({"-file", "t.tsv", "-out", "nodir/r.out"}, kColumns), "", 1);
    EXPECT_NE(r.err.find("nodir/r.out"), std::string::npos) << r.err;
    if (fileExists("/dev/full"))
        expectRun(with({"-file", "t.tsv", "-out", "/dev/full"}, kColumns), "Output file could not be written\n", 1);
    // The output must never be the input, also through a link.
    ASSERT_EQ(symlink("t.tsv", (dir + "/link.tsv").c_str()), 0);
    expectRun(with({"-file", "t.tsv", "-out", "link.tsv"}, kColumns), "Output file is the input file\n", 1);
    EXPECT_EQ(readFile(dir + "/t.tsv"), "1\t100\t1e-5\n1\t200\t0.5\n");
}

TEST_F(Cli, WarningsGoToStderrOnly)
{
    writeFile(dir + "/odd.tsv", "1\t909,309\t1e-5\n2\t5\tx\n1\t7\t1.5\n1\t6\t1e-4\n1\t3\t1e-4\n");
    const RunResult r =
        expectRun(with({"-file", "odd.tsv"}, kColumns), std::string(kOutputName) + kRunTail, 0);
    for (const char* text : {"quorlin: warning: odd.tsv: 1 rows had a position that is not a whole",
                             "1 rows had a p-value that is not a number", "1 rows had a p-value outside 0..1",
                             "not grouped by chromosome", "not sorted by position"})
        EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
}

TEST_F(Cli, ErrorStopKeepsTheRowsAlreadyFound)
{
    // A peak on chromosome 1, then a long chromosome 2 cut off mid-stream:
    // the run stops with the message, and chromosome 1's row is in the file.
    std::string table = readFile(std::string(QUORLIN_TEST_DATA) + "/peak/peak.tsv");
    table = table.substr(table.find('\n') + 1);
    table = table.substr(0, table.find("\n2\t") + 1);
    for (int i = 0; i < 200000; ++i)
        table += "2\t" + std::to_string(1000 + i * 10) + "\t0.5\n";
    writeGzip(dir + "/cut.gz", table, 1);
    const std::string gz = readFile(dir + "/cut.gz");
    writeFile(dir + "/cut.gz", gz.substr(0, gz.size() / 2));
    expectRun(with({"-file", "cut.gz", "-shrink", "0", "-dots", "1", "-peak-limit", "7.1"}, kColumns),
              std::string(kOutputName) + "Input file could not be read\n", 1);
    const std::string report = readFile(dir + "/cut.gz.out");
    EXPECT_EQ(report.substr(0, std::string(kHeaderLine).size()), kHeaderLine);
    EXPECT_NE(report.find("cut.gz\t1\t1002000-1004000\t10\t"), std::string::npos) << report;
}

TEST_F(Cli, TruncatedCompressedListIsAnError)
{
    std::string list;
    for (int i = 0; i < 20000; ++i)
        list += "t.tsv\n";
    writeGzip(dir + "/list.gz", list, 1);
    const std::string gz = readFile(dir + "/list.gz");
    writeFile(dir + "/cut.gz", gz.substr(0, gz.size() - 6));
    const RunResult r = runQuorlin(with({"-list", "cut.gz"}, kColumns), dir);
    EXPECT_EQ(r.status, 1) << r.command;
    const std::string tail = "List file could not be read\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
}

TEST_F(Cli, ListNamingATableTwiceAndACompressedList)
{
    writeGzip(dir + "/list.gz", "t.tsv\nt.tsv\n", 1);
    expectRun(with({"-list", "list.gz"}, kColumns), std::string(kOutputName) + kRunTail, 0);
    EXPECT_EQ(readFile(dir + "/t.tsv.out"), kHeaderLine);
}
