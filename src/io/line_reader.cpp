// Block-buffered line splitting: one memchr per line in the common case.
// Each refill starts a fresh buffer (carrying the unread tail over), so the
// lines already handed out stay valid while their chunk is held; buffers
// let go of come back through a pool. Also the
// look at a table's first lines: a header peeked from a pipe, a line read
// for a message.
#include "io/line_reader.h"

#include "io/field_numbers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {
constexpr size_t kChunk = 1 << 20;
constexpr size_t kSpareChunks = 8; // as many as the row pipeline holds at once
} // namespace

ByteChunk::ByteChunk(size_t size) : data_(static_cast<char*>(std::malloc(size + kFieldPadding))), size_(size)
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
    char* grown = static_cast<char*>(std::realloc(data_, size + kFieldPadding));
    if (!grown)
        throw std::bad_alloc();
    data_ = grown;
    size_ = size;
}

ChunkPool::~ChunkPool()
{
    for (ByteChunk* chunk : spare_)
        delete chunk;
}

ByteChunk* ChunkPool::take(size_t size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.empty() || size != kChunk)
        return nullptr;
    ByteChunk* chunk = spare_.back();
    spare_.pop_back();
    return chunk;
}

void ChunkPool::give(ByteChunk* chunk)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (chunk->size() == kChunk && spare_.size() < kSpareChunks) {
            spare_.push_back(chunk);
            return;
        }
    }
    delete chunk;
}

LineReader::LineReader(std::unique_ptr<InputSource> source)
    : pool_(std::make_shared<ChunkPool>()), source_(std::move(source)), buf_(freshChunk(kChunk))
{
}

// A block of `size` bytes that goes back to the pool when its last holder
// lets go.
std::shared_ptr<ByteChunk> LineReader::freshChunk(size_t size)
{
    ByteChunk* chunk = pool_->take(size);
    if (!chunk)
        chunk = new ByteChunk(size);
    // Should the count's allocation fail, the deleter has taken the block.
    return std::shared_ptr<ByteChunk>(chunk, [pool = pool_](ByteChunk* c) { pool->give(c); });
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
        auto fresh = freshChunk(std::max(kChunk, 2 * tail));
        std::memcpy(fresh->data(), buf_->data() + pos_, tail);
        firstCR_ = firstCR_ > pos_ ? firstCR_ - pos_ : 0;
        buf_ = std::move(fresh);
        end_ = tail;
        pos_ = 0;
    }
    const size_t n = source_->read(buf_->data() + end_, buf_->size() - end_);
    end_ += n;
    // The bytes after the data are defined, for the fields' word reads.
    std::memset(buf_->data() + end_, 0, kFieldPadding);
    if (n == 0) {
        eof_ = true;
        return false;
    }
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

// The first line end in buf_[from, end_), or null. Rows are short, so the
// bytes are looked at 16 at a time inline rather than through a call; a
// look may reach into the defined bytes after end_, never further.
const char* LineReader::findLineEnd(size_t from) const
{
    static_assert(kFieldPadding >= 16, "a look of 16 bytes may start at the last byte");
    const char* const b = buf_->data();
#ifdef __SSE2__
    const __m128i lineEnd = _mm_set1_epi8('\n');
    for (size_t at = from; at < end_; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineEnd)));
        if (end_ - at < 16)
            mask &= (1u << (end_ - at)) - 1;
        if (mask)
            return b + at + __builtin_ctz(mask);
    }
    return nullptr;
#else
    return static_cast<const char*>(std::memchr(b + from, '\n', end_ - from));
#endif
}

// Any line: the one after the common case's 64 bytes, one holding
// carriage returns, one that needs more bytes read.
bool LineReader::nextLine(std::string_view& line)
{
    size_t scanned = pos_;
    for (;;) {
        const char* nl = findLineEnd(scanned);
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

namespace {

// The bytes already read, then the rest of the source.
class ReplaySource : public InputSource {
public:
    ReplaySource(std::string head, std::unique_ptr<InputSource> rest) : head_(std::move(head)), rest_(std::move(rest)) {}

    size_t read(char* buf, size_t cap) override
    {
        if (at_ < head_.size()) {
            const size_t n = std::min(cap, head_.size() - at_);
            std::memcpy(buf, head_.data() + at_, n);
            at_ += n;
            if (at_ == head_.size())
                std::string().swap(head_), at_ = 0;
            return n;
        }
        const size_t n = rest_->read(buf, cap);
        failed_ = rest_->failed();
        return n;
    }

private:
    std::string head_;
    size_t at_ = 0;
    std::unique_ptr<InputSource> rest_;
};

} // namespace

std::unique_ptr<InputSource> peekLine(std::unique_ptr<InputSource> source, int number, std::string& line)
{
    std::string head;
    size_t scanned = 0, lineStart = 0, lineEnd = std::string::npos;
    int found = 0;
    char block[1 << 16];
    while (lineEnd == std::string::npos) {
        for (; scanned < head.size(); ++scanned) {
            if (head[scanned] != '\n')
                continue;
            if (++found == number) {
                lineEnd = scanned;
                break;
            }
            lineStart = scanned + 1;
        }
        if (lineEnd != std::string::npos)
            break;
        const size_t n = source->read(block, sizeof block);
        if (n == 0) {
            if (found == number - 1 && !source->failed())
                lineEnd = head.size(); // a last line without a line end
            else
                lineStart = lineEnd = 0;
            break;
        }
        head.append(block, n);
    }
    line.clear();
    for (size_t k = lineStart; k < lineEnd; ++k)
        if (head[k] != '\r')
            line += head[k];
    return std::make_unique<ReplaySource>(std::move(head), std::move(source));
}

std::optional<std::string> readLineOf(const std::string& path, int number)
{
    auto source = openInput(path);
    if (!source)
        return std::nullopt;
    LineReader lines(std::move(source));
    std::string_view line;
    for (int k = 1; k <= number; ++k)
        if (!lines.next(line))
            return std::string();
    return std::string(line);
}
