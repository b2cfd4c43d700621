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
// Signed decimal.
int out_decimal(int32_t value);
// Writes a text taken from the input file: escaped in HTML output
// (<, >, & and "), as it stands otherwise. Returns the unescaped length.
int out_input_text(std::string_view text);
