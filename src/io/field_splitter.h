// Splitting a table row into fields and picking the columns the analysis
// reads (position, p-value, chromosome, and optional ones).
#pragma once
#include <string>
#include <string_view>

struct FieldSeparator {
    std::string text;        // separator text; every occurrence separates
    bool whitespace = false; // runs of blanks and tabs separate instead
};

// Maps a delimiter word to its separator ("tab", "space", "comma", ...,
// "whitespace"); any other word is itself the separator.
FieldSeparator separatorForWord(const std::string& word);

// The 1-based numbers of the columns a reader picks from every row, in the
// order it wants them: position, p-value and chromosome, then optional ones.
struct PickedColumns {
    static constexpr int kMax = 5;
    int number[kMax] = {};
    int count = 0;

    void add(int column) { number[count++] = column; }
    int last() const; // the largest column number
};

// Picks the fields cols.number[0..count) into out[0..count). Returns false
// when the row has fewer fields than the largest of them.
bool pickFields(std::string_view line, const FieldSeparator& sep, const PickedColumns& cols, std::string_view* out);
