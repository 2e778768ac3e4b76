// The reader's conversions of table fields: the values toInt32 and toDouble
// give, with the common forms (a position of plain digits, a p-value of
// digits with one point and an optional short exponent) read a word at a
// time. They may read up to kFieldPadding bytes past a field's end, which
// the reader's buffers always hold; every other text goes to toInt32 and
// toDouble. Fields are compared with a short text a word at a time too.
//
// Why the values are the same: a plain decimal is read as its digits m (at
// most 16 of them, so m is exact) and a power of ten 10^k with |k| <= 22
// (exact too); with m <= 2^53 the one division or multiplication rounds
// once, correctly, which is what toDouble and strtod return for that text.
#pragma once
#include "io/number_parsing.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#if defined(__SSE2__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#include <emmintrin.h>
#define QUORLIN_FIELD_WORDS 1
#endif

// Readable bytes after the end of every field in the reader's buffers.
constexpr size_t kFieldPadding = 16;

namespace field_numbers {

#ifdef QUORLIN_FIELD_WORDS
// Bit k set when byte k of the 16 at p is a digit, and where it is a point,
// and where it is 'e' or 'E'.
struct ByteClasses {
    unsigned digits, points, exponents;
};

inline ByteClasses classify(const char* p)
{
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i d = _mm_sub_epi8(x, _mm_set1_epi8('0'));
    const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
    const __m128i isPoint = _mm_cmpeq_epi8(x, _mm_set1_epi8('.'));
    const __m128i isExponent = _mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(0x20)), _mm_set1_epi8('e'));
    return {static_cast<unsigned>(_mm_movemask_epi8(isDigit)), static_cast<unsigned>(_mm_movemask_epi8(isPoint)),
            static_cast<unsigned>(_mm_movemask_epi8(isExponent))};
}

// The value of n (1 to 8) digits at p, known to be digits: the eight bytes
// are shifted so the digits end the word, then pairs, quads and halves are
// combined.
inline uint32_t eightDigits(const char* p, size_t n)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    const unsigned drop = 8 * static_cast<unsigned>(8 - n);
    v = (v << drop) - (0x3030303030303030ULL << drop);
    v = (v * 10) + (v >> 8);
    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
         (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
        32;
    return static_cast<uint32_t>(v);
}

// The value of n (0 to 16) digits at p, known to be digits.
inline uint64_t digitsValue(const char* p, size_t n)
{
    if (n == 0)
        return 0;
    if (n <= 8)
        return eightDigits(p, n);
    return uint64_t(eightDigits(p, n - 8)) * 100000000u + eightDigits(p + n - 8, 8);
}

constexpr uint64_t kPow10Int[] = {1ULL,
                                  10ULL,
                                  100ULL,
                                  1000ULL,
                                  10000ULL,
                                  100000ULL,
                                  1000000ULL,
                                  10000000ULL,
                                  100000000ULL,
                                  1000000000ULL,
                                  10000000000ULL,
                                  100000000000ULL,
                                  1000000000000ULL,
                                  10000000000000ULL,
                                  100000000000000ULL,
                                  1000000000000000ULL};
#endif

} // namespace field_numbers

// toInt32 of a field followed by kFieldPadding readable bytes.
inline int32_t fieldToInt32(const char* text, size_t len, bool* ok)
{
#ifdef QUORLIN_FIELD_WORDS
    using namespace field_numbers;
    // 1 to 9 digits and nothing else: no sign, blank or range to check.
    if (len - 1 < 9) {
        const unsigned all = (1u << len) - 1;
        if ((classify(text).digits & all) == all) {
            if (ok)
                *ok = true;
            return static_cast<int32_t>(len == 9 ? uint32_t(text[0] - '0') * 100000000u + eightDigits(text + 1, 8)
                                                 : eightDigits(text, len));
        }
    }
#endif
    return toInt32(text, len, ok);
}

