// Where a raw dump belongs (-FB): its byte order, told by the words that
// only code has, and the address of its first byte, told by the addresses
// that the code forms (lui pairs, jal targets) and the words of its data
// where they land on string starts and function starts.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

// Words that only code has, counted in one byte order.
struct order_evidence {
    uint32_t returns = 0; // jr $ra
    uint32_t frames = 0;  // addiu $sp,$sp,n and sw/lw $ra,n($sp)
    uint32_t total() const { return returns + frames; }
};

// A load address and what lands where with the image placed there.
struct base_candidate {
    uint32_t base = 0;
    uint32_t lui_strings = 0;       // lui pairs on string starts
    uint32_t pointer_strings = 0;   // data words on string starts
    uint32_t jal_functions = 0;     // jal targets on function starts
    uint32_t lui_functions = 0;     // lui pairs on function starts
    uint32_t pointer_functions = 0; // data words on function starts
    uint32_t score() const {
        return lui_strings + pointer_strings + jal_functions + lui_functions + pointer_functions;
    }
};

// Why nothing can be found, or none.
enum class base_obstacle : uint8_t {
    none,
    empty,     // no byte
    too_short, // fewer than base_finding_minimum bytes
    one_byte,  // every byte the same
    no_order,  // the code does not tell the byte order
    not_clear, // no candidate stands clearly above the rest
};

// The fewest bytes worth reading.
constexpr uint32_t base_finding_minimum = 512;
// Candidates shown.
constexpr int shown_candidates = 5;

struct base_finding {
    uint64_t size = 0;   // bytes read
    uint8_t byte = 0;    // the one byte of a file of one repeated byte
    bool forced = false; // -LE gave the byte order
    bool little = false;
    order_evidence big_words, little_words;
    std::array<base_candidate, shown_candidates> candidates{};
    int count = 0; // candidates found, best first
    base_obstacle obstacle = base_obstacle::none;
};

// Reads the input from its first byte and finds where it belongs; the
// byte order is forced to little-endian when force_little is set.
base_finding find_base(FILE* input, bool force_little);

// Writes the finding to the output: the byte order and its evidence, the
// candidates best first and the command line that lists the file at the
// best one, or a line that says why nothing can be found.
void write_base_finding(const base_finding& finding, const char* path);
