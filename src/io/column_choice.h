// The value of a column option (-lcolumn, -pcolumn, -chrcolumn, -idcolumn):
// a column number, or else a column name to look up in the header.
#pragma once
#include <string>
#include <vector>

struct ColumnChoice {
    bool byName = false;
    int number = 0;   // 1-based column when !byName; below 1 is an error
    std::string name; // header name when byName
    std::string text; // the value as given, for messages
};

// A whole number gives that column number, even 0 or a negative one (both
// errors of the option). Text that is blank, or all digits but beyond the
// 32-bit range, gives number 0, the option's error, rather than a name no
// header has. Anything else is a name, without its surrounding blanks.
ColumnChoice parseColumnChoice(const std::string& value);

// The value of -carry: `none`, or columns (numbers or names) separated by
// commas, each read as parseColumnChoice reads one; an empty item gives a
// column number 0, an error when the columns are decided.
struct CarryRequest {
    bool none = false;
    std::vector<ColumnChoice> columns;
};
CarryRequest parseCarryRequest(const std::string& value);
