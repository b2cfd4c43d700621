// The end of an instruction line: map comments, special comments, newline.
#pragma once

#include <cstdint>

// Writes the comments of the line at address a with word w, then the newline.
// properties: those of w's opcode-table row (word_properties).
void end_instruction_line(uint32_t a, uint32_t w, uint16_t properties);
// The same with the properties looked up.
void end_instruction_line(uint32_t a, uint32_t w);
// Register that w uses as base (d = 0) or writes (d >= 1); 32 for none, -1 to
// end the look-back. May set the sequence_unsafe flag.
int sequence_register(uint32_t w, int d);
// Back to the state at program start: comment cursor, lw record and the $s7
// set-up recogniser (for tests; the program never calls it).
void reset_line_end();
