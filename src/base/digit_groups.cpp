// Digit grouping on the decimal text, so every int64_t value is exact.
#include "base/digit_groups.h"

std::string groupDigits(int64_t n)
{
    const std::string digits = std::to_string(n);
    const size_t start = n < 0 ? 1 : 0;
    std::string out = digits.substr(0, start);
    const size_t count = digits.size() - start;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0)
            out += ',';
        out += digits[start + i];
    }
    return out;
}
