// Whitespace-separated lines of a text file read through one fixed buffer
// with read(2): no per-line allocation, each line's fields handed out as
// views into the buffer (valid until the next call). Used for the .bim,
// which may hold millions of lines.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One line's fields: the first eight as views, and how many there are.
struct LineFields {
    static constexpr size_t kKept = 8;
    std::string_view at[kKept];
    size_t count = 0;
};

class TextLines {
public:
    explicit TextLines(const std::string& path);
    // The lines that start in the bytes [from, to) of the file, from must
    // be the start of a line, the first of them numbered firstLine + 1.
    TextLines(const std::string& path, uint64_t from, uint64_t to, uint64_t firstLine);
    ~TextLines();
    TextLines(const TextLines&) = delete;
    TextLines& operator=(const TextLines&) = delete;

    bool opened() const { return fd_ >= 0; }
    // The next line that is not blank: its fields (split on spaces, tabs
    // and the other control characters, so a final CR is dropped) in
    // fields; false at the end or on a read error (error() then holds
    // errno).
    bool next(LineFields& fields);
    uint64_t lineNumber() const { return line_; }
    int error() const { return error_; }

private:
    bool fill();
    int fd_ = -1;
    std::vector<char> buffer_;
    size_t begin_ = 0, end_ = 0;
    uint64_t left_ = UINT64_MAX; // bytes of the range not yet read
    bool eof_ = false;
    int error_ = 0;
    uint64_t line_ = 0;
};
