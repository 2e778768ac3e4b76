// Whole numbers as people read them: digits in groups of three.
#pragma once
#include <cstdint>
#include <string>

// 1234567 -> "1,234,567"; -1234 -> "-1,234".
std::string groupDigits(int64_t n);
