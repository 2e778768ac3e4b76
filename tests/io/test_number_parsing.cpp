// Number conversions: the documented cases, and a differential test of the
// byte-level fast path against a plain reference built on strtoll/strtod.
#include "io/number_parsing.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

namespace {

bool refBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string refTrim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && refBlank(s[b]))
        ++b;
    while (e > b && refBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Reference integer conversion: strtoll on the trimmed text, whole text used.
int32_t refInt(const std::string& text)
{
    const std::string t = refTrim(text);
    if (t.empty() || refBlank(t[0]))
        return 0;
    size_t digitsFrom = (t[0] == '+' || t[0] == '-') ? 1 : 0;
    if (digitsFrom == t.size() || !std::isdigit(static_cast<unsigned char>(t[digitsFrom])))
        return 0;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        return 0;
    return static_cast<int32_t>(v);
}

// Reference real conversion: strtod on the trimmed text, with only decimal
// notation and the two words allowed.
double refDouble(const std::string& text)
{
    std::string t = refTrim(text);
    std::string body = t;
    double sign = 1;
    if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
        sign = body[0] == '-' ? -1 : 1;
        body = body.substr(1);
    }
    std::string lower;
    for (char c : body)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "nan")
        return std::numeric_limits<double>::quiet_NaN();
    if (lower == "inf")
        return sign * std::numeric_limits<double>::infinity();
    if (body.empty() || !(std::isdigit(static_cast<unsigned char>(body[0])) || body[0] == '.'))
        return 0.0;
    for (char c : lower)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == '+' || c == '-'))
            return 0.0;
    char* end = nullptr;
    double v = std::strtod(body.c_str(), &end);
    if (*end != '\0')
        return 0.0;
    if (v == 0 && body.find_first_of("123456789") < body.find_first_of("eE"))
        v = std::numeric_limits<double>::denorm_min();
    return sign * v;
}

bool sameDouble(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

} // namespace

TEST(Conversions, IntegerAndDecimalRules)
{
    const double inf = std::numeric_limits<double>::infinity(), tiny = std::numeric_limits<double>::denorm_min();
    const struct {
        const char* text;
        int32_t whole;
    } ints[] = {{"+3", 3}, {"  -17\t", -17}, {"2.5", 0}, {"1e5", 0}, {"909,309", 0}, {"2147483647", 2147483647},
                {"-2147483648", INT32_MIN}, {"2147483648", 0}, {"99999999999999999999999", 0}, {"", 0}, {"- 5", 0}};
    for (const auto& c : ints)
        EXPECT_EQ(toInt32(c.text), c.whole) << c.text;
    bool ok = true;
    toInt32("abc", &ok);
    EXPECT_FALSE(ok);
    toInt32(" 007 ", &ok);
    EXPECT_TRUE(ok);
    // Overflow gives an infinity; underflow the smallest subnormal with its
    // sign, never 0; subnormals stay as parsed; other words read as 0.
    const struct {
        const char* text;
        double value;
    } reals[] = {{"0.001", 0.001}, {" 1E-8 ", 1e-8}, {"+.5", 0.5}, {"5.", 5.0}, {"-INF", -inf}, {"infinity", 0},
                 {"nan(1)", 0},    {"0x10", 0},      {"--5", 0},   {"1e", 0},   {"NA", 0},      {"", 0},
                 {"1e400", inf},   {"1e-400", tiny}, {"-1e-400", -tiny},        {"1e-310", 1e-310}, {"0e-400", 0}};
    for (const auto& c : reals)
        EXPECT_EQ(toDouble(c.text), c.value) << c.text;
    EXPECT_TRUE(std::isnan(toDouble("-nan")));
    EXPECT_TRUE(std::signbit(toDouble("-0")));
}

TEST(Conversions, FastPathMatchesReferenceOnGeneratedFields)
{
    std::mt19937 rng(12345);
    const std::vector<std::string> pieces = {"0", "1", "7", "9", "12", "000", ".", "e", "E", "+", "-", " ", "\t",
                                             "nan", "NaN", "inf", "INF", "x", ",", "2147483647", "2147483648",
                                             "99999999999", "e-400", "e400", "e-05", "3", "5", "-2147483648", "NA"};
    for (int n = 0; n < 200000; ++n) {
        std::string s;
        const int parts = static_cast<int>(rng() % 5);
        for (int k = 0; k < parts; ++k)
            s += pieces[rng() % pieces.size()];
        ASSERT_EQ(toInt32(s), refInt(s)) << "integer text '" << s << "'";
        ASSERT_TRUE(sameDouble(toDouble(s), refDouble(s))) << "real text '" << s << "': " << toDouble(s) << " vs "
                                                           << refDouble(s);
    }
}

// Printed doubles of every magnitude and precision read back exactly as the
// C library reads them (the fast path and the full parser agree).
TEST(Conversions, PrintedNumbersReadBackLikeStrtod)
{
    std::mt19937_64 rng(11);
    char text[64];
    for (int n = 0; n < 300000; ++n) {
        const double x = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 140) - 120);
        const int digits = 1 + static_cast<int>(rng() % 19);
        std::snprintf(text, sizeof text, n % 2 ? "%.*g" : "%.*e", digits, x);
        ASSERT_TRUE(sameDouble(toDouble(text), std::strtod(text, nullptr))) << text;
        std::snprintf(text, sizeof text, "%.*f", digits, x);
        ASSERT_TRUE(sameDouble(toDouble(text), std::strtod(text, nullptr))) << text;
    }
}
