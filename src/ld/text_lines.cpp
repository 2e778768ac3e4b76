// Buffered line splitting for large whitespace-separated text files.
#include "ld/text_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr size_t kBuffer = size_t(1) << 20;
}

TextLines::TextLines(const std::string& path) : buffer_(kBuffer)
{
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        error_ = errno;
}

TextLines::TextLines(const std::string& path, uint64_t from, uint64_t to, uint64_t firstLine)
    : TextLines(path)
{
    line_ = firstLine;
    left_ = to > from ? to - from : 0;
    if (fd_ >= 0 && lseek(fd_, static_cast<off_t>(from), SEEK_SET) < 0)
        error_ = errno;
}

TextLines::~TextLines()
{
    if (fd_ >= 0)
        close(fd_);
}

// Moves the unread tail to the front and reads more after it, growing the
// buffer when one line fills it. False when nothing more can be read.
bool TextLines::fill()
{
    if (eof_ || error_)
        return false;
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    if (end_ == buffer_.size())
        buffer_.resize(buffer_.size() * 2);
    for (;;) {
        const size_t room = static_cast<size_t>(std::min<uint64_t>(buffer_.size() - end_, left_));
        if (room == 0) {
            eof_ = true;
            return false;
        }
        const ssize_t got = read(fd_, buffer_.data() + end_, room);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error_ = errno;
            return false;
        }
        if (got == 0) {
            eof_ = true;
            return false;
        }
        end_ += static_cast<size_t>(got);
        left_ -= static_cast<uint64_t>(got);
        return true;
    }
}

bool TextLines::next(LineFields& fields)
{
    if (fd_ < 0)
        return false;
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const char* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
        size_t length;
        if (newline) {
            length = static_cast<size_t>(newline - start);
        } else if (fill()) {
            continue;
        } else if (error_ || begin_ == end_) {
            return false;
        } else {
            length = end_ - begin_; // the last line, without a line end
            start = buffer_.data() + begin_;
        }
        begin_ += length + (newline ? 1 : 0);
        ++line_;
        const unsigned char* p = reinterpret_cast<const unsigned char*>(start);
        const unsigned char* const end = p + length;
        fields.count = 0;
        for (;;) {
            while (p < end && *p <= ' ')
                ++p;
            if (p == end)
                break;
            const unsigned char* from = p;
            while (p < end && *p > ' ')
                ++p;
            if (fields.count < LineFields::kKept)
                fields.at[fields.count] =
                    std::string_view(reinterpret_cast<const char*>(from), static_cast<size_t>(p - from));
            ++fields.count;
        }
        if (fields.count > 0)
            return true;
    }
}
