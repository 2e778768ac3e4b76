// Outputs named or finished late in a run: regional figures against every
// input and output, the gene annotation as an input, figure names that
// clean to one, tables that cannot be read twice, and late failures, which
// must leave every earlier file as it was.
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/types.h>

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
