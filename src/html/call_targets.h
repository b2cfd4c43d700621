// The call-target table: how often each jump target occurs in the listing.
#pragma once

#include <array>
#include <cstdint>

constexpr int call_target_capacity = 10000;

struct call_target {
    uint32_t address; // the target address
    int32_t count;    // occurrences in the listing
    int32_t symbol;   // index of the linked symbol-table entry, -1 when none
    int32_t calls;    // of the occurrences, those that call (-X: jal, bal, jalr)
};

extern std::array<call_target, call_target_capacity> call_targets;
extern int call_target_count;

// Counts one occurrence of a jump target, a call when call is set; a new
// target is dropped silently once the table is full, while known ones keep
// counting.
void record_call_target(uint32_t address, bool call = false);
// Links each target to the last symbol-table entry at its address.
void link_call_targets();
// Sorts the targets by address, highest first.
void sort_call_targets();
// Sorts the targets by their count of calls (call set) or of plain jumps,
// highest first, then by address.
void sort_call_targets_by_count(bool call);
// Empties the table (for tests; the program never calls it).
void reset_call_targets();
