// Number conversions of option values and table fields.
// Text that is not a number never fails loudly: it becomes 0 (or 0.0), and the
// caller may ask whether the text was a number in order to warn about it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Whole text as a base-10 32-bit integer with optional sign; white space around
// it is ignored. Anything else, or a value outside the 32-bit range, gives 0.
int32_t toInt32(const char* text, size_t len, bool* ok = nullptr);
inline int32_t toInt32(const std::string& s, bool* ok = nullptr) { return toInt32(s.data(), s.size(), ok); }

// Whole text as a decimal number with optional sign, fraction and exponent, or
// the words nan / inf in any letter case (with optional sign); white space
// around it is ignored. Anything else gives 0.0. Overflow gives an infinity; a
// non-zero value too small for a double gives the smallest subnormal with its
// sign, so that the strongest p-values never turn into 0.
double toDouble(const char* text, size_t len, bool* ok = nullptr);
inline double toDouble(const std::string& s, bool* ok = nullptr) { return toDouble(s.data(), s.size(), ok); }

// A plain decimal as the fast path reads it: the value is m * 10^exp10,
// with m <= 2^53 and |exp10| <= 22.
struct PlainDecimal {
    uint64_t m = 0;
    int exp10 = 0;
};

// The double of a plain decimal: one correctly rounded operation on exact
// operands.
inline double decimalValue(const PlainDecimal& d)
{
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const double mantissa = static_cast<double>(d.m);
    return d.exp10 < 0 ? mantissa / kPow10[-d.exp10] : mantissa * kPow10[d.exp10];
}

// The smallest normal double. A p-value text that reads below it (as a
// subnormal, or as the smallest subnormal for text beyond the doubles'
// range) has lost digits or its whole value; its -log10 comes from the text.
constexpr double kSmallestNormal = 2.2250738585072014e-308;

// -log10 of the value of a decimal text that toDouble reads as a number
// other than nan and inf, sign and white space ignored: -exponent -
// log10(mantissa), taken from the text itself, so it is exact to a double's
// precision however far below the doubles' range the value lies (the first
// 19 significant digits count). inf when the text's value is zero.
double minusLog10OfText(const char* text, size_t len);
