// Shows the memory at an address: names, text in quotes, or a pointer chain.
#pragma once

#include <cstdint>

// plain and function_pointer start a chain; the other two continue one
// (after_function_pointer: the level behind a function-pointer table entry).
enum class display_mode { plain, function_pointer, after_function_pointer, chain };

// Address reached at the second level of the current instruction's display.
extern uint32_t followed_pointer;

// Writes the display of address a (no newline); restores the input position.
void data_display(uint32_t a, bool from_operand, display_mode mode);
// Clears followed_pointer and the chain state (for tests; the program never
// calls it).
void reset_data_display();
