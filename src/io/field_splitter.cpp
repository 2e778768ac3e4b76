// Field picking without building the whole field list: the scan stops at the
// last wanted column, so wide tables cost only as much as their first columns.
#include "io/field_splitter.h"

#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

FieldSeparator separatorForWord(const std::string& word)
{
    static const struct {
        const char* word;
        const char* sep;
    } table[] = {
        {"tab", "\t"},   {"space", " "}, {"comma", ","},  {"semicolon", ";"}, {"colon", ":"},
        {"bslash", "\\"}, {"slash", "/"}, {"dash", "-"}, {"quote", "\""},    {"squote", "'"},
    };
    FieldSeparator sep;
    if (word == "whitespace") {
        sep.whitespace = true;
        return sep;
    }
    sep.text = word;
    for (const auto& row : table)
        if (word == row.word)
            sep.text = row.sep;
    return sep;
}

namespace {

// End of the field that starts at b: the next separator or the line end.
const char* fieldEnd(const char* b, const char* e, const std::string& sep)
{
    if (sep.size() == 1) {
        const void* p = std::memchr(b, sep[0], static_cast<size_t>(e - b));
        return p ? static_cast<const char*>(p) : e;
    }
    return std::search(b, e, sep.begin(), sep.end());
}

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

void store(int number, std::string_view field, const PickedColumns& cols, std::string_view* out)
{
    for (unsigned bits = cols.slotsOf(number); bits; bits &= bits - 1)
        out[__builtin_ctz(bits)] = field;
}

bool pickSeparated(std::string_view line, const std::string& sep, int last, const PickedColumns& cols, std::string_view* out)
{
    const char* b = line.data();
    const char* e = b + line.size();
    for (int number = 1;; ++number) {
        const char* fe = fieldEnd(b, e, sep);
        store(number, std::string_view(b, static_cast<size_t>(fe - b)), cols, out);
        if (number == last)
            return true;
        if (fe == e)
            return false;
        b = fe + sep.size();
    }
}

#ifdef __SSE2__
// The common row: every wanted field ends within the first 64 bytes (or at
// the line end, for a line of 16 to 63 bytes). The separators of those
// bytes, and the line end, are the set bits of one word, loaded 16 bytes at
// a time without reading past the line. Field c ends at the c-th set bit
// and starts after the one before: clearing bits up to a wanted column
// takes as many steps on every row, so the branches are foreseen, unlike a
// walk whose turns depend on where each row's separators fall. Returns
// false when the word does not reach the last wanted field; the walk below
// then decides (and stores again the same fields this stored).
bool pickWithinWord(std::string_view line, char sep, const PickedColumns& cols, std::string_view* out)
{
    const char* const b = line.data();
    const size_t n = line.size();
    if (n < 16 || cols.largest >= PickedColumns::kTable)
        return false;
    const __m128i separators = _mm_set1_epi8(sep);
    uint64_t mask = 0;
    for (size_t k = 0; k < 64; k += 16) {
        const size_t at = k + 16 <= n ? k : n - 16;
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
        mask |= uint64_t(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, separators)))) << at;
    }
    if (n < 64)
        mask |= uint64_t(1) << n;
    int number = 1; // the field whose end is mask's lowest bit
    for (int k = 0; k < cols.distinct; ++k) {
        const int column = cols.ascending[k];
        for (; number + 1 < column; ++number)
            mask &= mask - 1;
        size_t start = 0;
        if (column > 1) {
            if (!mask)
                return false;
            start = static_cast<size_t>(__builtin_ctzll(mask)) + 1;
            mask &= mask - 1;
            number = column;
        }
        if (!mask)
            return false;
        store(column, std::string_view(b + start, static_cast<size_t>(__builtin_ctzll(mask)) - start), cols, out);
    }
    return true;
}
#endif

// One-character separator: the separators of 16 bytes at a time come from
// one comparison. Walking them, a separator costs a count and two
// comparisons with the next wanted column; only the ends of wanted fields
// are located. (A column below 1 is never wanted: its slots stay unset, as
// no field has that number.)
bool pickSeparatedByChar(std::string_view line, char sep, const PickedColumns& cols, std::string_view* out)
{
    const char* const b = line.data();
    const size_t n = line.size();
    if (cols.distinct == 0)
        return false; // as for any row too short for its columns
#ifdef __SSE2__
    if (pickWithinWord(line, sep, cols, out))
        return true;
#endif
    const char* fieldStart = b;
    int number = 1; // the field the next separator ends
    int next = 0;   // cols.ascending[next] is the next wanted column
    int wanted = cols.ascending[0];
    // The separator at s ends field `number`; true once the last wanted
    // field is stored.
    auto separator = [&](const char* s) {
        if (number == wanted) {
            store(wanted, std::string_view(fieldStart, static_cast<size_t>(s - fieldStart)), cols, out);
            if (++next == cols.distinct)
                return true;
            wanted = cols.ascending[next];
        }
        if (++number == wanted)
            fieldStart = s + 1;
        return false;
    };
    size_t i = 0;
#ifdef __SSE2__
    const __m128i separators = _mm_set1_epi8(sep);
    auto separatorsAt = [&](size_t at) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, separators)));
    };
    for (; i + 16 <= n; i += 16) {
        for (unsigned mask = separatorsAt(i); mask; mask &= mask - 1)
            if (separator(b + i + __builtin_ctz(mask)))
                return true;
    }
    // The rest of a line of 16 bytes or more: one load ending at the line
    // end, without the bytes already seen.
    if (i < n && n >= 16) {
        const size_t at = n - 16;
        for (unsigned mask = separatorsAt(at) & ~((1u << (i - at)) - 1); mask; mask &= mask - 1)
            if (separator(b + at + __builtin_ctz(mask)))
                return true;
        i = n;
    }
#endif
    for (; i < n; ++i)
        if (b[i] == sep && separator(b + i))
            return true;
    // The line end ends the last field.
    if (number == wanted) {
        store(wanted, std::string_view(fieldStart, static_cast<size_t>(b + n - fieldStart)), cols, out);
        return ++next == cols.distinct;
    }
    return false;
}

bool pickWhitespace(std::string_view line, int last, const PickedColumns& cols, std::string_view* out)
{
    const char* b = line.data();
    const char* e = b + line.size();
    for (int number = 1;; ++number) {
        while (b < e && isBlankOrTab(*b))
            ++b;
        if (b == e)
            return false;
        const char* fe = b;
        while (fe < e && !isBlankOrTab(*fe))
            ++fe;
        store(number, std::string_view(b, static_cast<size_t>(fe - b)), cols, out);
        if (number == last)
            return true;
        b = fe;
    }
}

} // namespace

unsigned PickedColumns::slotsOfWide(int c) const
{
    unsigned bits = 0;
    for (int k = 0; k < count; ++k)
        bits |= (number[k] == c ? 1u : 0u) << k;
    return bits;
}

bool pickFields(std::string_view line, const FieldSeparator& sep, const PickedColumns& cols, std::string_view* out)
{
    const int last = cols.last();
    if (sep.whitespace)
        return pickWhitespace(line, last, cols, out);
    if (sep.text.size() == 1)
        return pickSeparatedByChar(line, sep.text[0], cols, out);
    return pickSeparated(line, sep.text, last, cols, out);
}
