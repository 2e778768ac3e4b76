// Conversions of number texts (option values and table fields) on raw bytes.
// This is the reader's hot path, so it works without allocation.
#include "io/number_parsing.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>
#include <limits>
#include <system_error>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

[[gnu::always_inline]] inline void trim(const char*& b, const char*& e)
{
    if (b < e && !isBlank(*b) && !isBlank(e[-1]))
        return;
    while (b < e && isBlank(*b))
        ++b;
    while (e > b && isBlank(e[-1]))
        --e;
}

bool equalsNoCase(const char* b, const char* e, const char* word)
{
    const size_t n = std::strlen(word);
    if (static_cast<size_t>(e - b) != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = b[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

// A decimal out of double range: decide between overflow and underflow.
// strtod in the C locale tells which (the process locale may use a comma).
double outOfRange(const char* b, const char* e)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const std::string copy(b, e);
    const double v = strtod_l(copy.c_str(), nullptr, cLocale);
    if (std::isinf(v))
        return v;
    return std::numeric_limits<double>::denorm_min();
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Exact fast path for plain decimals such as 0.0123 or 1.5e-08: a mantissa
// of at most 2^53 scaled by a power of ten up to 10^22 is one correctly
// rounded multiplication or division, the same double a full parse gives.
// Returns false when the text needs the full parser (or is not a number).
bool simpleDecimal(const char* p, const char* e, double& out)
{
    uint64_t m = 0;
    int significant = 0, exp10 = 0;
    bool anyDigit = false;
    for (; p < e && isDigit(*p); ++p, anyDigit = true) {
        if (m == 0 && *p == '0')
            continue;
        m = m * 10 + static_cast<uint64_t>(*p - '0');
        if (++significant > 19)
            return false;
    }
    if (p < e && *p == '.') {
        for (++p; p < e && isDigit(*p); ++p, anyDigit = true) {
            --exp10;
            if (m == 0 && *p == '0')
                continue;
            m = m * 10 + static_cast<uint64_t>(*p - '0');
            if (++significant > 19)
                return false;
        }
    }
    if (!anyDigit)
        return false;
    if (p < e && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negative = p < e && *p == '-';
        if (p < e && (*p == '-' || *p == '+'))
            ++p;
        if (p == e || e - p > 4)
            return false;
        int x = 0;
        for (; p < e && isDigit(*p); ++p)
            x = x * 10 + (*p - '0');
        exp10 += negative ? -x : x;
    }
    if (p != e || m > (uint64_t(1) << 53) || exp10 < -22 || exp10 > 22)
        return false;
    out = decimalValue({m, exp10});
    return true;
}

// The text without surrounding white space and without its sign.
struct Unsigned {
    const char* b;
    const char* e;
    bool negative = false;
};

// Inlined: both conversions of every row start here.
[[gnu::always_inline]] inline Unsigned unsignedPart(const char* text, size_t len)
{
    Unsigned u{text, text + len};
    trim(u.b, u.e);
    if (u.b < u.e && (*u.b == '+' || *u.b == '-')) {
        u.negative = *u.b == '-';
        ++u.b;
    }
    return u;
}

} // namespace

int32_t toInt32(const char* text, size_t len, bool* ok)
{
    // The common field, 1 to 9 digits and nothing else, fits without a
    // range check.
    if (len - 1 < 9) {
        uint32_t v = 0;
        size_t i = 0;
        for (; i < len; ++i) {
            const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned('0');
            if (digit > 9)
                break;
            v = v * 10 + digit;
        }
        if (i == len) {
            if (ok)
                *ok = true;
            return static_cast<int32_t>(v);
        }
    }
    const auto [b, e, negative] = unsignedPart(text, len);
    if (ok)
        *ok = false;
    if (b == e)
        return 0;
    int64_t v = 0;
    for (const char* p = b; p < e; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        if (v <= int64_t(1) << 32)
            v = v * 10 + (*p - '0');
    }
    if (negative)
        v = -v;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        return 0;
    if (ok)
        *ok = true;
    return static_cast<int32_t>(v);
}

double toDouble(const char* text, size_t len, bool* ok)
{
    // The common field, such as 0.0123: at most 19 digits with at most one
    // point, nothing else. Its value is the one simpleDecimal gives (the
    // same mantissa and power of ten), in one pass.
    if (len - 1 < 20 && isDigit(text[0])) {
        uint64_t m = 0;
        size_t i = 0, point = len;
        for (; i < len; ++i) {
            const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned('0');
            if (digit <= 9)
                m = m * 10 + digit;
            else if (text[i] != '.' || point != len)
                break;
            else
                point = i;
        }
        const size_t digits = point == len ? len : len - 1;
        if (i == len && digits <= 19 && m <= (uint64_t(1) << 53)) {
            if (ok)
                *ok = true;
            return decimalValue({m, point == len ? 0 : -static_cast<int>(len - 1 - point)});
        }
    }
    const auto [b, e, negative] = unsignedPart(text, len);
    if (ok)
        *ok = false;
    if (b == e)
        return 0.0;
    double v = 0.0;
    if (!(isDigit(*b) || *b == '.')) {
        // The two words; from_chars would also take a second sign,
        // "infinity" and "nan(...)": only a digit or a point may start a
        // number.
        if (equalsNoCase(b, e, "nan"))
            v = std::numeric_limits<double>::quiet_NaN();
        else if (equalsNoCase(b, e, "inf"))
            v = std::numeric_limits<double>::infinity();
        else
            return 0.0;
    } else {
        if (simpleDecimal(b, e, v)) {
            if (ok)
                *ok = true;
            return negative ? -v : v;
        }
        const auto r = std::from_chars(b, e, v);
        if (r.ptr != e)
            return 0.0;
        if (r.ec == std::errc::result_out_of_range)
            v = outOfRange(b, e);
        else if (r.ec != std::errc())
            return 0.0;
    }
    if (ok)
        *ok = true;
    return negative ? -v : v;
}

double minusLog10OfText(const char* text, size_t len)
{
    const Unsigned u = unsignedPart(text, len);
    const char* p = u.b;
    const char* const e = u.e;
    // The value is m * 10^exp10, m holding at most 19 significant digits.
    uint64_t m = 0;
    int significant = 0;
    long long exp10 = 0;
    const auto digit = [&](char c, bool fraction) {
        if (m == 0 && c == '0') {
            exp10 -= fraction;
            return;
        }
        if (significant < 19) {
            m = m * 10 + static_cast<uint64_t>(c - '0');
            ++significant;
            exp10 -= fraction;
        } else {
            exp10 += !fraction; // a dropped digit of the whole part still counts
        }
    };
    for (; p < e && isDigit(*p); ++p)
        digit(*p, false);
    if (p < e && *p == '.')
        for (++p; p < e && isDigit(*p); ++p)
            digit(*p, true);
    if (p < e && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negative = p < e && *p == '-';
        if (p < e && (*p == '-' || *p == '+'))
            ++p;
        long long x = 0;
        for (; p < e && isDigit(*p); ++p)
            if (x < 1000000000000LL) // far beyond any double, and no overflow
                x = x * 10 + (*p - '0');
        exp10 += negative ? -x : x;
    }
    if (m == 0)
        return std::numeric_limits<double>::infinity();
    return -static_cast<double>(exp10) - std::log10(static_cast<double>(m));
}
