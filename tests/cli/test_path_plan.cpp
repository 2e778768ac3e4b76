// The path plan and file identities as units: spellings of files that do
// not exist yet, link chains, FIFOs and devices, hard links, and late
// claims of regional figures between the tables of a list.
#include "cli/output_plan.h"
#include "cli/table_job.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

TableJob jobOf(const std::string& table, const std::string& report, const std::string& regional = "")
{
    TableJob job;
    job.table = table;
    job.outputs.report = report;
    job.outputs.regionalFolder = regional;
    return job;
}

} // namespace

// Every spelling of one file is one identity, also before the file exists;
// files that differ are told apart.
TEST(PathPlan, SpellingsOfOneFileAreOneIdentity)
{
    const std::string d = makeTempDir();
    fs::create_directory(d + "/sub");
    fs::create_directory_symlink("sub", d + "/linkdir");
    fs::create_symlink("c", d + "/b");    // b -> c -> r.out, a chain
    fs::create_symlink("r.out", d + "/c");
    fs::create_symlink("sub/x.out", d + "/dangling");
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"r.out", "./r.out", true},
        {"r.out", "ABS/r.out", true},
        {"r.out", "sub/../r.out", true},
        {"r.out", "ABS/sub/../././r.out", true},
        {"b", "r.out", true},        // a chain of links to a file not made yet
        {"sub/x.out", "linkdir/x.out", true},
        {"dangling", "ABS/sub/x.out", true},
        {"r.out", "r.out2", false},
        {"r.out", "sub/r.out", false},
        {"/dev/null", "/dev/null", false}, // a device is never one file with another output
    };
    const std::string here = fs::current_path().string();
    fs::current_path(d);
    for (const auto& c : cases) {
        auto spell = [&](std::string p) { return p.rfind("ABS/", 0) == 0 ? d + p.substr(3) : p; };
        EXPECT_EQ(identityOf(spell(c.a)).sameFile(identityOf(spell(c.b))), c.same) << c.a << " vs " << c.b;
    }
    // Once the file exists, by inode: a hard link is the same file.
    writeFile(d + "/r.out", "x");
    fs::create_hard_link(d + "/r.out", d + "/hard");
    EXPECT_TRUE(identityOf("hard").sameFile(identityOf("b")));
    EXPECT_TRUE(identityOf("r.out").sameFile(identityOf("./sub/../r.out")));
    fs::current_path(here);
}

// Regional figures are claimed late: against the outputs and each other;
// the same table named twice may claim the same figure. (Claims against the
// inputs: FileSafety's regional figure cases.)
TEST(PathPlan, LateClaimsMeetOutputsAndEachOther)
{
    const std::string d = makeTempDir();
    writeFile(d + "/t.tsv", "1\t1\t0.1\n");
    fs::create_directory(d + "/D");
    PathPlan plan;
    const std::vector<TableJob> jobs{jobOf(d + "/t.tsv", d + "/t.out", d + "/D"),
                                     jobOf(d + "/./t.tsv", d + "/t.out", d + "/D"),
                                     jobOf(d + "/u.tsv", d + "/u.out", d + "/E")};
    ASSERT_TRUE(plan.check(jobs, {}).empty());
    EXPECT_EQ(plan.claim(d + "/u.out", "regional figure", 0).message, "Output file could not be written\n");
    EXPECT_TRUE(plan.claim(d + "/D/1_1.svg", "regional figure", 0).empty());
    EXPECT_TRUE(plan.claim(d + "/D/1_1.svg", "regional figure", 1).empty()) << "the same table, named twice";
    const PathConflict again = plan.claim(d + "/D/../D/1_1.svg", "regional figure", 2);
    EXPECT_EQ(again.message, "Output file could not be written\n");
    EXPECT_NE(again.reason.find("are the same file"), std::string::npos) << again.reason;
    // A FIFO is an output of its own, never a second output.
    ASSERT_EQ(mkfifo((d + "/fifo").c_str(), 0600), 0);
    PathPlan fifo;
    EXPECT_FALSE(fifo.check({jobOf(d + "/t.tsv", d + "/fifo"), jobOf(d + "/u.tsv", d + "/fifo")}, {}).empty());
}

// A temporary file left by a killed run under this process's name is
// skipped: the output is written and the stale file stays as it was.
TEST(PathPlan, StaleTemporaryFilesAreSkipped)
{
    const std::string d = makeTempDir();
    TemporaryFiles temps;
    const std::string stale = temps.nameBeside(d + "/r.out");
    writeFile(stale, "left by a killed run");
    TemporaryFiles again; // a new run that happens to get the same process id and counter
    OutputFile file(again);
    ASSERT_TRUE(file.open(d + "/r.out")) << std::strerror(file.error());
    file.write("new\n");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readFile(d + "/r.out"), "new\n");
    EXPECT_EQ(readFile(stale), "left by a killed run");
}
