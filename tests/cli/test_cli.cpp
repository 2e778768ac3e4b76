// Runs of the real binary on inputs too large to keep in a data folder: a
// damaged gzip table, and a 10 MB line and a row of a million fields.
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

const char* const kOutputName = "output name = input name + '.out'\n";

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

// Chromosome 1 with a peak, then a damaged stream: cut inside a long
// chromosome 2, the run stops with the message and chromosome 1's row is in
// the file; cut inside the first line of chromosome 2, that line starts no
// chromosome, so chromosome 1 is still held (not analysed) at the stop.
TEST_F(Cli, DamagedStreamKeepsTheRowsAlreadyFoundAndCutLinesAreNoRows)
{
    std::string chr1 = readFile(std::string(QUORLIN_TEST_DATA) + "/peak/peak.tsv");
    chr1 = chr1.substr(chr1.find('\n') + 1);
    chr1 = chr1.substr(0, chr1.find("\n2\t") + 1);
    std::string longChr2 = chr1, noise; // noise is incompressible: cutting the stream cuts its line
    for (int i = 0; i < 200000; ++i)
        longChr2 += "2\t" + std::to_string(1000 + i * 10) + "\t0.5\n";
    for (unsigned x = 12345; noise.size() < 4000; x = x * 1103515245u + 12345u)
        noise += static_cast<char>('a' + (x >> 16) % 26);
    for (const bool half : {true, false}) {
        writeGzip(dir + "/whole.gz", half ? longChr2 : chr1 + "2\t100000\t0.001\t" + noise + "\n", 1);
        const std::string gz = readFile(dir + "/whole.gz");
        writeFile(dir + "/cut.gz", gz.substr(0, half ? gz.size() / 2 : gz.size() - 100));
        expectRun(withColumns({"-file", "cut.gz", "-shrink", "0", "-dots", "1", "-peak-limit", "7.1"}),
                  std::string(kOutputName) + "Input file could not be read\n", 1);
        const std::string report = readFile(dir + "/cut.gz.out");
        EXPECT_EQ(half ? report.substr(0, std::string(kHeaderLine).size()) : report, kHeaderLine);
        EXPECT_EQ(report.find("cut.gz\t1\t1002000-1004000\t10\t") != std::string::npos, half) << report;
    }
}

TEST_F(Cli, HugeLineAndHugeRow)
{
    std::string rows = std::string(10 << 20, 'x') + "\n1\t100\t1e-5";
    for (int i = 0; i < 1000000; ++i)
        rows += "\tf";
    writeFile(dir + "/t.tsv", rows + "\n1\t200\t1e-5\n");
    const RunResult r = expectRun(withColumns({"-file", "t.tsv"}), std::string(kOutputName) + kRunTail, 0);
    EXPECT_EQ(readFile(dir + "/t.tsv.out"), kHeaderLine);
    EXPECT_NE(r.err.find("1 rows had fewer fields"), std::string::npos) << r.err;
}
