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
        for (int shift = 28; shift >= 0; shift -= 4) *to++ = digit_chars[(value >> shift) & 15];
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
