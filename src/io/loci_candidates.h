// The rows that may belong to a genome-wide locus, gathered while a table is
// read: rows whose position is a whole number and whose p-value field is a
// number at or below the loci threshold (or, for -log10(p) columns, at or
// above its -log10). Only these are kept, 24 bytes each plus their text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct LociCandidates {
    struct Candidate {
        int32_t position;
        uint32_t chromosome; // index into chromosomes
        double value;        // -log10(p) for log10Values; else p >= 0 as read, or
                             // minus the text's exact -log10(p) for a p below
                             // the normal range (the only negative values)
        uint64_t textStart;  // this candidate's text starts here in text
    };
    // The chromosomes with candidates, in the order the table first names
    // them.
    std::vector<std::string> chromosomes;
    // In input order: a candidate's index orders ties between equal values.
    std::vector<Candidate> candidates;
    // Per candidate, from its textStart to the next one's: the id field
    // (empty without an id column), then each carried field after a tab.
    // Tabs inside fields are stored as blanks, and a carried column the row
    // does not reach as "NA", so the text splits back into its fields.
    std::string text;
    bool log10Values = false;
    int carried = 0; // carried fields per candidate

    // -log10(p): inf for a -log10(p) column's inf.
    double strength(size_t k) const;
    // The p-value (0 for values of -log10(p) beyond the doubles' range).
    double p(size_t k) const;
    // The id field's text ("" without an id column).
    std::string_view id(size_t k) const;
    // The carried fields, joined by tabs ("" when none are carried).
    std::string_view carriedText(size_t k) const;
};
