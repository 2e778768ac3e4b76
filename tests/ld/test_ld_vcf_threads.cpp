// The shared VCF panel read through its tabix index on a pool (its blocks
// inflated ahead, in batches, on the workers) gives the bytes of one
// thread: the loci, the members and the messages.
#include "ld_reference.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(LdVcfThreads, BlocksInflatedOnAPoolGiveTheFilesOfOneThread)
{
    SKIP_WITHOUT_PANEL();
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.qassoc.gz", readFile(std::string(QUORLIN_SHARED) + "/data/ld/exercise_qt.qassoc.gz"));
    std::string first;
    for (const char* threads : {"1", "2", "3"}) {
        const RunResult r =
            runQuorlin({"-file", "t.qassoc.gz", "-format", "plink", "-loci-p", "1e-3", "-loci-p2", "0.05",
                        "-loci-window", "250000", "-loci-members", "yes", "-threads", threads, "-loci-ld",
                        sharedPanel() + ".vcf.gz"},
                       dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string files =
            readFile(dir + "/t.qassoc.gz.loci.tsv") + readFile(dir + "/t.qassoc.gz.loci.members.tsv") + r.err;
        if (first.empty())
            first = files;
        EXPECT_EQ(firstDifference(first, files), "") << "-threads " << threads;
    }
    // The candidates (p <= 0.05, one in twenty of the panel's SNPs) lie in
    // over half of its blocks, read in many batches; the clumps are many.
    EXPECT_GT(std::count(first.begin(), first.end(), '\n'), 200) << first;
}
