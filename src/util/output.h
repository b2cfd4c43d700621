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
// The same digits put at to (at most 32 of them); returns their end. For
// writers that compose a line or a piece of one before writing it.
inline char* put_hex_digits(char* to, uint32_t value, int min_digits) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value & 15];
        value >>= 4;
    } while (value != 0);
    if (min_digits > 32) min_digits = 32;
    for (; min_digits > n; --min_digits) *to++ = '0';
    while (n > 0) *to++ = digits[--n];
    return to;
}
// Signed decimal.
int out_decimal(int32_t value);
// Writes a text taken from the input file: escaped in HTML output
// (<, >, & and "), as it stands otherwise. Returns the unescaped length.
int out_input_text(std::string_view text);
