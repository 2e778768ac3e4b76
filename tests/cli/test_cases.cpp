// Whole-run cases: each folder of tests/data holds the inputs, the words of
// the command line (args, one per line) and, in expected/, what the run must
// leave: its standard output (clock lines masked), optionally its exit
// status (status; 0 when absent), its standard error (stderr, exact), the
// files it writes (in subfolders where the run writes into folders), and the
// files it must not write (absent, one per line).
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Copies the case's inputs into work and runs it there.
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
    for (const auto& entry : fs::recursive_directory_iterator(expected)) {
        const std::string name = entry.path().lexically_relative(expected).string();
        if (entry.is_directory())
            continue; // its files are checked one by one
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

// The words after each occurrence of option (none when it is the last word).
std::vector<std::string> valuesOf(const std::vector<std::string>& args, const std::string& option)
{
    std::vector<std::string> values;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option)
            values.push_back(args[i + 1]);
    return values;
}

// Where a run of these words could write: every table's report, BED file
// and figure (of a plain list's tables too), and the paths named by -out,
// -bed and -plot.
std::vector<std::string> possibleOutputs(const std::vector<std::string>& args, const fs::path& dir)
{
    std::vector<std::string> tables = valuesOf(args, "-file"), outputs;
    for (const std::string& list : valuesOf(args, "-list")) {
        const std::string text = readFile((dir / list).string());
        if (text.rfind("\x1f\x8b", 0) != 0) // a gzip list's tables are not seeded
            for (const std::string& table : linesOf(text))
                tables.push_back(table);
    }
    for (const std::string& table : tables)
        for (const char* extension : {".out", ".bed", ".svg"})
            outputs.push_back(table + extension);
    for (const char* option : {"-out", "-bed", "-plot"})
        for (const std::string& path : valuesOf(args, option))
            outputs.push_back(path);
    return outputs;
}

} // namespace

// Every error stop, run again with earlier outputs in every place the run
// could write (but those its rules have it write), leaves them untouched.
TEST(Cases, ErrorStopsLeaveEarlierOutputsAlone)
{
    const std::string earlier = "an earlier output\n";
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(QUORLIN_TEST_DATA)) {
        const fs::path dir = entry.path(), expected = dir / "expected";
        if (!fs::exists(dir / "args") || !fs::exists(expected / "status") ||
            readFile((expected / "status").string()) == "0\n" ||
            readFile((expected / "stdout").string()).find("Input file could not be read") != std::string::npos)
            continue;
        const std::vector<std::string> args = linesOf(readFile((dir / "args").string()));
        const std::string work = makeTempDir();
        std::vector<std::string> seeded;
        for (const std::string& path : possibleOutputs(args, dir)) {
            const fs::path target = fs::path(work) / path;
            if (path.empty() || fs::exists(dir / path) || fs::exists(expected / path) ||
                !fs::is_directory(target.parent_path()) || fs::exists(target))
                continue;
            writeFile(target.string(), earlier);
            seeded.push_back(path);
        }
        ++cases;
        runCase(dir, work);
        for (const std::string& path : seeded)
            EXPECT_EQ(readFile(work + "/" + path), earlier) << dir.filename().string() << ": " << path;
        fs::remove_all(work);
    }
    EXPECT_GE(cases, 25);
}

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
