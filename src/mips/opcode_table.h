// The opcode table, matching, the instruction properties and the -t
// self-check.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "mips/operand_syntax.h"
#include "util/run_settings.h"

// Bits 0 to 25 of a mask word mark the operand bits; bits 26 to 31 are fixed
// in every row (the major opcode).
constexpr uint32_t OPERAND_BITS = 0x03ffffff;

// The instruction sets, each a table of its own: the default one and the
// MIPS32 Release 2 one with the FPU (-R2).
enum class instruction_set : uint8_t { mips32, release2 };

// The bits of opcode_entry::sets: the tables that hold a row.
constexpr uint8_t in_mips32 = 1 << static_cast<int>(instruction_set::mips32);
constexpr uint8_t in_release2 = 1 << static_cast<int>(instruction_set::release2);
constexpr uint8_t in_both = in_mips32 | in_release2;

// Properties of an instruction: the bits of opcode_entry::properties.
namespace property {
constexpr uint16_t none = 0;
constexpr uint16_t jump = 0x0001;      // j, jal, jr, jalr
constexpr uint16_t branch = 0x0002;    // a conditional branch
constexpr uint16_t extends = 0x0004;   // a branch that a function-end jr $ra may lie under:
                                       // beq, bne, blez, bgtz and their likely forms
constexpr uint16_t load = 0x0008;      // reads memory
constexpr uint16_t store = 0x0010;     // writes memory
constexpr uint16_t coloured = 0x0020;  // -H colours it: blue a jump or branch, green a load,
                                       // red a store
constexpr uint16_t base_rs = 0x0040;   // the lui look-back follows its rs, a base or source
constexpr uint16_t writes_rt = 0x0080; // the look-back sees it write rt
constexpr uint16_t writes_rd = 0x0100; // the look-back sees it write rd
constexpr uint16_t move = 0x0200;      // -P writes it as "move" when a source is $0
constexpr uint16_t data = 0x0400;      // its offset from $gp or $s7 is shown as data
constexpr uint16_t links = 0x0800;     // writes a return address: jal, jalr, bltzal, bgezal, ...
// -S leaves out the second operand when it names the register of the first,
// and with short_second, failing that, the third one.
constexpr uint16_t short_first = 0x1000;
constexpr uint16_t short_second = 0x2000;
// The properties that the opcode fields alone tell (the major opcode, and the
// function field of a SPECIAL word): a word with another value in a fixed
// field of its row still counts as that jump or branch.
constexpr uint16_t by_opcode = jump | branch | extends | links;
} // namespace property

// What an instruction does, as the passes that follow code ask it.
enum class instruction_kind : uint8_t {
    other,           // computes, moves, traps, or no instruction at all
    jump,            // j: to its target
    call,            // jal: to its target, with a return address
    jump_register,   // jr: to the address in a register
    call_register,   // jalr: the same with a return address
    branch,          // a conditional branch to its target
    branch_and_link, // bltzal, bgezal and their likely forms
    load,            // reads memory
    store,           // writes memory
};

struct opcode_entry {
    std::string_view name;   // the mnemonic
    uint32_t match;          // value of every non-operand bit
    uint32_t mask;           // operand bits (0 to 25) and the format class (26 to 31)
    operand_syntax operands; // the operands, in the manual's field names
    uint16_t properties;     // bits of namespace property
    uint8_t sets = in_both;  // the tables that hold the row (in_mips32, in_release2)
    // Derived from the columns above as the tables are built: what kind_of
    // tells, and the syntax's place in operand_syntaxes.
    instruction_kind kind = instruction_kind::other;
    uint8_t syntax_index = 0;
};

// The kind that properties tell, for a row whose operands do or do not name
// a jump target in the word.
constexpr instruction_kind kind_of(uint16_t p, bool jump_to_index) {
    using namespace property;
    if (p & jump) {
        if (!jump_to_index)
            return p & links ? instruction_kind::call_register : instruction_kind::jump_register;
        return p & links ? instruction_kind::call : instruction_kind::jump;
    }
    if (p & branch) return p & links ? instruction_kind::branch_and_link : instruction_kind::branch;
    if (p & load) return instruction_kind::load;
    if (p & store) return instruction_kind::store;
    return instruction_kind::other;
}

constexpr int opcode_count = 133;
// The default table.
extern const std::array<opcode_entry, opcode_count> opcode_table;
// The table of an instruction set.
std::span<const opcode_entry> opcode_table_of(instruction_set set);
// The instruction set in use: Release 2 under -R2, else the default one.
inline instruction_set active_instruction_set() {
    return has_flag(flag::release2) ? instruction_set::release2 : instruction_set::mips32;
}
// The table in use.
inline std::span<const opcode_entry> active_opcode_table() {
    return opcode_table_of(active_instruction_set());
}

// True when entry e accepts word w: every non-operand bit equals e's match.
constexpr bool opcode_accepts(const opcode_entry& e, uint32_t w) {
    return (w & ~(e.mask & OPERAND_BITS)) == e.match;
}

// Index of the first entry of the table in use that accepts w, or -1. Uses a
// prebuilt index.
int find_opcode(uint32_t w);
// The first entry of the table of set that accepts w, or null.
const opcode_entry* find_entry(uint32_t w, instruction_set set);
// The same answer by a plain scan of the table in order (reference for tests).
int find_opcode_by_scan(uint32_t w);

// The by_opcode properties that every row of a major opcode has (entry 0:
// none; SPECIAL words are told apart by their function field).
extern const std::array<uint16_t, 64> major_properties;
// The same for the function fields of SPECIAL words.
extern const std::array<uint16_t, 64> special_properties;

// The words that may change the flow of control: bit m of flow_majors for
// the major opcodes, and of flow_functions for the function fields of SPECIAL
// words, that have a jump or a branch among their rows in either table. A
// pass that only follows the flow of control decodes these words and passes
// over the others, which every table decodes as neither. The table file
// checks both against the rows.
//   000001  REGIMM         00001x  j, jal      0001xx  beq, bne, blez, bgtz
//   010001  COP1 (bc1f)    0101xx  beql, bnel, blezl, bgtzl
//   000000 ... 00100x  jr, jalr
constexpr uint64_t flow_majors = 0x0000000000f200fe;
constexpr uint64_t flow_functions = 0x0000000000000300;
constexpr bool may_change_flow(uint32_t w) {
    const uint64_t bits = w >> 26 == 0 ? flow_functions >> (w & 63) : flow_majors >> (w >> 26);
    return (bits & 1) != 0;
}

// The by_opcode properties of any word, decoded or not.
inline uint16_t opcode_properties(uint32_t w) {
    return w >> 26 == 0 ? special_properties[w & 63] : major_properties[w >> 26];
}
// The properties of a word in the table in use: its row's, or for a word no
// row accepts, those its opcode fields tell.
inline uint16_t word_properties(uint32_t w) {
    const opcode_entry* e = find_entry(w, active_instruction_set());
    return e != nullptr ? e->properties : opcode_properties(w);
}

// Checks the table and prints its coverage to the current output stream.
void opcode_selftest();
// The self-check over any list of entries (opcode_selftest passes the table).
void check_opcode_entries(std::span<const opcode_entry> entries);
