// The end of an instruction line: map comments, special comments, newline.
#pragma once

#include <cstdint>

#include "mips/decode.h"

// Writes the comments of the line of instruction d, then the newline.
void end_instruction_line(const decoded_instruction& d);
// The same for word w at a, decoded by the table in use.
void end_instruction_line(uint32_t a, uint32_t w);
// Takes the base value that a "$gp=" or "$s7=" comment gives.
void take_base_value(const char* comment);
// Register that w uses as base (d = 0) or writes (d >= 1); 32 for none, -1 to
// end the look-back. May set the sequence_unsafe flag.
int sequence_register(uint32_t w, int d);
// Back to the state at program start: comment cursor, lw record and the $s7
// set-up recogniser (for tests; the program never calls it).
void reset_line_end();
