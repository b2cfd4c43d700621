// Labels, function ends and data lines.
#pragma once

#include <cstdint>

#include "mips/function_end.h"

// Modes of function_end_check.
namespace end_check {
constexpr int reset = 0;
constexpr int track = 1;
constexpr int query = 2;
constexpr int track_query = 3;
} // namespace end_check

// How show_labels writes the names it finds.
enum class label_mode { label, value, comment };

// Address of the last label or function-start brace line; 0 before the first.
extern uint32_t last_label_address;

// Tracks short forward branches and tells whether word w at a ends a function.
int function_end_check(int mode, uint32_t a, uint32_t w);
// Tracks word w at a, of which d is the decoded instruction; null: w is
// decoded here if it needs to be.
void function_end_track(uint32_t a, uint32_t w, const decoded_instruction* d);
// Writes the names at address a in the given mode; returns how many it wrote.
int show_labels(uint32_t a, label_mode mode);
// Back to the state at program start (for tests; the program never calls it).
void reset_labels();
