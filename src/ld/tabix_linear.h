// The linear part of a tabix (.tbi) index, read without its bins: per
// sequence, the BGZF virtual offset of the first record overlapping each
// 16 kb window. That is all a reader needs to start near a position, in a
// tenth of the memory of the whole index for a genome-scale VCF.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TabixLinear {
    std::vector<std::string> names;            // the sequences, in the index's order
    std::vector<std::vector<uint64_t>> offsets; // per sequence, per 16 kb window
};

// Reads path (a BGZF-compressed .tbi). False with the reason in why.
bool readTabixLinear(const std::string& path, TabixLinear& index, std::string& why);

// Where to start reading for records at position (1-based) of sequence s:
// at or before the first such record. False when no record of the
// sequence reaches that far.
bool tabixStart(const TabixLinear& index, size_t s, int64_t position, uint64_t& start);
