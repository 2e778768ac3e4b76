// Two tables analysed on two threads at once give the same reports and
// messages as two runs one after the other: the run keeps no shared state.
// ThreadSanitizer runs this in CI.
#include "table_job.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Job {
    RunOptions options;
    TableJob paths;
};

Job jobFor(const std::string& table, const std::string& report, std::vector<std::string> words, TemporaryFiles& temps)
{
    words.insert(words.begin(), {"-file", table, "-out", report});
    const ParsedOptions parsed = parseOptions(words);
    EXPECT_TRUE(parsed.ok) << parsed.messages;
    TableJob job;
    job.table = table;
    job.reportPath = report;
    job.bedPath = report + ".bed";
    job.plotPath = report + ".svg";
    job.temps = &temps;
    return {parsed.options, job};
}

} // namespace

TEST(Concurrency, TwoTablesOnTwoThreadsMatchSequentialRuns)
{
    const std::string dir = makeTempDir();
    const std::vector<std::string> exampleWords = {"-lcolumn", "2", "-pcolumn", "8", "-chrcolumn", "1",
                                                   "-header", "yes"};
    const std::vector<std::string> peakWords = {"-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1", "-header",
                                                "yes", "-shrink", "0", "-dots", "1", "-peak-limit", "7.1"};
    const std::string example = std::string(QUORLIN_EXAMPLES) + "/example.tsv";
    const std::string peak = std::string(QUORLIN_TEST_DATA) + "/peak/peak.tsv";
    TemporaryFiles temps;
    Job jobs[2][2] = {
        {jobFor(example, dir + "/a1", exampleWords, temps), jobFor(peak, dir + "/b1", peakWords, temps)},
        {jobFor(example, dir + "/a2", exampleWords, temps), jobFor(peak, dir + "/b2", peakWords, temps)}};
    TableOutcome sequential[2], parallel[2];
    for (int k = 0; k < 2; ++k)
        sequential[k] = runTable(jobs[0][k].options, jobs[0][k].paths);
    std::thread other([&] { parallel[1] = runTable(jobs[1][1].options, jobs[1][1].paths); });
    parallel[0] = runTable(jobs[1][0].options, jobs[1][0].paths);
    other.join();
    for (TableOutcome* o : {&sequential[0], &sequential[1], &parallel[0], &parallel[1]})
        publish(*o);
    for (int k = 0; k < 2; ++k) {
        EXPECT_TRUE(sequential[k].ok && parallel[k].ok);
        EXPECT_EQ(sequential[k].out, parallel[k].out);
        EXPECT_EQ(sequential[k].err, parallel[k].err);
        const std::string report = readFile(jobs[0][k].paths.reportPath);
        EXPECT_GT(std::count(report.begin(), report.end(), '\n'), 1) << "the table should report peaks";
        EXPECT_EQ(firstDifference(report, readFile(jobs[1][k].paths.reportPath)), "");
        EXPECT_EQ(readFile(jobs[0][k].paths.bedPath), readFile(jobs[1][k].paths.bedPath));
    }
}
