// Golden tests: each folder of tests/data holds a small input, the words of
// the command line (args, one per line) and, in expected/, the reports and
// the standard output (clock lines masked) derived by hand from the rules.
// Reports and output are compared byte for byte.
#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> wordsOf(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        words.push_back(line);
    return words;
}

// Copies the case's inputs into a fresh folder and runs it there.
RunResult runCase(const fs::path& dir, std::string& work)
{
    work = makeTempDir();
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().filename() != "args")
            fs::copy_file(entry.path(), fs::path(work) / entry.path().filename());
    return runQuorlin(wordsOf(readFile((dir / "args").string())), work);
}

} // namespace

TEST(Golden, EveryCaseMatchesByteForByte)
{
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(QUORLIN_TEST_DATA)) {
        if (!fs::exists(entry.path() / "args"))
            continue;
        ++cases;
        std::string work;
        const RunResult r = runCase(entry.path(), work);
        SCOPED_TRACE(entry.path().filename().string() + ": " + r.command);
        EXPECT_EQ(r.status, 0) << r.err;
        for (const auto& expected : fs::directory_iterator(entry.path() / "expected")) {
            const std::string name = expected.path().filename().string();
            const std::string want = readFile(expected.path().string());
            const std::string got = name == "stdout" ? r.out : readFile(work + "/" + name);
            EXPECT_EQ(firstDifference(want, got), "") << name;
        }
    }
    EXPECT_GE(cases, 3);
}

// The same table compressed (in several gzip members) or with CR LF line
// ends gives the same report, apart from the file name it carries.
TEST(Golden, CompressedAndWindowsTablesGiveTheSameReport)
{
    const fs::path dir = fs::path(QUORLIN_TEST_DATA) / "peak";
    const std::string table = readFile((dir / "peak.tsv").string());
    std::string expected = readFile((dir / "expected" / "peak.tsv.out").string());
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
