// Operand syntax, register names and pseudo-instructions: the text of an
// instruction line.
#pragma once

#include <cstdint>

#include "mips/decode.h"

// Writes mnemonic, operands, padding and displays of instruction d, then ends
// the line through end_instruction_line.
void write_instruction(const decoded_instruction& d);
// Decodes word at address by the table in use and writes it.
void decode_instruction(uint32_t address, uint32_t word);
// Text of register x by the naming options; valid during the next four calls.
const char* register_name(int x);
// Back to the state at program start (the rotating register-name slots).
void reset_decoder();
