// Header names are split with the same rules as rows (see field_splitter.cpp),
// so a column found here by name is the column pickFields reads by number.
#include "io/header_fields.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr size_t kListedNames = 40;   // names shown before "... and N more"
constexpr size_t kShownNameBytes = 80; // longer names are cut in messages

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

std::string_view withoutLineMarks(std::string_view line)
{
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (line.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        line.remove_prefix(kByteOrderMark.size());
    while (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::string cleanName(std::string_view field)
{
    while (!field.empty() && isBlankOrTab(field.front()))
        field.remove_prefix(1);
    while (!field.empty() && isBlankOrTab(field.back()))
        field.remove_suffix(1);
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        field = field.substr(1, field.size() - 2);
    return std::string(field);
}

std::vector<std::string> splitOnText(std::string_view line, const std::string& sep)
{
    std::vector<std::string> names;
    if (sep.empty())
        return {cleanName(line)};
    for (;;) {
        const size_t end = line.find(sep);
        names.push_back(cleanName(line.substr(0, end)));
        if (end == std::string_view::npos)
            return names;
        line.remove_prefix(end + sep.size());
    }
}

std::vector<std::string> splitOnWhitespace(std::string_view line)
{
    std::vector<std::string> names;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && isBlankOrTab(line[i]))
            ++i;
        if (i == line.size())
            return names;
        const size_t start = i;
        while (i < line.size() && !isBlankOrTab(line[i]))
            ++i;
        names.push_back(cleanName(line.substr(start, i - start)));
    }
}

std::string_view withoutHash(std::string_view name)
{
    if (!name.empty() && name.front() == '#')
        name.remove_prefix(1);
    return name;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b, bool ignoreCase)
{
    if (!ignoreCase)
        return a == b;
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

bool nameMatches(const std::vector<std::string>& names, size_t index, std::string_view wanted, bool ignoreCase)
{
    if (index == 0)
        return sameName(withoutHash(names[0]), withoutHash(wanted), ignoreCase);
    return sameName(names[index], wanted, ignoreCase);
}

// One pass over the names; column stays 0 when nothing matched.
HeaderMatch matchPass(const std::vector<std::string>& names, std::string_view wanted, bool ignoreCase)
{
    HeaderMatch match;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!nameMatches(names, i, wanted, ignoreCase))
            continue;
        if (match.found()) {
            match.ambiguous = true;
            break;
        }
        match.column = static_cast<int>(i) + 1;
    }
    match.ignoringCase = ignoreCase && match.found();
    return match;
}

// Cuts a long name at a UTF-8 character boundary.
std::string_view shownPart(std::string_view name)
{
    if (name.size() <= kShownNameBytes)
        return name;
    size_t cut = kShownNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

void appendEscaped(std::string& out, std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            out += code;
        } else {
            if (c == '"' || c == '\\')
                out += '\\';
            out += c;
        }
    }
}

void appendQuotedName(std::string& out, std::string_view name)
{
    out += '"';
    appendEscaped(out, shownPart(name));
    if (shownPart(name).size() < name.size())
        out += "...";
    out += '"';
}

} // namespace

std::vector<std::string> headerNames(std::string_view line, const FieldSeparator& sep)
{
    line = withoutLineMarks(line);
    return sep.whitespace ? splitOnWhitespace(line) : splitOnText(line, sep.text);
}

HeaderMatch findColumn(const std::vector<std::string>& names, std::string_view wanted)
{
    if (withoutHash(wanted).empty())
        return {};
    const HeaderMatch exact = matchPass(names, wanted, false);
    return exact.found() ? exact : matchPass(names, wanted, true);
}

std::string listNames(const std::vector<std::string>& names)
{
    if (names.empty())
        return "(none)";
    std::string out;
    const size_t shown = std::min(names.size(), kListedNames);
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0)
            out += ' ';
        appendQuotedName(out, names[i]);
    }
    if (shown < names.size())
        out += " ... and " + std::to_string(names.size() - shown) + " more";
    return out;
}

std::string missingColumnMessage(std::string_view who, const std::vector<std::string>& wanted,
                                 const std::vector<std::string>& names)
{
    std::string out(who);
    out += ": no column ";
    for (size_t i = 0; i < wanted.size(); ++i) {
        out += i > 0 ? " or " : "";
        appendQuotedName(out, wanted[i]);
    }
    out += " in the header; its columns are ";
    return out + listNames(names);
}
