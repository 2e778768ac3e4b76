// Column names of a table's header line: splitting the line exactly as rows
// are split, finding a wanted name among them, and showing them in messages.
#pragma once
#include "io/field_splitter.h"

#include <string>
#include <string_view>
#include <vector>

// The header's column names in column order: name k-1 belongs to column k,
// numbered as pickFields numbers the fields of a row. The line loses a
// leading UTF-8 byte order mark and trailing carriage returns; each name
// loses surrounding blanks and tabs and one pair of enclosing double quotes
// (as R's write.table writes them). An empty literal separator leaves the
// whole line as one name.
std::vector<std::string> headerNames(std::string_view line, const FieldSeparator& sep);

struct HeaderMatch {
    int column = 0;            // 1-based; 0 when the name is not in the header
    bool ignoringCase = false; // found only when letter case was ignored
    bool ambiguous = false;    // several columns matched; the leftmost won
    bool found() const { return column > 0; }
};

// Looks wanted up among names: an exact match first, then one that ignores
// ASCII letter case; the leftmost match of the first successful pass wins. A
// leading '#' is ignored on the first name (as in "#CHROM") and on wanted
// when it is compared with the first name, so "CHROM" and "#CHROM" both find
// a "#CHROM" column. An empty wanted name is never found.
HeaderMatch findColumn(const std::vector<std::string>& names, std::string_view wanted);

// The names for a message: each in double quotes, separated by blanks, with
// control bytes, quotes and backslashes escaped; a long header is cut after
// a few dozen names with a count of the rest.
std::string listNames(const std::vector<std::string>& names);

// The standard-error line for a column name that is not in the header, e.g.
// `-lcolumn: no column "BP" in the header; its columns are "CHR" "POS" "P"`;
// several wanted names (alternatives) are joined with "or".
std::string missingColumnMessage(std::string_view who, const std::vector<std::string>& wanted,
                                 const std::vector<std::string>& names);
