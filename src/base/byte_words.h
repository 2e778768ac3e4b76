// Eight bytes of text as one 64-bit word, the first byte in the lowest
// bits on any host, for the parsers that test eight bytes at a time.
#pragma once
#include <cstdint>
#include <cstring>

inline uint64_t littleEndianWord(const char* p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    return w;
}
