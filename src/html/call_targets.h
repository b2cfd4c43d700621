// The call-target table: how often each jump target occurs in the listing.
#pragma once

#include <array>
#include <cstdint>

constexpr int call_target_capacity = 10000;

struct call_target {
    uint32_t address; // the target address
    int32_t count;    // occurrences in the listing
    int32_t symbol;   // index of the linked symbol-table entry, -1 when none
};

extern std::array<call_target, call_target_capacity> call_targets;
extern int call_target_count;

// Counts one occurrence of a jump target; a new target is dropped silently
// once the table is full, while known ones keep counting.
void record_call_target(uint32_t address);
// Links each target to the last symbol-table entry at its address.
void link_call_targets();
// Sorts the targets by address, highest first.
void sort_call_targets();
// Empties the table (for tests; the program never calls it).
void reset_call_targets();
