// Field picking without building the whole field list: the scan stops at the
// last wanted column, so wide tables cost only as much as their first columns.
#include "rowsplitter.h"

#include <algorithm>
#include <cstring>

FieldSeparator separatorForWord(const std::string& word)
{
    static const struct {
        const char* word;
        const char* sep;
    } table[] = {
        {"tab", "\t"},   {"space", " "}, {"comma", ","},  {"semicolon", ";"}, {"colon", ":"},
        {"bslash", "\\"}, {"slash", "/"}, {"dash", "-"}, {"quote", "\""},    {"squote", "'"},
    };
    FieldSeparator sep;
    if (word == "whitespace") {
        sep.whitespace = true;
        return sep;
    }
    sep.text = word;
    for (const auto& row : table)
        if (word == row.word)
            sep.text = row.sep;
    return sep;
}

namespace {

// End of the field that starts at b: the next separator or the line end.
const char* fieldEnd(const char* b, const char* e, const std::string& sep)
{
    if (sep.size() == 1) {
        const void* p = std::memchr(b, sep[0], static_cast<size_t>(e - b));
        return p ? static_cast<const char*>(p) : e;
    }
    return std::search(b, e, sep.begin(), sep.end());
}

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

void store(int number, std::string_view field, const int cols[3], std::string_view out[3])
{
    for (int k = 0; k < 3; ++k)
        if (cols[k] == number)
            out[k] = field;
}

bool pickSeparated(std::string_view line, const std::string& sep, int last, const int cols[3], std::string_view out[3])
{
    const char* b = line.data();
    const char* e = b + line.size();
    for (int number = 1;; ++number) {
        const char* fe = fieldEnd(b, e, sep);
        store(number, std::string_view(b, static_cast<size_t>(fe - b)), cols, out);
        if (number == last)
            return true;
        if (fe == e)
            return false;
        b = fe + sep.size();
    }
}

bool pickWhitespace(std::string_view line, int last, const int cols[3], std::string_view out[3])
{
    const char* b = line.data();
    const char* e = b + line.size();
    for (int number = 1;; ++number) {
        while (b < e && isBlankOrTab(*b))
            ++b;
        if (b == e)
            return false;
        const char* fe = b;
        while (fe < e && !isBlankOrTab(*fe))
            ++fe;
        store(number, std::string_view(b, static_cast<size_t>(fe - b)), cols, out);
        if (number == last)
            return true;
        b = fe;
    }
}

} // namespace

bool pickFields(std::string_view line, const FieldSeparator& sep, const int cols[3], std::string_view out[3])
{
    const int last = std::max({cols[0], cols[1], cols[2]});
    if (sep.whitespace)
        return pickWhitespace(line, last, cols, out);
    return pickSeparated(line, sep.text, last, cols, out);
}
