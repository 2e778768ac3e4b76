// Splitting .bim lines a 64-bit word at a time.
#include "ld/bim_lines.h"
#include "base/byte_words.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Bytes readable past the text: a word read starting at the last '\n'
// (or at the '\n' added after a last line without one) stays inside.
constexpr size_t kSlack = 16;

// Bit 7 of each byte of w that is at most ' ', exactly: for a byte below
// 0x80, adding 0x5f to its low seven bits sets bit 7 only from 0x21 on,
// and no sum carries into the next byte.
inline uint64_t separators(uint64_t w)
{
    constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full, kHigh = 0x8080808080808080ull, kAdd = 0x5f5f5f5f5f5f5f5full;
    return ~(((w & kLow7) + kAdd) | w) & kHigh;
}

// The first byte at or after p that is at most ' '; the line's '\n' is one.
inline const char* fieldEnd(const char* p)
{
    for (;;) {
        const uint64_t m = separators(littleEndianWord(p));
        if (m != 0)
            return p + (__builtin_ctzll(m) >> 3);
        p += 8;
    }
}

inline bool separator(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Bit 7 of each byte of w that is '\n', exactly up to the first one (a
// borrow may mark bytes after it).
inline uint64_t newlines(uint64_t w)
{
    const uint64_t x = w ^ 0x0a0a0a0a0a0a0a0aull;
    return (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
}

// The eight bits 7, 15, ..., 63 of m as bits 0..7: byte j's bit, moved to
// bit 8j, is multiplied up to bit 56 + j; no two products share a bit.
inline uint64_t compact(uint64_t m) { return ((m >> 7) * 0x0102040810204080ull) >> 56; }

// The usual position, one to nine digits, read from one word (the bytes
// past the field are readable, as for every field); false for any other
// text, which bimPosition then reads.
inline bool digitsPosition(const char* p, size_t n, int32_t& position)
{
    if (n == 9) { // below 10^9 < 2^31 - 1
        int32_t low = 0;
        if (*p < '0' || *p > '9' || !digitsPosition(p + 1, 8, low))
            return false;
        position = (*p - '0') * 100000000 + low;
        return true;
    }
    if (n == 0 || n > 8)
        return false;
    const uint64_t keep = n == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * n)) - 1;
    const uint64_t x = (littleEndianWord(p) ^ 0x3030303030303030ull) & keep; // digits become 0..9
    // A byte of x above 9: bit 7 set, or its low seven bits plus 0x76 reach bit 7.
    if (((((x & 0x7f7f7f7f7f7f7f7full) + 0x7676767676767676ull) | x) & 0x8080808080808080ull & keep) != 0)
        return false;
    uint64_t v = x << (8 * (8 - n)); // eight digits, the first n of them zeros
    v = v * 10 + (v >> 8);           // pairs of digits in bytes 0, 2, 4, 6
    v = (((v & 0x000000ff000000ffull) * (100 + (1000000ull << 32))) +
         (((v >> 16) & 0x000000ff000000ffull) * (1 + (10000ull << 32)))) >>
        32;
    position = static_cast<int32_t>(v);
    return true;
}

// A line that is not read in one go below: fields found one after the other.
BimLineKind splitLong(const char*& p, const char** from, size_t* size)
{
    size_t count = 0;
    const char* q = p;
    for (;;) {
        while (separator(*q) && *q != '\n')
            ++q;
        if (*q == '\n')
            break;
        const char* start = q;
        q = fieldEnd(q);
        if (count == 6) { // a seventh field
            while (*q != '\n')
                ++q;
            p = q + 1;
            return BimLineKind::kBad;
        }
        from[count] = start;
        size[count++] = static_cast<size_t>(q - start);
    }
    p = q + 1;
    return count == 0 ? BimLineKind::kBlank : count == 6 ? BimLineKind::kVariant : BimLineKind::kBad;
}

} // namespace

