// Splitting of the tables a page shows.
#include "page/tsv_text.h"

namespace page {

int TsvTable::column(const std::string& name) const
{
    for (size_t i = 0; i < header.size(); ++i)
        if (header[i] == name)
            return static_cast<int>(i);
    return -1;
}

namespace {

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        if (tab == std::string::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

} // namespace

TsvTable parseTsv(const std::string& text)
{
    TsvTable table;
    bool first = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::vector<std::string> fields = splitTabs(line);
        if (first) {
            table.header = std::move(fields);
            first = false;
            continue;
        }
        const size_t width = table.header.size();
        if (fields.size() > width) {
            for (size_t i = width; i < fields.size(); ++i)
                fields[width - 1] += "\t" + fields[i];
            fields.resize(width);
        }
        fields.resize(width);
        table.rows.push_back(std::move(fields));
    }
    return table;
}

} // namespace page
