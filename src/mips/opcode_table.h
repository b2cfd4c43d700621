// The opcode table, matching, and the -t self-check.
#pragma once

#include <array>
#include <cstdint>

constexpr uint32_t OPERAND_BITS = 0x03ffffff;
constexpr int opcode_count = 133;

struct opcode_entry {
    char name[8];   // mnemonic, NUL padded
    uint32_t match; // value of every non-operand bit
    uint32_t mask;  // operand bits (0 to 25) and format class (26 to 31)
};

extern const std::array<opcode_entry, opcode_count> opcode_table;

// Index of the first entry that accepts w, or -1.
int find_opcode(uint32_t w);
// Checks the table and prints its coverage to the current output stream.
void opcode_selftest();
