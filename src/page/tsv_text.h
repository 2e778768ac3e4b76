// The tab-separated tables a page shows (the loci table, the peak report),
// split into a header and rows of fields.
#pragma once

#include <string>
#include <vector>

namespace page {

struct TsvTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows; // each padded or cut to the header's width

    // Index of the first column named `name`, or -1.
    int column(const std::string& name) const;
};

// Splits TSV text: the first line is the header; lines end with "\n" or
// "\r\n"; empty lines are skipped. A row with fewer fields than the header
// gets empty ones, and fields past the header's width join the last column
// with their tabs, so no text is lost.
TsvTable parseTsv(const std::string& text);

} // namespace page
