// The opcode table, matching, and the -t self-check.
#pragma once

#include <array>
#include <cstdint>
#include <span>

constexpr uint32_t OPERAND_BITS = 0x03ffffff;
constexpr int opcode_count = 133;

struct opcode_entry {
    char name[8];   // mnemonic, NUL padded
    uint32_t match; // value of every non-operand bit
    uint32_t mask;  // operand bits (0 to 25) and format class (26 to 31)
};

extern const std::array<opcode_entry, opcode_count> opcode_table;

// True when entry e accepts word w: every non-operand bit equals e's match.
constexpr bool opcode_accepts(const opcode_entry& e, uint32_t w) {
    return (w & ~(e.mask & OPERAND_BITS)) == e.match;
}

// Index of the first entry that accepts w, or -1. Uses a prebuilt index.
int find_opcode(uint32_t w);
// The same answer by a plain scan of the table in order (reference for tests).
int find_opcode_by_scan(uint32_t w);
// Checks the table and prints its coverage to the current output stream.
void opcode_selftest();
// The self-check over any list of entries (opcode_selftest passes the table).
void check_opcode_entries(std::span<const opcode_entry> entries);
