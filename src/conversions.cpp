// Conversions of number texts (option values and table fields) on raw bytes.
// This is the reader's hot path, so it works without allocation.
#include "conversions.h"

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

void trim(const char*& b, const char*& e)
{
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

} // namespace

int32_t toInt32(const char* text, size_t len, bool* ok)
{
    const char* b = text;
    const char* e = text + len;
    trim(b, e);
    bool negative = false;
    if (b < e && (*b == '+' || *b == '-')) {
        negative = *b == '-';
        ++b;
    }
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
    const char* b = text;
    const char* e = text + len;
    trim(b, e);
    bool negative = false;
    if (b < e && (*b == '+' || *b == '-')) {
        negative = *b == '-';
        ++b;
    }
    if (ok)
        *ok = false;
    if (b == e)
        return 0.0;
    double v = 0.0;
    if (equalsNoCase(b, e, "nan")) {
        v = std::numeric_limits<double>::quiet_NaN();
    } else if (equalsNoCase(b, e, "inf")) {
        v = std::numeric_limits<double>::infinity();
    } else {
        // from_chars would also take a second sign, "infinity" and "nan(...)":
        // only a digit or a point may start the number itself.
        if (!((*b >= '0' && *b <= '9') || *b == '.'))
            return 0.0;
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
