// Splitting a table row into fields and picking the three columns the
// analysis reads (position, p-value, chromosome).
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

// Picks the fields with the 1-based numbers cols[0..2] into out[0..2].
// Returns false when the row has fewer fields than the largest of them.
bool pickFields(std::string_view line, const FieldSeparator& sep, const int cols[3], std::string_view out[3]);
