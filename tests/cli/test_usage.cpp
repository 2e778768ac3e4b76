// The usage summary and the man page: both name every word of the option
// table the options are read with and every preset (and the man page every
// column of the report and the BED file), the summary fits 80 columns, the
// documented options (doc/options.txt) are the options read, and only a lone
// -h, -help or --help asks for it.
#include "report/bed_file.h"
#include "io/format_presets.h"
#include "cli/options.h"
#include "report/peak_row.h"
#include "cli/usage.h"
#include "usage_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

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

// A word as roff writes it: every hyphen as the \- escape.
std::string roff(std::string word)
{
    for (size_t at = word.find('-'); at != std::string::npos; at = word.find('-', at + 2))
        word.replace(at, 1, "\\-");
    return word;
}

} // namespace

TEST(Usage, EveryOptionEveryPresetWithin80Columns)
{
    const std::string text = usageText();
    for (const std::string& option : knownOptionWords())
        EXPECT_TRUE(mentions(text, option)) << option;
    for (const FormatPreset& preset : formatPresets())
        EXPECT_TRUE(mentions(text, preset.name)) << preset.name;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LT(line.size(), 80u) << line;
}

// An option the program reads is listed in doc/options.txt, and an option
// listed there as hidden is one the program does not read yet.
TEST(Usage, DocumentedOptionsAreTheOptionsRead)
{
    const std::vector<std::string> known = knownOptionWords();
    for (const usage_options::DocumentedOption& option : usage_options::kDocumentedOptions) {
        const bool read = std::find(known.begin(), known.end(), option.word) != known.end();
        EXPECT_EQ(read, option.listed) << option.word
                                       << (read ? ": read by the program; remove 'hidden' in doc/options.txt"
                                                : ": not an option the program reads");
    }
    for (const std::string& word : known)
        EXPECT_TRUE(std::any_of(std::begin(usage_options::kDocumentedOptions),
                                std::end(usage_options::kDocumentedOptions),
                                [&](const usage_options::DocumentedOption& o) { return word == o.word; }))
            << word << " is missing from doc/options.txt";
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

TEST(ManPage, OptionsPresetsAndOutputColumns)
{
    std::ifstream in(QUORLIN_MAN_PAGE);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string page = text.str();
    ASSERT_FALSE(page.empty()) << QUORLIN_MAN_PAGE;
    for (const std::string& option : knownOptionWords())
        EXPECT_TRUE(mentions(page, roff(option))) << option;
    for (const FormatPreset& preset : formatPresets())
        EXPECT_TRUE(mentions(page, ".B " + roff(preset.name))) << preset.name;
    // Every column the report and the BED file write, as the header lines name them.
    std::istringstream columns(std::string(kReportHeader) + kBedHeader);
    for (std::string column; columns >> column;)
        EXPECT_NE(page.find(".B " + roff(column.substr(column[0] == '#')) + "\n"), std::string::npos) << column;
}
