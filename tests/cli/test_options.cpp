// Option words and the run report: what the golden folders cannot show
// (word case, -list over -file, header words other than "yes", values kept
// in RunOptions) and the elapsed-time texts, whose clock lines the golden
// runner masks.
#include "cli/options.h"
#include "cli/run_banner.h"

#include <gtest/gtest.h>

TEST(Options, WordsAndValues)
{
    // Option words are matched in their own case only, and a word in the
    // last position is not collected.
    std::vector<std::string> words = {"-FILE", "a", "junk", "-dots"};
    std::vector<char*> argv = {const_cast<char*>("quorlin")};
    for (auto& w : words)
        argv.push_back(w.data());
    EXPECT_TRUE(collectOptionWords(static_cast<int>(argv.size()), argv.data()).empty());

    ParsedOptions p = parseOptions({"-file", "t", "-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1", "-header",
                                    "yes", "-header-size", "2", "-missing", "."});
    ASSERT_TRUE(p.ok) << p.messages;
    EXPECT_EQ(p.options.layout.headerLines, 2);
    EXPECT_EQ(p.options.layout.missing, ".");
    // -list wins over -file; header lines only with exactly "yes".
    p = parseOptions({"-list", "l", "-file", "t", "-out", "o", "-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1",
                      "-header", "YES"});
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.options.listMode);
    EXPECT_EQ(p.options.layout.headerLines, 0);
}

TEST(RunBanner, ElapsedTimeForms)
{
    EXPECT_EQ(elapsedText(999), "DONE in 999 msec\n\n");
    EXPECT_EQ(elapsedText(1234), "DONE in 1 sec 234 msec\n\n");
    EXPECT_EQ(elapsedText(60000), "DONE in 1 min 0 sec 0 msec\n\n");
    EXPECT_EQ(elapsedText(3723004), "DONE in 1 h 2 min 3 sec 4 msec\n\n");
    EXPECT_EQ(elapsedMsecs(1000, 2500), 1500);
    EXPECT_EQ(elapsedMsecs(86399000, 500), 1500);
}
