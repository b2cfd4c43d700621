// Operand formats, register names and pseudo-instructions.
#pragma once

#include <cstdint>

// Writes mnemonic, operands, padding and displays of one instruction, then
// ends the line through end_instruction_line.
void decode_instruction(uint32_t address, uint32_t word);
// Text of register x by the naming options; valid during the next four calls.
const char* register_name(int x);
// Back to the state at program start (the rotating register-name slots).
void reset_decoder();
