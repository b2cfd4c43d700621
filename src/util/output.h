// Writers of listing text to the current output stream (settings.output).
// The hot path formats by hand; every byte equals what printf would write.
#pragma once

#include <cstdint>
#include <string_view>

// Writes one character.
void out_char(char c);
// Writes a text as it stands; returns its length.
int out_text(std::string_view text);
// printf to the current output; returns the number of characters written.
int out_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Lower-case hexadecimal with at least min_digits digits (zero padded).
int out_hex(uint32_t value, int min_digits);
// The same digits put at to (at most 32 of them), padded in front with pad
// rather than '0' when given; returns their end. The one hexadecimal writer:
// every other writer of hexadecimal text composes with it.
inline char* put_hex_digits(char* to, uint32_t value, int min_digits, char pad = '0') {
    constexpr char digit_chars[] = "0123456789abcdef";
    if (min_digits == 8 && pad == '0') { // addresses and words, twice a line
        // The eight nibbles spread to the eight bytes of x, the highest in
        // the lowest byte; each becomes '0' + n, or 'a' + n - 10 from 10 on.
        uint64_t x = value;
        x = (x | x << 16) & 0x0000ffff0000ffffu;
        x = (x | x << 8) & 0x00ff00ff00ff00ffu;
        x = (x | x << 4) & 0x0f0f0f0f0f0f0f0fu;
        const uint64_t letters = (x + 0x0606060606060606u) >> 4 & 0x0101010101010101u;
        x += 0x3030303030303030u + letters * ('a' - '0' - 10);
        for (int i = 7; i >= 0; --i) *to++ = static_cast<char>(x >> (8 * i));
        return to;
    }
    char digits[8];
    int n = 0;
    do {
        digits[n++] = digit_chars[value & 15];
        value >>= 4;
    } while (value != 0);
    if (min_digits > 32) min_digits = 32;
    for (; min_digits > n; --min_digits) *to++ = pad;
    while (n > 0) *to++ = digits[--n];
    return to;
}
// "%d" of value put at to (at most 11 characters); returns the end.
inline char* put_decimal(char* to, int32_t value) {
    char digits[10];
    int n = 0;
    uint32_t magnitude =
        value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *to++ = '-';
    while (n > 0) *to++ = digits[--n];
    return to;
}
// Signed decimal.
int out_decimal(int32_t value);
// Writes a text taken from the input file: escaped in HTML output
// (<, >, & and "), as it stands otherwise. Returns the unescaped length.
int out_input_text(std::string_view text);
