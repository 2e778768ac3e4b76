// Field-level parsing of annotation lines. Only gene records reach the
// attribute parsers, so these favour plainness over speed.
#include "genes/annotation_records.h"

#include <cstring>

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Keeps the first non-empty value seen for each role; a name key of higher
// rank (gene_name over gene_id) replaces a lower one.
struct AttributePick {
    GeneAttributes a;
    int nameRank = 0;

    void offer(std::string_view key, std::string value, const char* bestName, const char* fallbackName,
               const char* const* typeKeys)
    {
        if (value.empty())
            return;
        if (key == bestName && nameRank < 2) {
            a.name = std::move(value);
            nameRank = 2;
        } else if (key == fallbackName && nameRank < 1) {
            a.name = std::move(value);
            nameRank = 1;
        } else if (!a.hasType) {
            for (const char* const* t = typeKeys; *t; ++t)
                if (key == *t) {
                    a.type = std::move(value);
                    a.hasType = true;
                    break;
                }
        }
    }
};

const char* const kGtfTypes[] = {"gene_type", "gene_biotype", nullptr};
const char* const kGff3Types[] = {"gene_type", "gene_biotype", "biotype", nullptr};

} // namespace

void splitTabs(std::string_view line, std::vector<std::string_view>& out, size_t max)
{
    out.clear();
    while (out.size() + 1 < max) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            break;
        out.push_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    out.push_back(line);
}

void splitFields(std::string_view line, std::vector<std::string_view>& out, size_t max)
{
    if (line.find('\t') != std::string_view::npos) {
        splitTabs(line, out, max);
        return;
    }
    out.clear();
    line = trimmed(line);
    while (!line.empty() && out.size() + 1 < max) {
        size_t end = 0;
        while (end < line.size() && !blank(line[end]))
            ++end;
        out.push_back(line.substr(0, end));
        line = trimmed(line.substr(end));
    }
    if (!line.empty() || out.empty())
        out.push_back(line);
}

bool parseCoordinate(std::string_view text, int64_t& value)
{
    if (text.empty() || text.size() > 18)
        return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

GeneAttributes gtfAttributes(std::string_view s)
{
    AttributePick pick;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (blank(s[i]) || s[i] == ';'))
            ++i;
        const size_t keyFrom = i;
        while (i < s.size() && !blank(s[i]) && s[i] != ';')
            ++i;
        const std::string_view key = s.substr(keyFrom, i - keyFrom);
        while (i < s.size() && blank(s[i]))
            ++i;
        std::string_view value;
        if (i < s.size() && s[i] == '"') {
            const size_t close = s.find('"', i + 1);
            const size_t end = close == std::string_view::npos ? s.size() : close;
            value = s.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            const size_t from = i;
            while (i < s.size() && s[i] != ';' && !blank(s[i]))
                ++i;
            value = s.substr(from, i - from);
        }
        // Anything else up to the pair's ';' (a second value) is not used.
        while (i < s.size() && s[i] != ';')
            ++i;
        if (!key.empty())
            pick.offer(key, std::string(value), "gene_name", "gene_id", kGtfTypes);
    }
    return pick.a;
}

GeneAttributes gff3Attributes(std::string_view s)
{
    AttributePick pick;
    while (!s.empty()) {
        const size_t semi = s.find(';');
        const std::string_view pair = s.substr(0, semi);
        s.remove_prefix(semi == std::string_view::npos ? s.size() : semi + 1);
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos)
            continue;
        pick.offer(trimmed(pair.substr(0, eq)), percentDecoded(trimmed(pair.substr(eq + 1))), "Name", "ID",
                   kGff3Types);
    }
    return pick.a;
}

std::string reportableName(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ',')
            c = '_';
    return out;
}
