// Run report: elapsed-time texts with their four forms and the midnight
// wrap, and the collection of option words from the command line.
#include "runreport.h"

#include <gtest/gtest.h>

TEST(RunReport, ElapsedTimeForms)
{
    EXPECT_EQ(elapsedText(999), "DONE in 999 msec\n\n");
    EXPECT_EQ(elapsedText(0), "DONE in 0 msec\n\n");
    EXPECT_EQ(elapsedText(1000), "DONE in 1 sec 0 msec\n\n");
    EXPECT_EQ(elapsedText(1234), "DONE in 1 sec 234 msec\n\n");
    EXPECT_EQ(elapsedText(60000), "DONE in 1 min 0 sec 0 msec\n\n");
    EXPECT_EQ(elapsedText(3723004), "DONE in 1 h 2 min 3 sec 4 msec\n\n");
}

TEST(RunReport, ElapsedAcrossMidnight)
{
    EXPECT_EQ(elapsedMsecs(1000, 2500), 1500);
    EXPECT_EQ(elapsedMsecs(86399000, 500), 1500);
    EXPECT_EQ(elapsedMsecs(5, 5), 0);
}

TEST(RunReport, OptionCollection)
{
    auto collect = [](std::vector<std::string> words) {
        std::vector<char*> argv = {const_cast<char*>("quorlin")};
        for (auto& w : words)
            argv.push_back(w.data());
        return collectOptions(static_cast<int>(argv.size()), argv.data());
    };
    // The value is examined in its own turn: "-file -out x" gives two pairs.
    EXPECT_EQ(collect({"-file", "-out", "x"}), (std::vector<std::string>{"-file", "-out", "-out", "x"}));
    // An option word in the last position is not collected; other case and
    // other words are not options.
    EXPECT_EQ(collect({"-FILE", "a", "junk", "-dots"}), std::vector<std::string>{});
    EXPECT_EQ(collect({"-dots", "3", "-dots", "7"}), (std::vector<std::string>{"-dots", "3", "-dots", "7"}));
    EXPECT_EQ(collect({}), std::vector<std::string>{});
}
