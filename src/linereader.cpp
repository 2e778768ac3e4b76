// Block-buffered line splitting: one memchr per line in the common case; the
// buffer grows only for a line longer than itself.
#include "linereader.h"

#include <algorithm>
#include <cstring>

LineReader::LineReader(std::unique_ptr<InputSource> source)
    : source_(std::move(source)), buf_(1 << 20)
{
}

// Moves the unread tail to the front and reads more after it. Returns false
// when nothing more could be read.
bool LineReader::fill()
{
    if (eof_)
        return false;
    if (pos_ > 0) {
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        firstCR_ = firstCR_ > pos_ ? firstCR_ - pos_ : 0;
        pos_ = 0;
    }
    if (end_ == buf_.size())
        buf_.resize(buf_.size() * 2);
    const size_t n = source_->read(buf_.data() + end_, buf_.size() - end_);
    if (n == 0) {
        eof_ = true;
        return false;
    }
    end_ += n;
    if (firstCR_ >= end_ - n)
        findCarriageReturn(end_ - n);
    return true;
}

// One look for carriage returns per block (and per line holding one) spares
// every other line its own.
void LineReader::findCarriageReturn(size_t from)
{
    const void* cr = from < end_ ? std::memchr(buf_.data() + from, '\r', end_ - from) : nullptr;
    firstCR_ = cr ? static_cast<size_t>(static_cast<const char*>(cr) - buf_.data()) : end_;
}

bool LineReader::atEnd()
{
    return pos_ == end_ && !fill();
}

size_t LineReader::dropCarriageReturns(char* s, size_t n)
{
    char* out = static_cast<char*>(std::memchr(s, '\r', n));
    if (!out)
        return n;
    char* const firstCR = out;
    for (const char* in = out; in < s + n; ++in)
        if (*in != '\r')
            *out++ = *in;
    if (out > firstCR)
        ++innerCarriageReturns_;
    return static_cast<size_t>(out - s);
}

bool LineReader::next(std::string_view& line)
{
    size_t scanned = pos_;
    for (;;) {
        const char* nl = static_cast<const char*>(std::memchr(buf_.data() + scanned, '\n', end_ - scanned));
        if (nl) {
            const size_t at = static_cast<size_t>(nl - buf_.data());
            size_t n = at - pos_;
            if (at > firstCR_) {
                n = dropCarriageReturns(buf_.data() + pos_, n);
                findCarriageReturn(at + 1);
            }
            line = std::string_view(buf_.data() + pos_, n);
            pos_ = at + 1;
            return true;
        }
        const size_t offset = end_ - pos_;
        if (!fill()) {
            if (pos_ == end_)
                return false;
            const size_t n = dropCarriageReturns(buf_.data() + pos_, end_ - pos_);
            line = std::string_view(buf_.data() + pos_, n);
            pos_ = end_;
            return true;
        }
        scanned = pos_ + offset;
    }
}
