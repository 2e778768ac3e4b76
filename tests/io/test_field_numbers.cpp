// The reader's word-at-a-time conversions against toInt32 and toDouble:
// millions of generated fields (plain decimals of every length, exponents,
// boundaries of the exact path, subnormals, printed doubles and broken
// texts), each followed by bytes of any content, must read bit for bit as
// the general conversions read them, with the same verdict on numberhood.
#include "io/field_numbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

bool sameBits(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A field as the reader holds it: its bytes, then kFieldPadding bytes of
// whatever the buffer holds there (more digits, points, exponents, zeros).
class PaddedField {
public:
    explicit PaddedField(std::mt19937_64& rng) : rng_(rng) {}

    const char* place(const std::string& text)
    {
        static const char after[] = "0123456789.eE+- \t\n\0x";
        buf_.assign(text.begin(), text.end());
        for (size_t k = 0; k < kFieldPadding; ++k)
            buf_.push_back(after[rng_() % (sizeof after - 1)]);
        return buf_.data();
    }

private:
    std::mt19937_64& rng_;
    std::vector<char> buf_;
};

void expectSameDouble(PaddedField& field, const std::string& text)
{
    bool fastOk = false, generalOk = false;
    const double fast = fieldToDouble(field.place(text), text.size(), &fastOk);
    const double general = toDouble(text.data(), text.size(), &generalOk);
    ASSERT_TRUE(sameBits(fast, general) && fastOk == generalOk)
        << "'" << text << "': " << fast << " (" << fastOk << ") against " << general << " (" << generalOk << ")";
}

void expectSameInteger(PaddedField& field, const std::string& text)
{
    bool fastOk = false, generalOk = false;
    const int32_t fast = fieldToInt32(field.place(text), text.size(), &fastOk);
    const int32_t general = toInt32(text.data(), text.size(), &generalOk);
    ASSERT_TRUE(fast == general && fastOk == generalOk)
        << "'" << text << "': " << fast << " (" << fastOk << ") against " << general << " (" << generalOk << ")";
}

std::string digits(std::mt19937_64& rng, size_t n)
{
    std::string s;
    for (size_t k = 0; k < n; ++k)
        s += static_cast<char>('0' + rng() % 10);
    return s;
}

} // namespace

// Decimals shaped like p-value fields: up to 18 digits, at most one point
// anywhere, an optional exponent of up to four digits; one text in eight
// has a byte swapped for one the fast path must refuse or hand on.
TEST(FieldNumbers, GeneratedDecimalsReadAsTheGeneralConversion)
{
    std::mt19937_64 rng(2026);
    PaddedField field(rng);
    static const char odd[] = "-+. eEx,\t9";
    for (int n = 0; n < 2000000; ++n) {
        std::string s = digits(rng, 1 + rng() % 18);
        if (rng() % 4 != 0)
            s.insert(rng() % (s.size() + 1), ".");
        if (rng() % 3 == 0) {
            s += rng() % 2 ? 'e' : 'E';
            const unsigned sign = rng() % 3;
            s += sign == 0 ? "-" : sign == 1 ? "+" : "";
            s += digits(rng, rng() % 5);
        }
        if (rng() % 8 == 0)
            s[rng() % s.size()] = odd[rng() % (sizeof odd - 1)];
        expectSameDouble(field, s);
        if (HasFatalFailure())
            return;
    }
}

// Printed doubles of every magnitude, subnormals included, in the three
// formats and at every precision.
TEST(FieldNumbers, PrintedDoublesReadAsTheGeneralConversion)
{
    std::mt19937_64 rng(7);
    PaddedField field(rng);
    char text[64];
    for (int n = 0; n < 500000; ++n) {
        const double x = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 1200) - 1130);
        const int precision = static_cast<int>(rng() % 18);
        const char* format = n % 3 == 0 ? "%.*g" : n % 3 == 1 ? "%.*e" : "%.*f";
        std::snprintf(text, sizeof text, format, precision, n % 3 == 2 ? std::fmod(x, 1e6) : x);
        expectSameDouble(field, text);
        if (HasFatalFailure())
            return;
    }
}

