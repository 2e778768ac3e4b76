// Option words and the run report: collection of the words, the order in
// which the options are checked, and the elapsed-time texts.
#include "cli/options.h"
#include "cli/run_banner.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::string> collect(std::vector<std::string> words)
{
    std::vector<char*> argv = {const_cast<char*>("quorlin")};
    for (auto& w : words)
        argv.push_back(w.data());
    return collectOptionWords(static_cast<int>(argv.size()), argv.data());
}
} // namespace

TEST(Options, Collection)
{
    // The value is examined in its own turn: "-file -out x" gives two pairs.
    EXPECT_EQ(collect({"-file", "-out", "x"}), (std::vector<std::string>{"-file", "-out", "-out", "x"}));
    // An option word in the last position is not collected; other case and
    // other words are not options.
    EXPECT_EQ(collect({"-FILE", "a", "junk", "-dots"}), std::vector<std::string>{});
    EXPECT_EQ(collect({"-dots", "3", "-dots", "7"}), (std::vector<std::string>{"-dots", "3", "-dots", "7"}));
}

TEST(Options, ValuesAndDefaults)
{
    ParsedOptions p = parseOptions({"-file", "t", "-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1", "-dots", "3",
                                    "-dots", "7", "-header", "yes", "-header-size", "2", "-missing", "."});
    ASSERT_TRUE(p.ok) << p.messages;
    EXPECT_EQ(p.messages, "output name = input name + '.out'\n");
    EXPECT_EQ(p.options.reportPath, "t.out");
    EXPECT_EQ(p.options.analysis.dots, 3);
    EXPECT_EQ(p.options.analysis.shrink, 2.0);
    EXPECT_EQ(p.options.analysis.inlimit, 0.001);
    EXPECT_EQ(p.options.layout.headerLines, 2);
    EXPECT_EQ(p.options.layout.missing, ".");
    EXPECT_EQ(p.options.layout.separator.text, "\t");
    // -list wins over -file; header lines only with exactly "yes".
    p = parseOptions({"-list", "l", "-file", "t", "-out", "o", "-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1",
                      "-header", "YES", "-inlimit", "0.05"});
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.options.listMode);
    EXPECT_EQ(p.options.layout.headerLines, 0);
    EXPECT_EQ(p.messages, "inlimit = 0.05\n");
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
