// The usage summary names every option and preset, fits 80 columns, and
// only a lone -h, -help or --help asks for it.
#include "formatpresets.h"
#include "usage.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const char* const kOptions[] = {
    "-file",    "-list",   "-out",  "-lcolumn", "-pcolumn", "-chrcolumn", "-idcolumn",  "-delim",
    "-header",  "-header-size", "-missing", "-inlimit", "-peak-limit", "-dots", "-shrink", "-format",
    "-log10p",  "-sort",   "-bed",  "-plot",    "-threads",
};

// True when word occurs in text not followed by more of a word.
bool mentions(const std::string& text, const std::string& word)
{
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if (end == text.size() || !(std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-'))
            return true;
    }
    return false;
}

} // namespace

TEST(Usage, EveryOptionEveryPresetWithin80Columns)
{
    const std::string text = usageText();
    for (const char* option : kOptions)
        EXPECT_TRUE(mentions(text, option)) << option;
    for (const FormatPreset& preset : formatPresets())
        EXPECT_NE(text.find(preset.name), std::string::npos) << preset.name;
    std::istringstream lines(text);
    int examples = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LT(line.size(), 80u) << line;
        examples += line.rfind("  quorlin -file", 0) == 0;
    }
    EXPECT_EQ(examples, 2);
    for (const char* fact : {"default 0.001", "default 5", "default 2", "default NA", "default 1;", "tab (default)"})
        EXPECT_NE(text.find(fact), std::string::npos) << fact;
}

TEST(Usage, OnlyALoneHelpWordAsksForIt)
{
    const struct {
        std::vector<const char*> words;
        bool help;
    } cases[] = {
        {{"quorlin", "-h"}, true},          {{"quorlin", "-help"}, true},
        {{"quorlin", "--help"}, true},      {{"quorlin"}, false},
        {{"quorlin", "-h", "x"}, false},    {{"quorlin", "-file", "-h"}, false},
        {{"quorlin", "--h"}, false},        {{"quorlin", "-Help"}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isHelpRequest(static_cast<int>(c.words.size()), c.words.data()), c.help) << c.words.back();
}
