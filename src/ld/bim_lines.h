// A .bim's lines split into their fields eight bytes at a time, for the
// run's pass over every variant of a panel: TextLines with bimFields gives
// the same variants, blank lines and faulty lines (tests/ld/test_bim_lines.cpp
// compares the two), at a fraction of the cost per line.
#pragma once
#include "ld/plink_fileset.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class BimLineKind { kVariant, kBlank, kBad };

// Splits the line at p, which must end with a '\n' after which at least 7
// bytes are readable (fields are found a 64-bit word at a time), and moves
// p past the '\n'. Fields are the runs of bytes above ' ' (space, tab, CR
// and the other control characters separate them). A line of six fields
// whose fourth is a position (0..2^31-1, as bimFields reads it) is a
// variant; a line without fields is blank; any other line is bad.
BimLineKind splitBimLine(const char*& p, BimFields& out);

// The lines of a .bim that start in its bytes [from, to), from the start
// of a line (the first numbered firstLine + 1), read with read(2) through
// one buffer that grows only for a line longer than it.
class BimLines {
public:
    BimLines(const std::string& path, uint64_t from, uint64_t to, uint64_t firstLine,
             size_t bufferBytes = size_t(1) << 17);
    ~BimLines();
    BimLines(const BimLines&) = delete;
    BimLines& operator=(const BimLines&) = delete;

    // The next variant into f (views valid until the next call). False at
    // the end, at a bad line (bad() true, lineNumber() its number) or on a
    // read error (error() holds errno).
    bool next(BimFields& f);
    bool bad() const { return bad_; }
    int error() const { return error_; }
    uint64_t lineNumber() const { return line_; }

private:
    bool fill();
    int fd_ = -1;
    std::vector<char> buffer_; // capacity_ bytes of text, then kSlack more for the word reads
    size_t capacity_;
    size_t begin_ = 0, complete_ = 0, end_ = 0; // next line; past the last '\n'; past the data
    uint64_t left_;                             // bytes of the range not yet read
    bool eof_ = false, bad_ = false;
    int error_ = 0;
    uint64_t line_;
};
