// What a run does to the user's files: no output may be an input or another
// output under another spelling or through a link, links are written
// through in every thread mode, pipes lose no row, and lists with odd
// separators or a table named twice behave like one table after another.
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kTable = "1\t100\t1e-9\n1\t200\t1e-12\n1\t300\t1e-10\n1\t400\t1e-3\n2\t50\t1e-7\n";
const std::string kEarlier = "an earlier output\n";

} // namespace

TEST(FileSafety, CollidingPathsStopBeforeAnythingIsWritten)
{
    expectRefused({
        {"list: report is a symbolic link to the table",
         [](const std::string& d) { writeFile(d + "/l.txt", "t.tsv\n"); fs::create_symlink("t.tsv", d + "/t.tsv.out"); },
         withColumns({"-list", "l.txt"}), "Output file is the input file"},
        {"list: BED file is a hard link to the table",
         [](const std::string& d) { writeFile(d + "/l.txt", "t.tsv\n"); fs::create_hard_link(d + "/t.tsv", d + "/t.tsv.bed"); },
         withColumns({"-list", "l.txt", "-bed", "yes"}), "Output file is the input file"},
        {"list: a table and its own report both listed",
         [](const std::string& d) { writeFile(d + "/t.tsv.out", kTable); writeFile(d + "/l.txt", "t.tsv\nt.tsv.out\n"); },
         withColumns({"-list", "l.txt", "-threads", "2"}), "Output file is the input file"},
        {"list: the list file is named like a table's report",
         [](const std::string& d) { writeFile(d + "/t.tsv.out", "t.tsv\n"); },
         withColumns({"-list", "t.tsv.out"}), "Output file is the input file"},
        {"the report is a symbolic link to the table",
         [](const std::string& d) { fs::create_symlink("t.tsv", d + "/link.tsv"); },
         withColumns({"-file", "t.tsv", "-out", "link.tsv"}), "Output file is the input file"},
        {"the BED file is the report spelled with ./",
         [](const std::string& d) { writeFile(d + "/r.tsv", kEarlier); },
         withColumns({"-file", "t.tsv", "-out", "r.tsv", "-bed", "./r.tsv"}), "Incorrect bed"},
        {"the figure is the report by its absolute path",
         [](const std::string& d) { writeFile(d + "/r.tsv", kEarlier); },
         withColumns({"-file", "t.tsv", "-out", "r.tsv", "-plot", "ABS/r.tsv"}), "Incorrect plot"},
        {"the BED file is a symbolic link to the report",
         [](const std::string& d) { writeFile(d + "/r.tsv", kEarlier); fs::create_symlink("r.tsv", d + "/b.bed"); },
         withColumns({"-file", "t.tsv", "-out", "r.tsv", "-bed", "b.bed"}), "Incorrect bed"},
        {"a mistyped table with an earlier report",
         [](const std::string& d) { writeFile(d + "/r.tsv", kEarlier); writeFile(d + "/r.bed", kEarlier); },
         withColumns({"-file", "t.tvs", "-out", "r.tsv", "-bed", "r.bed"}), "Input file not found"},
        {"a BED file in a missing folder",
         [](const std::string& d) { writeFile(d + "/r.tsv", kEarlier); },
         withColumns({"-file", "t.tsv", "-out", "r.tsv", "-bed", "nodir/r.bed"}), "Output file could not be written"},
    }, kTable);
}

// A symbolic link among the outputs is written through: the link stays and
// its target gets the output, with one thread or several.
TEST(FileSafety, LinkedOutputsAreWrittenThroughInEveryThreadMode)
{
    for (const char* threads : {"1", "2"}) {
        const std::string dir = makeTempDir();
        fs::create_directory(dir + "/elsewhere");
        for (const char* t : {"a.tsv", "b.tsv"})
            writeFile(dir + "/" + t, kTable);
        writeFile(dir + "/l.txt", "a.tsv\nb.tsv\n");
        writeFile(dir + "/elsewhere/a.out", kEarlier);
        fs::create_symlink("elsewhere/a.out", dir + "/a.tsv.out");
        const RunResult r = runQuorlin(withColumns({"-list", "l.txt", "-threads", threads}), dir);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::is_symlink(dir + "/a.tsv.out")) << "-threads " << threads;
        EXPECT_EQ(readFile(dir + "/elsewhere/a.out"), kHeaderLine) << "-threads " << threads;
        EXPECT_EQ(fs::directory_iterator(dir + "/elsewhere")->path().filename(), "a.out") << "no temporary file left";
        // A device is written directly: a full disk is an error, whatever the threads.
        fs::create_symlink("/dev/full", dir + "/b.tsv.bed");
        const RunResult full = runQuorlin(withColumns({"-list", "l.txt", "-threads", threads, "-bed", "yes"}), dir);
        EXPECT_EQ(full.status, 1) << full.err;
        EXPECT_NE(full.out.find("Output file could not be written"), std::string::npos) << full.out;
        EXPECT_TRUE(fs::is_symlink(dir + "/b.tsv.bed"));
        fs::remove_all(dir);
    }
}

