// Splitting a table row into fields and picking the columns the analysis
// reads (position, p-value, chromosome, and optional ones).
#pragma once
#include <cstdint>
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
    static constexpr int kMax = 16;
    static constexpr int kTable = 64; // columns below this are looked up in a table
    int number[kMax] = {};
    int count = 0;
    int largest = 0;
    // For column c < kTable, bit k is set when number[k] == c.
    uint16_t slots[kTable] = {};
    // The distinct columns above 0, ascending.
    int ascending[kMax] = {};
    int distinct = 0;

    void add(int column)
    {
        if (column > 0 && column < kTable)
            slots[column] = static_cast<uint16_t>(slots[column] | (1u << count));
        largest = column > largest ? column : largest;
        number[count++] = column;
        int at = 0;
        while (at < distinct && ascending[at] < column)
            ++at;
        if (column < 1 || (at < distinct && ascending[at] == column))
            return;
        for (int k = distinct++; k > at; --k)
            ascending[k] = ascending[k - 1];
        ascending[at] = column;
    }
    int last() const { return largest; }
    // The slots that column c fills, as bits.
    unsigned slotsOf(int c) const { return c < kTable ? slots[c] : slotsOfWide(c); }

private:
    unsigned slotsOfWide(int c) const;
};

// Distinct columns a table's loci candidates may carry.
constexpr int kMaxCarried = PickedColumns::kMax;

// Picks the fields cols.number[0..count) into out[0..count). Returns false
// when the row has fewer fields than the largest of them.
bool pickFields(std::string_view line, const FieldSeparator& sep, const PickedColumns& cols, std::string_view* out);
