// What a run does to the user's files: no output may be an input or another
// output under another spelling or through a link (regional figures, named
// late, and the gene annotation included), links are written through in
// every thread mode, pipes lose no row, lists with odd separators or a table
// named twice behave like one table after another, and late failures leave
// every earlier file as it was.
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Two loci: chromosome 1 led at 200, chromosome 2 at 50.
const std::string kTable = "1\t100\t1e-9\n1\t200\t1e-12\n1\t300\t1e-10\n1\t400\t1e-3\n2\t50\t1e-9\n";
const std::string kEarlier = "an earlier output\n";
const std::string kGenes = "1\t90\t310\tGENEA\n2\t10\t60\tGENEB\n";

void earlierOutputs(const std::string& d)
{
    for (const char* name : {"r.out", "r.bed", "r.loci.tsv", "r.html", "r.svg"})
        writeFile(d + "/" + name, kEarlier);
}

const std::vector<std::string> kAllOutputs = {"-out", "r.out", "-bed", "r.bed", "-loci", "r.loci.tsv",
                                              "-html", "r.html"};

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

TEST(LateOutputs, RegionalFiguresNeverReplaceAnInputOrAnotherOutput)
{
    expectRefused({
        {"the table lies where its locus's figure goes",
         [](const std::string& d) { fs::create_directory(d + "/D"); writeFile(d + "/D/1_200.svg", kTable); },
         withColumns({"-file", "D/1_200.svg", "-regional", "D", "-loci", "yes"}), "Output file is the input file"},
        {"a figure's name is a symbolic link to the table",
         [](const std::string& d) { earlierOutputs(d); fs::create_directory(d + "/D"); fs::create_symlink("../t.tsv", d + "/D/1_200.svg"); },
         withColumns(with({"-file", "t.tsv", "-regional", "D"}, kAllOutputs)), "Output file is the input file"},
        {"the report is a figure's name",
         [](const std::string& d) { fs::create_directory(d + "/D"); writeFile(d + "/D/1_200.svg", kEarlier); },
         withColumns({"-file", "t.tsv", "-out", "D/1_200.svg", "-regional", "D", "-loci", "yes"}),
         "Output file could not be written"},
        {"the page is a figure's name spelled another way",
         [](const std::string& d) { earlierOutputs(d); fs::create_directory(d + "/D"); },
         withColumns({"-file", "t.tsv", "-out", "r.out", "-html", "./D/../D/2_50.svg", "-regional", "D"}),
         "Output file could not be written"},
        {"list: the second table lies in the first one's figure folder",
         [](const std::string& d) {
             fs::create_directory(d + "/t.tsv.regional");
             writeFile(d + "/t.tsv.regional/1_200.svg", kTable);
             writeFile(d + "/l.txt", "t.tsv\nt.tsv.regional/1_200.svg\n");
         },
         withColumns({"-list", "l.txt", "-regional", "yes", "-threads", "2"}), "Output file is the input file"},
        {"the BED file is the gene annotation",
         [](const std::string& d) { earlierOutputs(d); writeFile(d + "/genes.bed", kGenes); },
         withColumns({"-file", "t.tsv", "-out", "r.out", "-genes", "genes.bed", "-bed", "genes.bed"}),
         "Output file is the input file"},
        {"the loci file is a link to the gene annotation",
         [](const std::string& d) { earlierOutputs(d); writeFile(d + "/genes.bed", kGenes); fs::create_symlink("genes.bed", d + "/l.tsv"); },
         withColumns({"-file", "t.tsv", "-out", "r.out", "-genes", "genes.bed", "-loci", "l.tsv"}),
         "Output file is the input file"},
        {"a regional figure is the gene annotation",
         [](const std::string& d) { earlierOutputs(d); fs::create_directory(d + "/D"); writeFile(d + "/D/2_50.svg", kGenes); },
         withColumns({"-file", "t.tsv", "-out", "r.out", "-genes", "D/2_50.svg", "-regional", "D", "-loci", "yes"}),
         "Output file is the input file"},
    }, kTable);
}

TEST(LateOutputs, LateFailuresLeaveEveryEarlierFileAsItWas)
{
    const auto full = [](const char* name) {
        return [name](const std::string& d) { earlierOutputs(d); fs::create_symlink("/dev/full", d + "/" + name); };
    };
    expectRefused({
        {"the figure meets a full disk", full("full.svg"),
         withColumns(with({"-file", "t.tsv", "-plot", "full.svg"}, kAllOutputs)), "Output file could not be written"},
        {"the loci file meets a full disk", full("full.tsv"),
         withColumns({"-file", "t.tsv", "-out", "r.out", "-bed", "r.bed", "-loci", "full.tsv"}),
         "Output file could not be written"},
        {"the page meets a full disk", full("full.html"),
         withColumns({"-file", "t.tsv", "-out", "r.out", "-bed", "r.bed", "-loci", "r.loci.tsv", "-html", "full.html"}),
         "Output file could not be written"},
        {"a regional figure meets a full disk",
         [](const std::string& d) { earlierOutputs(d); fs::create_directory(d + "/D"); fs::create_symlink("/dev/full", d + "/D/2_50.svg"); },
         withColumns(with({"-file", "t.tsv", "-regional", "D"}, kAllOutputs)), "Output file could not be written"},
        {"the regional folder's parent is missing", earlierOutputs,
         withColumns(with({"-file", "t.tsv", "-regional", "no/D"}, kAllOutputs)), "Output file could not be written"},
        {"the regional folder is a file", [](const std::string& d) { earlierOutputs(d); writeFile(d + "/D", kEarlier); },
         withColumns(with({"-file", "t.tsv", "-regional", "D"}, kAllOutputs)), "Output file could not be written"},
    }, kTable);
}

