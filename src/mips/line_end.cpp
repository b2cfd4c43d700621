#include "mips/line_end.h"

void end_instruction_line(uint32_t, uint32_t) {}
int sequence_register(uint32_t, int) { return -1; }
