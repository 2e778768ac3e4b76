// The example table shipped for the quick start: the figure the manual shows
// (doc/figures.md) is the one the binary draws, byte for byte.
#include "test_support.h"

#include <gtest/gtest.h>

TEST(ExampleTable, CommittedFigureIsCurrent)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/example.tsv", readFile(std::string(QUORLIN_EXAMPLES) + "/example.tsv"));
    const RunResult r = runQuorlin({"-file", "example.tsv", "-out", "example.out", "-lcolumn", "2", "-pcolumn", "8",
                                    "-chrcolumn", "1", "-idcolumn", "3", "-header", "yes", "-plot", "example.svg"},
                                   dir);
    ASSERT_EQ(r.status, 0) << r.command << "\n" << r.err;
    EXPECT_EQ(firstDifference(readFile(std::string(QUORLIN_EXAMPLES) + "/example.svg"), readFile(dir + "/example.svg")),
              "")
        << "regenerate examples/example.svg with: " << r.command;
}