// In a list each table's outputs commit together: a later table's failure
// leaves its own earlier files, and the tables before it keep theirs.
TEST(LateOutputs, ListTablesCommitTheirOwnOutputsTogether)
{
    for (const char* threads : {"1", "2"}) {
        const std::string dir = makeTempDir();
        writeFile(dir + "/t.tsv", kTable);
        writeFile(dir + "/u.tsv", kTable);
        writeFile(dir + "/l.txt", "t.tsv\nu.tsv\n");
        writeFile(dir + "/u.tsv.out", kEarlier);
        writeFile(dir + "/u.tsv.bed", kEarlier);
        fs::create_symlink("/dev/full", dir + "/u.tsv.svg");
        const RunResult r = runQuorlin(withColumns({"-list", "l.txt", "-plot", "yes", "-bed", "yes", "-threads", threads}), dir);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.out.find("Output file could not be written"), std::string::npos) << r.out;
        EXPECT_EQ(readFile(dir + "/u.tsv.out"), kEarlier);
        EXPECT_EQ(readFile(dir + "/u.tsv.bed"), kEarlier);
        EXPECT_NE(readFile(dir + "/t.tsv.out").find(kHeaderLine), std::string::npos);
        EXPECT_TRUE(fileExists(dir + "/t.tsv.svg"));
        fs::remove_all(dir);
    }
}

// A table that cannot be read a second time gets no regional figures: the
// run stops before anything is opened instead of reporting success.
TEST(LateOutputs, RegionalFiguresOfAPipeStopBeforeAnythingIsWritten)
{
    const std::string dir = makeTempDir();
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
    earlierOutputs(dir);
    const auto before = folderSnapshot(dir);
    const RunResult r = runQuorlin(withColumns(with({"-file", "pipe", "-regional", "D"}, kAllOutputs)), dir);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("Incorrect regional"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("is a pipe or device"), std::string::npos) << r.err;
    EXPECT_EQ(changedFiles(before, folderSnapshot(dir)), "");
}

// Chromosome names that clean to one file name keep their figures apart,
// with a warning; every locus has its figure.
TEST(LateOutputs, FigureNamesThatCleanToOneStayApart)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", "a/b\t100\t1e-9\na_b\t100\t1e-10\na b\t100\t1e-11\n.\t100\t1e-9\n_\t100\t1e-9\n");
    const RunResult r = runQuorlin(withColumns({"-file", "t.tsv", "-regional", "D", "-loci", "yes"}), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir + "/D"))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"a_b_100.svg", "a_b_100-2.svg", "a_b_100-3.svg", "__100.svg",
                                            "__100-2.svg"}));
    EXPECT_NE(r.err.find("3 regional figures would have the name of another locus's figure"), std::string::npos)
        << r.err;
}

// Devices and pipes are written as they are: /dev/stdout into a pipe, and
// /dev/null.
TEST(LateOutputs, DevicesAndPipesAreWrittenDirectly)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", kTable);
    const RunResult r = runQuorlin(withColumns({"-file", "t.tsv", "-out", "/dev/stdout", "-bed", "/dev/null"}),
                                   dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(kHeaderLine), std::string::npos) << r.out;
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename(), "t.tsv") << "nothing is made beside a device";
}

// A replaced output keeps the earlier file's permissions.
TEST(LateOutputs, ReplacedOutputsKeepTheirPermissions)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", kTable);
    earlierOutputs(dir);
    fs::permissions(dir + "/r.out", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::permissions(dir + "/r.bed", fs::perms::owner_all | fs::perms::others_read);
    ASSERT_EQ(runQuorlin(withColumns({"-file", "t.tsv", "-out", "r.out", "-bed", "r.bed"}), dir).status, 0);
    EXPECT_EQ(fs::status(dir + "/r.out").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::status(dir + "/r.bed").permissions(), fs::perms::owner_all | fs::perms::others_read);
    EXPECT_NE(readFile(dir + "/r.out"), kEarlier);
}

// The study's loci table keeps one line per locus and one field per column
// when a table's name holds a tab or a line end.
TEST(LateOutputs, StudyLociTableKeepsItsFieldsWithOddTableNames)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/a\tb.tsv", kTable);
    writeFile(dir + "/c\nd.tsv", kTable);
    writeFile(dir + "/l.txt", std::string("a\tb.tsv\0c\nd.tsv\0", 16));
    const RunResult r = runQuorlin(withColumns({"-list", "l.txt", "-loci", "yes"}), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("a table name holds a tab"), std::string::npos) << r.err;
    const std::string text = readFile(dir + "/l.txt.loci.tsv");
    const std::vector<std::string> lines = linesOf(text);
    EXPECT_EQ(lines.size(), 5u) << text; // the header and two loci of each table
    for (const std::string& line : lines)
        EXPECT_EQ(tabFields(line).size(), tabFields(lines[0]).size()) << text;
    EXPECT_NE(text.find("a b.tsv\t1\t"), std::string::npos) << text;
}
