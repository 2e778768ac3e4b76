// Line reader over an input source: lines end at "\n", carriage returns are
// dropped wherever they occur, and a last line without a line end is a line
// when the input ends cleanly (not when it is cut off or damaged).
#pragma once
#include "io/byte_source.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

// One block of read bytes. A line longer than its block grows it in place
// (realloc moves large blocks without copying), so a line is held once.
// kFieldPadding bytes beyond size() are allocated too, and the line reader
// keeps those after its data defined: a field may be read a word at a time.
class ByteChunk {
public:
    explicit ByteChunk(size_t size);
    ~ByteChunk();
    ByteChunk(const ByteChunk&) = delete;
    ByteChunk& operator=(const ByteChunk&) = delete;
    char* data() { return data_; }
    size_t size() const { return size_; }
    // Grows to size bytes, keeping the contents; throws std::bad_alloc.
    void grow(size_t size);

private:
    char* data_;
    size_t size_;
};

// Spare blocks of the standard size. A block whose last holder lets go
// (on any thread) comes back here, so refills land in memory already
// mapped rather than in fresh pages that fault and are zeroed again.
class ChunkPool {
public:
    ChunkPool() = default;
    ChunkPool(const ChunkPool&) = delete;
    ChunkPool& operator=(const ChunkPool&) = delete;
    ~ChunkPool();
    // A spare block of `size` bytes, or null when none waits.
    ByteChunk* take(size_t size);
    // Keeps a block for take(), or frees it when enough wait already.
    void give(ByteChunk* chunk);

private:
    std::mutex mutex_;
    std::vector<ByteChunk*> spare_;
};

class LineReader {
public:
    explicit LineReader(std::unique_ptr<InputSource> source);

    // True when no bytes are left (reads ahead to find out).
    bool atEnd();
    // Next line without its line end and without carriage returns; false at
    // the end. The view points into chunk(), and stays valid as long as that
    // chunk is held.
    bool next(std::string_view& line)
    {
#ifdef __SSE2__
        // The common line: its end among the next 64 bytes read, and no
        // carriage return before it; taken here, without a call.
        if (end_ - pos_ >= 64) {
            const char* const b = buf_->data() + pos_;
            const __m128i lineEnd = _mm_set1_epi8('\n');
            for (size_t k = 0; k < 64; k += 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k));
                const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineEnd)));
                if (mask == 0)
                    continue;
                const size_t n = k + static_cast<size_t>(__builtin_ctz(mask));
                if (pos_ + n >= firstCR_)
                    break;
                line = std::string_view(b, n);
                pos_ += n + 1;
                return true;
            }
        }
#endif
        return nextLine(line);
    }
    const std::shared_ptr<ByteChunk>& chunk() const { return buf_; }
    // True when the source could not be read to its end.
    bool failed() const { return source_->failed(); }
    // Lines that held a carriage return before other text (a file with
    // carriage returns alone as line ends reads as one line).
    long long innerCarriageReturns() const { return innerCarriageReturns_; }

private:
    bool fill();
    bool nextLine(std::string_view& line);
    const char* findLineEnd(size_t from) const;
    size_t dropCarriageReturns(char* s, size_t n);
    void findCarriageReturn(size_t from);
    std::shared_ptr<ByteChunk> freshChunk(size_t size);

    std::shared_ptr<ChunkPool> pool_; // held by every chunk handed out, too
    std::unique_ptr<InputSource> source_;
    std::shared_ptr<ByteChunk> buf_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    size_t firstCR_ = 0; // no carriage return in buf_[pos_, firstCR_)
    long long innerCarriageReturns_ = 0;
};

// Reads source up to the end of line `number` (from 1) into line (without
// its line end and carriage returns; "" when the input is shorter) and
// returns a source that gives every byte again from the start: the header
// of a pipe is looked at without losing it.
std::unique_ptr<InputSource> peekLine(std::unique_ptr<InputSource> source, int number, std::string& line);

// Line number `number` (from 1) of the table at path, without its line end
// ("" when the table is shorter); nothing when it cannot be opened.
std::optional<std::string> readLineOf(const std::string& path, int number);