// Reads a field followed by kFieldPadding readable bytes as a plain
// decimal: a digit first, then digits with at most one point, then
// optionally an exponent mark, a sign and one to three digits; 16 bytes at
// most. False for any other text (toDouble then decides).
inline bool readPlainDecimal(const char* text, size_t len, PlainDecimal& out)
{
#ifdef QUORLIN_FIELD_WORDS
    using namespace field_numbers;
    if (len - 1 >= 16)
        return false;
    const unsigned all = (1u << len) - 1;
    ByteClasses c = classify(text);
    c.digits &= all;
    c.points &= all;
    c.exponents &= all;
    const size_t end = c.exponents ? static_cast<size_t>(__builtin_ctz(c.exponents)) : len;
    const unsigned body = (1u << end) - 1;
    if (!(c.digits & 1) || ((c.digits | c.points) & body) != body || (c.points & (c.points - 1)) != 0 ||
        (c.points & ~body) != 0)
        return false;
    const size_t whole = c.points ? static_cast<size_t>(__builtin_ctz(c.points)) : end;
    const size_t fraction = c.points ? end - whole - 1 : 0;
    int exp10 = -static_cast<int>(fraction);
    if (end < len) {
        size_t at = end + 1;
        const bool negative = at < len && text[at] == '-';
        at += at < len && (text[at] == '-' || text[at] == '+');
        const unsigned rest = all & ~((1u << at) - 1);
        if (at == len || len - at > 3 || (c.digits & rest) != rest)
            return false;
        const int x = static_cast<int>(digitsValue(text + at, len - at));
        exp10 += negative ? -x : x;
    }
    if (exp10 < -22 || exp10 > 22)
        return false;
    const uint64_t m = digitsValue(text, whole) * kPow10Int[fraction] + digitsValue(text + whole + 1, fraction);
    if (m > (uint64_t(1) << 53))
        return false;
    out.m = m;
    out.exp10 = exp10;
    return true;
#else
    (void)text;
    (void)len;
    (void)out;
    return false;
#endif
}

// toDouble of a field followed by kFieldPadding readable bytes.
inline double fieldToDouble(const char* text, size_t len, bool* ok)
{
    PlainDecimal d;
    if (!readPlainDecimal(text, len, d))
        return toDouble(text, len, ok);
    if (ok)
        *ok = true;
    return decimalValue(d);
}

// The plain decimals whose double v lies in low < v <= high, told from the
// mantissa alone: per power of ten, inside exactly when from <= m < to.
// decimalValue is monotone in m, so each side is one run of mantissas, and
// bisection with decimalValue itself finds where it starts: the bounds are
// exact, not estimates.
class DecimalInterval {
public:
    DecimalInterval(double low, double high)
    {
        for (int e = -22; e <= 22; ++e) {
            from_[e + 22] = firstAbove(low, e);
            to_[e + 22] = firstAbove(high, e);
        }
    }
    bool holds(const PlainDecimal& d) const
    {
        return d.m >= from_[d.exp10 + 22] && d.m < to_[d.exp10 + 22];
    }

private:
    // The least m <= 2^53 + 1 whose value at 10^e exceeds x (2^53 + 1: none).
    static uint64_t firstAbove(double x, int e)
    {
        uint64_t below = 0, above = (uint64_t(1) << 53) + 1; // the answer lies in [below, above]
        while (below < above) {
            const uint64_t mid = below + (above - below) / 2;
            if (decimalValue({mid, e}) > x)
                above = mid;
            else
                below = mid + 1;
        }
        return below;
    }

    uint64_t from_[45], to_[45];
};

// A text that fields followed by kFieldPadding readable bytes are compared
// with: one of up to eight bytes is compared as one masked word.
class FieldText {
public:
    FieldText() = default;
    explicit FieldText(const std::string& text) : text_(text)
    {
        char word[8] = {}, mask[8] = {};
        if (text.size() <= 8) {
            std::memcpy(word, text.data(), text.size());
            std::memset(mask, 0xFF, text.size());
        }
        std::memcpy(&word_, word, 8);
        std::memcpy(&mask_, mask, 8);
    }
    bool matches(std::string_view field) const
    {
        if (field.size() != text_.size())
            return false;
        if (field.size() > 8)
            return field == text_;
        uint64_t word;
        std::memcpy(&word, field.data(), 8);
        return (word & mask_) == word_;
    }

private:
    std::string text_;
    uint64_t word_ = 0, mask_ = 0;
};
