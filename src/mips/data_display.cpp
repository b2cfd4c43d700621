#include "mips/data_display.h"

uint32_t followed_pointer = 0;

void data_display(uint32_t, bool, display_mode) {}