// The edges of the exact path: mantissas around 2^53, powers of ten around
// 10^±22, sixteen and seventeen bytes, zeros, and texts that are no number.
TEST(FieldNumbers, EdgesOfTheExactPath)
{
    std::mt19937_64 rng(1);
    PaddedField field(rng);
    const char* texts[] = {
        "9007199254740992", "9007199254740993", "9007199254740991", "900719925474099.3", "9.007199254740993",
        "1e22", "1e23", "1e-22", "1e-23", "1.5e21", "1.5e22", "0.5e-21", "12345678901234.5e-8", "0.000000000000001",
        "0000000000000001", "00000000000000001", "1234567890123456", "12345678901234567", "5e-08", "5.0e-8",
        "4.9999999e-08", "1", "0", "0.0", "0.", "1.", "5.e3", "0e0", "0e-400", "1e-400", "1e400", "1e999", "1e-999",
        "2.2250738585072014e-308", "4.9e-324", "1e", "1e+", "1e-", "e5", ".5", "1..2", "1.2.3", "1e5e5", "1e5.5",
        "1.5e-0008", "1.5e-008", "1E-08", "1e+08", "-0.5", "+0.5", " 0.5", "0.5 ", "NA", "nan", "inf", "0x1p3", ""};
    for (const char* t : texts)
        expectSameDouble(field, t);
    const char* integers[] = {"0", "7", "12345678", "123456789", "999999999", "1234567890", "2147483647",
                              "2147483648", "-5", "+5", " 5", "5 ", "1.0", "1e5", "", "00000000", "000000001", "-0"};
    for (const char* t : integers)
        expectSameInteger(field, t);
}

// Positions: one to eleven digits, with signs, blanks and other bytes
// now and then.
TEST(FieldNumbers, GeneratedPositionsReadAsTheGeneralConversion)
{
    std::mt19937_64 rng(99);
    PaddedField field(rng);
    static const char odd[] = "-+. e\t:";
    for (int n = 0; n < 1000000; ++n) {
        std::string s = digits(rng, 1 + rng() % 11);
        if (rng() % 8 == 0)
            s[rng() % s.size()] = odd[rng() % (sizeof odd - 1)];
        expectSameInteger(field, s);
        if (HasFatalFailure())
            return;
    }
}

// The common-row test on the digits alone gives the verdict of the double
// itself, at the thresholds the reader uses and at random ones, for
// mantissas near every bound.
TEST(FieldNumbers, DecimalIntervalAgreesWithTheDouble)
{
    std::mt19937_64 rng(5);
    const double bounds[][2] = {{5e-8, 1.0}, {1e-5, 1.0}, {0.05, 1.0}, {-1.0, std::nextafter(7.30103, -1.0)},
                                {-1.0, std::nextafter(5.0, -1.0)}, {0.1, 0.1}, {1e-300, 1e300}};
    for (const auto& b : bounds) {
        const DecimalInterval inside(b[0], b[1]);
        for (int n = 0; n < 200000; ++n) {
            PlainDecimal d;
            d.exp10 = static_cast<int>(rng() % 45) - 22;
            // Mantissas of every length, and ones next to 10^k and 5 * 10^k.
            const uint64_t scale = uint64_t(1) << (rng() % 54);
            d.m = n % 2 ? rng() % scale : (rng() % 2 ? 5 : 1) * field_numbers::kPow10Int[rng() % 16] + rng() % 3 - 1;
            d.m = std::min(d.m, uint64_t(1) << 53);
            const double v = decimalValue(d);
            ASSERT_EQ(inside.holds(d), b[0] < v && v <= b[1]) << d.m << "e" << d.exp10 << " in (" << b[0] << ", " << b[1] << "]";
        }
    }
}

// A field matches a text by its bytes alone, whatever follows it, for
// names up to a word long and beyond.
TEST(FieldNumbers, FieldTextComparesTheBytesOnly)
{
    std::mt19937_64 rng(3);
    PaddedField field(rng);
    const std::vector<std::string> names = {"", "1", "2", "chr1", "chr10", "chrX", "12345678", "123456789",
                                            "chr1_KI270706v1_random", "1\t", "x"};
    for (int n = 0; n < 20; ++n)
        for (const std::string& a : names) {
            const FieldText text(a);
            for (const std::string& b : names)
                EXPECT_EQ(text.matches(std::string_view(field.place(b), b.size())), a == b) << a << " / " << b;
        }
}
