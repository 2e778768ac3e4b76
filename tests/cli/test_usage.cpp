// The usage summary and the man page: both name every option (and the man
// page every report and BED column), the summary fits 80 columns, and only
// a lone -h, -help or --help asks for it.
#include "format_presets.h"
#include "usage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

const char* const kOptions[] = {
    "-file",    "-list",   "-out",  "-lcolumn", "-pcolumn", "-chrcolumn", "-idcolumn",  "-delim",
    "-header",  "-header-size", "-missing", "-inlimit", "-peak-limit", "-dots", "-shrink", "-format",
    "-log10p",  "-sort",   "-bed",  "-plot",    "-threads",
};

std::string manPage()
{
    std::ifstream in(QUORLIN_MAN_PAGE);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A word as roff writes it: every hyphen as the \- escape.
std::string roff(const std::string& word)
{
    std::string out;
    for (const char c : word)
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

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

TEST(ManPage, SectionsOptionsAndOutputColumns)
{
    const std::string page = manPage();
    ASSERT_FALSE(page.empty()) << QUORLIN_MAN_PAGE;
    for (const char* section : {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH OPTIONS", ".SH OUTPUT",
                                ".SH \"EXIT STATUS\"", ".SH EXAMPLES"})
        EXPECT_NE(page.find(section), std::string::npos) << section;
    for (const char* option : kOptions)
        EXPECT_TRUE(mentions(page, roff(option))) << option;
    for (const FormatPreset& preset : formatPresets())
        EXPECT_TRUE(mentions(page, ".B " + roff(preset.name))) << preset.name;
    for (const char* column : {"filename", "chrom", "range", "max", "bestslope0", "bestslope", "monot", "multip",
                               "reps", "ratio", "kolmo", "count", "spacing", "balance", "skew", "vbal1", "vbal2",
                               "maxbyMean", "GQS", "start", "end", "name", "score", "strand", "lead_position",
                               "lead_log10p", "gqs", "markers"})
        EXPECT_NE(page.find(".B " + std::string(column) + "\n"), std::string::npos) << column;
}
