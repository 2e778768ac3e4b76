// The one formatter for every real number the tool writes (report fields, the
// two-number texts, the "inlimit = " line): C's "%g" with 6 significant digits,
// independent of the process locale.
#pragma once
#include <string>

// Appends x to out as "%g" would write it in the C locale, except that every
// not-a-number is written "nan" whatever its sign bit.
void appendReal(std::string& out, double x);
std::string formatReal(double x);
