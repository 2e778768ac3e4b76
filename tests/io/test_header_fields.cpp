// Header names: splitting agrees with how rows are split, the lookup rules
// (exact before letter case, '#', quotes, BOM, CR), the names in messages,
// and telling column numbers from column names.
// (The missing-column message is checked through planColumns.)
#include "io/column_choice.h"
#include "io/header_fields.h"
#include "io/field_splitter.h"

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

std::string trimmed(std::string_view s)
{
    const size_t first = s.find_first_not_of(" \t"), last = s.find_last_not_of(" \t");
    return first == std::string_view::npos ? "" : std::string(s.substr(first, last - first + 1));
}

} // namespace

// Column k of the header must be the field pickFields reads as column k, and
// the header must end where the row's fields end.
TEST(HeaderNames, NumberedAsRowFieldsAre)
{
    const struct {
        const char* delim;
        const char* line;
    } cases[] = {
        {"tab", "CHR\tBP\t\tP"},     {"tab", "\tCHR\tP\t"},     {"space", "CHR BP  P"},
        {"space", " CHR BP "},       {"comma", "a,b,,c,"},      {"whitespace", "  CHR \t BP\t\tP  "},
        {"whitespace", "CHR"},       {"::", "a::b:::c::"},      {"semicolon", ""},
        {"whitespace", " \t "},
    };
    for (const auto& c : cases) {
        const FieldSeparator sep = separatorForWord(c.delim);
        const Names names = headerNames(c.line, sep);
        for (int k = 1; k <= static_cast<int>(names.size()) + 1; ++k) {
            PickedColumns cols;
            cols.add(k);
            std::string_view fields[1];
            const bool picked = pickFields(c.line, sep, cols, fields);
            SCOPED_TRACE(std::string(c.delim) + " [" + c.line + "] column " + std::to_string(k));
            ASSERT_EQ(picked, k <= static_cast<int>(names.size()));
            EXPECT_TRUE(!picked || names[k - 1] == trimmed(fields[0]));
        }
    }
}

TEST(HeaderNames, CleanedOfLineMarksQuotesAndBlanks)
{
    const FieldSeparator tab = separatorForWord("tab");
    EXPECT_EQ(headerNames("\xEF\xBB\xBF" "CHR\tBP\tP\r\r", tab), (Names{"CHR", "BP", "P"}));
    EXPECT_EQ(headerNames("\"CHR\"\t\"P\"\t\"\"\t\"", tab), (Names{"CHR", "P", "", "\""}));
    EXPECT_EQ(headerNames("CHR , BP ,P", separatorForWord(",")), (Names{"CHR", "BP", "P"}));
    FieldSeparator none;
    EXPECT_EQ(headerNames("CHR\tP", none), (Names{"CHR\tP"}));
}

TEST(FindColumn, ExactBeforeLetterCaseLeftmostFirst)
{
    const struct {
        Names names;
        const char* wanted;
        int column;
        bool ignoringCase, ambiguous;
    } cases[] = {
        {{"p", "P"}, "P", 2, false, false},          {{"p", "P"}, "p", 1, false, false},
        {{"Pval", "P"}, "p", 2, true, false},        {{"pos", "POS", "Pos"}, "pOs", 1, true, true},
        {{"P", "X", "P"}, "P", 1, false, true},      {{"CHR", "BP"}, "P", 0, false, false},
        {{"CHR", "BP"}, "", 0, false, false},        {{"#", "BP"}, "#", 0, false, false},
        {{"#CHROM", "POS"}, "CHROM", 1, false, false}, {{"#CHROM", "POS"}, "#CHROM", 1, false, false},
        {{"#CHROM", "POS"}, "chrom", 1, true, false},  {{"CHROM", "POS"}, "#CHROM", 1, false, false},
        {{"ID", "#B"}, "B", 0, false, false},        {{"ID", "#B"}, "#B", 2, false, false},
    };
    for (const auto& c : cases) {
        const HeaderMatch m = findColumn(c.names, c.wanted);
        SCOPED_TRACE(c.wanted);
        EXPECT_EQ(m.column, c.column);
        EXPECT_EQ(m.ignoringCase, c.ignoringCase);
        EXPECT_EQ(m.ambiguous, c.ambiguous);
    }
}

TEST(ListNames, EscapedAndCutForTheTerminal)
{
    EXPECT_EQ(listNames({}), "(none)");
    EXPECT_EQ(listNames({"CHR", "a \"b\"", "x\x1B[31my", "c\\d"}),
              "\"CHR\" \"a \\\"b\\\"\" \"x\\x1B[31my\" \"c\\\\d\"");
    const std::string longName = "\xC3\xA9" + std::string(200, 'x');
    EXPECT_EQ(listNames({std::string(79, 'a') + "\xC3\xA9"}), "\"" + std::string(79, 'a') + "...\"");
    EXPECT_EQ(listNames({longName}).size(), 2 + 80 + 3u);
    const Names many(100, "N");
    const std::string listed = listNames(many);
    EXPECT_NE(listed.find("... and 60 more"), std::string::npos);
    EXPECT_LT(listed.size(), 400u);
}

TEST(ColumnChoice, NumbersAsBeforeNamesOtherwise)
{
    const struct {
        const char* value;
        bool byName;
        int number;
        const char* name;
    } cases[] = {
        {"3", false, 3, ""},    {" 7\t", false, 7, ""},  {"+2", false, 2, ""},     {"-1", false, -1, ""},
        {"0", false, 0, ""},    {"", false, 0, ""},      {"  ", false, 0, ""},     {"99999999999", false, 0, ""},
        {"-99999999999", false, 0, ""},                  {"BP", true, 0, "BP"},    {" BP ", true, 0, "BP"},
        {"2.5", true, 0, "2.5"}, {"1e3", true, 0, "1e3"}, {"-", true, 0, "-"},      {"12a", true, 0, "12a"},
    };
    for (const auto& c : cases) {
        const ColumnChoice choice = parseColumnChoice(c.value);
        SCOPED_TRACE(std::string("[") + c.value + "]");
        EXPECT_EQ(choice.byName, c.byName);
        EXPECT_EQ(choice.number, c.number);
        EXPECT_EQ(choice.name, c.name);
    }
}
