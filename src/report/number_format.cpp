// "%g"-style real formatting. std::to_chars with a precision is defined as
// printf in the C locale, so ties round to even exactly as C does and the
// decimal separator is always a point.
#include "report/number_format.h"

#include <charconv>
#include <cmath>

void appendReal(std::string& out, double x)
{
    if (std::isnan(x)) {
        out += "nan";
        return;
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 6);
    out.append(buf, r.ptr);
}

std::string formatReal(double x)
{
    std::string s;
    appendReal(s, x);
    return s;
}
