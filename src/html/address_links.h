// The address printer: an address as a name or a number, linked to its place
// in the pages in HTML output.
#pragma once

#include <cstdint>

// Writes the name, or "0x%x" of the address; linked to its page in HTML
// output. escape_name: the name came from the input file.
void print_address(uint32_t address, const char* name, bool escape_name = false);
