// Operand syntax, register names and pseudo-instructions: the text of an
// instruction line.
#pragma once

#include <cstdint>

#include "mips/decode.h"
#include "util/output.h"

// The address and raw-word columns of a line, "\t%08x:    %08x\t": puts
// them at to.
constexpr int word_prefix_length = 23;
inline void put_word_prefix(char* to, uint32_t address, uint32_t word) {
    *to++ = '\t';
    to = put_hex_digits(to, address, 8);
    for (int i = 0; i < 5; ++i) *to++ = i == 0 ? ':' : ' ';
    to = put_hex_digits(to, word, 8);
    *to = '\t';
}
// Writes mnemonic, operands, padding and displays of instruction d, after
// its address and raw-word columns when with_columns is set; then ends the
// line through end_instruction_line.
void write_instruction(const decoded_instruction& d, bool with_columns = false);
// Decodes word at address by the table in use and writes it.
void decode_instruction(uint32_t address, uint32_t word);
// Text of register x by the naming options; valid during the next four calls.
const char* register_name(int x);
// Back to the state at program start (the rotating register-name slots).
void reset_decoder();
