// Block-buffered line splitting: one memchr per line in the common case.
// Each refill starts a fresh buffer (carrying the unread tail over), so the
// lines already handed out stay valid while their chunk is held.
#include "line_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
constexpr size_t kChunk = 1 << 20;
}

ByteChunk::ByteChunk(size_t size) : data_(static_cast<char*>(std::malloc(size))), size_(size)
{
    if (!data_)
        throw std::bad_alloc();
}

ByteChunk::~ByteChunk()
{
    std::free(data_);
}

void ByteChunk::grow(size_t size)
{
    char* grown = static_cast<char*>(std::realloc(data_, size));
    if (!grown)
        throw std::bad_alloc();
    data_ = grown;
    size_ = size;
}

LineReader::LineReader(std::unique_ptr<InputSource> source)
    : source_(std::move(source)), buf_(std::make_shared<ByteChunk>(kChunk))
{
}

// Reads more after the unread tail: in a fresh buffer, or, when one line
// fills the whole buffer and nothing else holds it, in the same buffer
// grown to twice its size. Returns false when nothing more could be read.
bool LineReader::fill()
{
    if (eof_)
        return false;
    if (pos_ == 0 && end_ == buf_->size() && buf_.use_count() == 1) {
        buf_->grow(2 * buf_->size());
    } else if (pos_ > 0 || end_ == buf_->size()) {
        const size_t tail = end_ - pos_;
        auto fresh = std::make_shared<ByteChunk>(std::max(kChunk, 2 * tail));
        std::memcpy(fresh->data(), buf_->data() + pos_, tail);
        firstCR_ = firstCR_ > pos_ ? firstCR_ - pos_ : 0;
        buf_ = std::move(fresh);
        end_ = tail;
        pos_ = 0;
    }
    const size_t n = source_->read(buf_->data() + end_, buf_->size() - end_);
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
    const void* cr = from < end_ ? std::memchr(buf_->data() + from, '\r', end_ - from) : nullptr;
    firstCR_ = cr ? static_cast<size_t>(static_cast<const char*>(cr) - buf_->data()) : end_;
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
        const char* nl = static_cast<const char*>(std::memchr(buf_->data() + scanned, '\n', end_ - scanned));
        if (nl) {
            const size_t at = static_cast<size_t>(nl - buf_->data());
            size_t n = at - pos_;
            if (at > firstCR_) {
                n = dropCarriageReturns(buf_->data() + pos_, n);
                findCarriageReturn(at + 1);
            }
            line = std::string_view(buf_->data() + pos_, n);
            pos_ = at + 1;
            return true;
        }
        const size_t offset = end_ - pos_;
        if (!fill()) {
            // A last line counts only at the clean end of the input: one cut
            // off by damage is not a line.
            if (pos_ == end_ || source_->failed())
                return false;
            const size_t n = dropCarriageReturns(buf_->data() + pos_, end_ - pos_);
            line = std::string_view(buf_->data() + pos_, n);
            pos_ = end_;
            return true;
        }
        scanned = pos_ + offset;
    }
}
