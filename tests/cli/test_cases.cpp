// Whole-run cases: each folder of tests/data holds the inputs, the words of
// the command line (args, one per line) and, in expected/, what the run must
// leave: its standard output (clock lines masked), optionally its exit
// status (status; 0 when absent), its standard error (stderr, exact), the
// files it writes, and the files it must not write (absent, one per line).
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// Copies the case's inputs into a fresh folder and runs it there.
RunResult runCase(const fs::path& dir, const std::string& work)
{
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name != "args" && name != "expected")
            fs::copy(entry.path(), fs::path(work) / name, fs::copy_options::recursive);
    }
    return runQuorlin(linesOf(readFile((dir / "args").string())), work);
}

void checkCase(const fs::path& dir)
{
    const std::string work = makeTempDir();
    const RunResult r = runCase(dir, work);
    SCOPED_TRACE(dir.filename().string() + ": " + r.command);
    const fs::path expected = dir / "expected";
    const fs::path status = expected / "status";
    EXPECT_EQ(r.status, fs::exists(status) ? std::stoi(readFile(status.string())) : 0) << r.err;
    for (const auto& entry : fs::directory_iterator(expected)) {
        const std::string name = entry.path().filename().string();
        const std::string want = readFile(entry.path().string());
        if (name == "status")
            continue;
        if (name == "absent") {
            for (const std::string& file : linesOf(want))
                EXPECT_FALSE(fileExists(work + "/" + file)) << file << " should not be written";
            continue;
        }
        const bool isFile = name != "stdout" && name != "stderr";
        EXPECT_TRUE(!isFile || fileExists(work + "/" + name)) << name << " was not written";
        const std::string got = name == "stdout" ? r.out : name == "stderr" ? r.err : readFile(work + "/" + name);
        EXPECT_EQ(firstDifference(want, got), "") << name;
    }
}

} // namespace

TEST(Cases, EveryFolderRunsAsExpected)
{
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(QUORLIN_TEST_DATA)) {
        if (!fs::exists(entry.path() / "args"))
            continue;
        ++cases;
        checkCase(entry.path());
    }
    EXPECT_GE(cases, 30);
}

// The same table compressed (in several gzip members) or with CR LF line
// ends gives the same report, apart from the file name it carries.
TEST(Cases, CompressedAndWindowsTablesGiveTheSameReport)
{
    const fs::path dir = fs::path(QUORLIN_TEST_DATA) / "peak";
    const std::string table = readFile((dir / "peak.tsv").string());
    const std::string expected = readFile((dir / "expected" / "peak.tsv.out").string());
    const std::string work = makeTempDir();
    writeGzip(work + "/peak.tsv.gz", table, 4);
    std::string crlf;
    for (char c : table)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    writeFile(work + "/crlf.tsv", crlf);
    for (const std::string name : {"peak.tsv.gz", "crlf.tsv"}) {
        const std::vector<std::string> args = {"-file", name, "-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1",
                                               "-header", "yes", "-shrink", "0", "-dots", "1", "-peak-limit", "7.1"};
        const RunResult r = runQuorlin(args, work);
        ASSERT_EQ(r.status, 0) << r.command;
        std::string want = expected;
        for (size_t at = want.find("peak.tsv\t"); at != std::string::npos; at = want.find("peak.tsv\t", at + 1))
            want.replace(at, 8, name);
        EXPECT_EQ(firstDifference(want, readFile(work + "/" + name + ".out")), "") << r.command;
    }
}
