// The byte order of the input. A word is 4 consecutive bytes, the first the
// most significant, unless the little_endian flag is set (-LE, or a
// little-endian object); then the first is the least significant. Every
// reader and writer of the input's words and half-words goes through here.
#pragma once

#include <cstdint>

#include "util/run_settings.h"

// The value of the n bytes (at most 4) at bytes in the input's byte order.
inline uint32_t ordered_value(const unsigned char* bytes, int n) {
    uint32_t value = 0;
    if (has_flag(flag::little_endian)) {
        for (int i = n - 1; i >= 0; --i) value = value << 8 | bytes[i];
    } else {
        for (int i = 0; i < n; ++i) value = value << 8 | bytes[i];
    }
    return value;
}

// The value of the n bytes (at most 4) at bytes in the order given, little
// or big endian, whatever the input's is: for files of their own order.
inline uint32_t ordered_value(const unsigned char* bytes, int n, bool little) {
    uint32_t value = 0;
    if (little) {
        for (int i = n - 1; i >= 0; --i) value = value << 8 | bytes[i];
    } else {
        for (int i = 0; i < n; ++i) value = value << 8 | bytes[i];
    }
    return value;
}

// Byte i (in file order) of the n-byte value in the input's byte order.
inline unsigned char ordered_byte(uint32_t value, int n, int i) {
    int shift = has_flag(flag::little_endian) ? 8 * i : 8 * (n - 1 - i);
    return static_cast<unsigned char>(value >> shift);
}

// Writes value as n bytes in the input's byte order.
inline void put_ordered(unsigned char* bytes, int n, uint32_t value) {
    for (int i = 0; i < n; ++i) bytes[i] = ordered_byte(value, n, i);
}

// A word of 4 input bytes in file order.
inline uint32_t assemble_word(const unsigned char bytes[4]) {
    return ordered_value(bytes, 4);
}