// A table named twice under two spellings gives, with threads, what it gives
// one table after the other; a NUL-separated list reads like a line list.
TEST(FileSafety, ListsNamingATableTwiceOrSeparatedByNul)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/a.tsv", kTable);
    writeFile(dir + "/b.tsv", kTable + "3\t70\t1e-11\n");
    writeFile(dir + "/twice.txt", "./a.tsv\n\na.tsv\n   \nb.tsv\n");
    const RunResult one = runQuorlin(withColumns({"-list", "twice.txt", "-bed", "yes"}), dir);
    ASSERT_EQ(one.status, 0) << one.err;
    const std::string report = readFile(dir + "/a.tsv.out"), bed = readFile(dir + "/a.tsv.bed");
    for (int k = 0; k < 5; ++k) {
        const RunResult two = runQuorlin(withColumns({"-list", "twice.txt", "-bed", "yes", "-threads", "2"}), dir);
        EXPECT_EQ(two.out.substr(two.out.find("START")), one.out.substr(one.out.find("START")));
        EXPECT_EQ(two.err, one.err);
        EXPECT_EQ(readFile(dir + "/a.tsv.out"), report);
        EXPECT_EQ(readFile(dir + "/a.tsv.bed"), bed);
    }
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".quorlin-"), std::string::npos) << e.path();

    writeFile(dir + "/nul.txt", std::string("a.tsv\0b.tsv\0", 12));
    fs::remove(dir + "/b.tsv.out");
    const RunResult nul = runQuorlin(withColumns({"-list", "nul.txt"}), dir);
    EXPECT_EQ(nul.status, 0) << nul.err;
    EXPECT_EQ(readFile(dir + "/b.tsv"), kTable + "3\t70\t1e-11\n");
    EXPECT_TRUE(fileExists(dir + "/b.tsv.out"));
    fs::remove_all(dir);
}

// Columns by header name from a pipe: every row is read (the header is
// looked up in the stream itself), plain and gzip.
TEST(FileSafety, PipesWithHeaderNamesLoseNoRow)
{
    const std::string dir = makeTempDir();
    const std::string example = std::string(QUORLIN_EXAMPLES) + "/example.tsv";
    writeGzip(dir + "/example.tsv.gz", readFile(example));
    const std::vector<std::string> byName = {"-lcolumn", "BP", "-pcolumn", "P", "-chrcolumn", "CHR", "-header", "yes"};
    auto args = [&](const std::string& file, const std::string& out) {
        return with({"-file", file, "-out", out}, byName);
    };
    ASSERT_EQ(runQuorlin(args(example, "file.out"), dir).status, 0);
    std::string want = readFile(dir + "/file.out");
    for (size_t at = want.find(example); at != std::string::npos; at = want.find(example, at))
        want.replace(at, example.size(), "/dev/stdin");
    for (const std::string& input : {example, dir + "/example.tsv.gz"}) {
        const RunResult r = runQuorlin(args("/dev/stdin", "pipe.out"), dir, input);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("5991 rows read, 5991 used"), std::string::npos) << r.err;
        EXPECT_EQ(firstDifference(want, readFile(dir + "/pipe.out")), "") << input;
    }
    fs::remove_all(dir);
}

// With -outdir, a table folder that cannot be written gets nothing: every
// output of a list, the study's loci table and index page included, lands
// in the output folder (root ignores the permission; the check still holds).
TEST(FileSafety, OutdirLeavesAReadOnlyTableFolderAlone)
{
    const std::string dir = makeTempDir();
    fs::create_directory(dir + "/tables");
    writeFile(dir + "/tables/t.tsv", kTable);
    writeFile(dir + "/tables/list.txt", "tables/t.tsv\n");
    fs::permissions(dir + "/tables", fs::perms::owner_read | fs::perms::owner_exec);
    const RunResult r = runQuorlin(withColumns({"-list", "tables/list.txt", "-outdir", "out", "-loci", "yes", "-bed", "yes",
                                         "-plot", "yes", "-html", "yes", "-regional", "yes"}),
                                   dir);
    fs::permissions(dir + "/tables", fs::perms::owner_all);
    EXPECT_EQ(r.status, 0) << r.err;
    std::set<std::string> beside, inOutdir;
    for (const auto& e : fs::directory_iterator(dir + "/tables"))
        beside.insert(e.path().filename().string());
    for (const auto& e : fs::directory_iterator(dir + "/out"))
        inOutdir.insert(e.path().filename().string());
    EXPECT_EQ(beside, (std::set<std::string>{"list.txt", "t.tsv"}));
    EXPECT_EQ(inOutdir, (std::set<std::string>{"t.tsv.out", "t.tsv.bed", "t.tsv.svg", "t.tsv.loci.tsv", "t.tsv.html",
                                               "t.tsv.regional", "list.txt.loci.tsv", "list.txt.html"}));
}