// Design note: a line shorter than 64 bytes becomes one 64-bit mask of its
// separators (bit i: byte i is at most ' '; the '\n' and every bit past it
// set), built from independent word reads. A field starts at a clear bit
// after a set one (or at bit 0) and ends at the next set bit, so the six
// fields come from the masks' lowest bits with no loop over bytes.
// Invariant: the fields are those of splitLong, the byte-by-byte split.
BimLineKind splitBimLine(const char*& p, BimFields& out)
{
    const char* from[6];
    size_t size[6];
    uint64_t seps = 0;
    size_t length = 64; // of the line, without its '\n'
    for (size_t w = 0; w < 8; ++w) {
        const uint64_t x = littleEndianWord(p + 8 * w);
        seps |= compact(separators(x)) << (8 * w);
        const uint64_t nl = newlines(x);
        if (nl != 0) {
            length = 8 * w + (__builtin_ctzll(nl) >> 3);
            break;
        }
    }
    BimLineKind kind;
    if (length == 64) {
        kind = splitLong(p, from, size);
    } else {
        const uint64_t inLine = (uint64_t(1) << length) - 1;
        seps = (seps & inLine) | ~inLine;
        uint64_t starts = ~seps & ((seps << 1) | 1);
        uint64_t ends = seps & ~((seps << 1) | 1);
        size_t count = 0;
        for (; starts != 0 && count < 6; ++count) {
            const size_t a = static_cast<size_t>(__builtin_ctzll(starts));
            const size_t b = static_cast<size_t>(__builtin_ctzll(ends));
            from[count] = p + a;
            size[count] = b - a;
            starts &= starts - 1;
            ends &= ends - 1;
        }
        p += length + 1;
        kind = starts != 0 ? BimLineKind::kBad
               : count == 0 ? BimLineKind::kBlank
               : count == 6 ? BimLineKind::kVariant
                            : BimLineKind::kBad;
    }
    if (kind != BimLineKind::kVariant)
        return kind;
    if (!digitsPosition(from[3], size[3], out.position) &&
        !bimPosition(std::string_view(from[3], size[3]), out.position))
        return BimLineKind::kBad;
    out.chromosome = std::string_view(from[0], size[0]);
    out.id = std::string_view(from[1], size[1]);
    out.allele1 = std::string_view(from[4], size[4]);
    out.allele2 = std::string_view(from[5], size[5]);
    return kind;
}

BimLines::BimLines(const std::string& path, uint64_t from, uint64_t to, uint64_t firstLine, size_t bufferBytes)
    : capacity_(std::max<size_t>(bufferBytes, 64)), left_(to > from ? to - from : 0), line_(firstLine)
{
    buffer_.assign(capacity_ + kSlack, '\0');
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        error_ = errno;
    else if (from > 0 && lseek(fd_, static_cast<off_t>(from), SEEK_SET) < 0)
        error_ = errno;
}

BimLines::~BimLines()
{
    if (fd_ >= 0)
        close(fd_);
}

// With every complete line used: moves the unfinished last line to the
// front and reads until a '\n' arrives (growing the buffer when one line
// fills it); at the end a last line without '\n' is given one. False when
// no line is left or on a read error.
bool BimLines::fill()
{
    if (error_)
        return false;
    char* const data = buffer_.data();
    std::memmove(data, data + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = complete_ = 0;
    for (;;) {
        if (eof_) {
            if (end_ == 0)
                return false;
            data[end_++] = '\n'; // within the slack
            complete_ = end_;
            return true;
        }
        if (end_ == capacity_) {
            capacity_ *= 2;
            buffer_.resize(capacity_ + kSlack, '\0');
            return fill();
        }
        const size_t room = static_cast<size_t>(std::min<uint64_t>(capacity_ - end_, left_));
        const ssize_t got = room == 0 ? 0 : read(fd_, data + end_, room);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error_ = errno;
            return false;
        }
        if (got == 0) {
            eof_ = true;
            continue;
        }
        const size_t old = end_;
        end_ += static_cast<size_t>(got);
        left_ -= static_cast<uint64_t>(got);
        for (size_t k = end_; k > old; --k)
            if (data[k - 1] == '\n') {
                complete_ = k;
                return true;
            }
    }
}

bool BimLines::next(BimFields& f)
{
    if (fd_ < 0 || bad_)
        return false;
    for (;;) {
        if (begin_ == complete_ && !fill())
            return false;
        const char* p = buffer_.data() + begin_;
        const BimLineKind kind = splitBimLine(p, f);
        begin_ = static_cast<size_t>(p - buffer_.data());
        ++line_;
        if (kind == BimLineKind::kVariant)
            return true;
        if (kind == BimLineKind::kBad) {
            bad_ = true;
            return false;
        }
    }
}
