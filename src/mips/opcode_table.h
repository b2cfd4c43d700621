// The opcode table, matching, the instruction properties and the -t
// self-check.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

// Bits 0 to 25 of a mask word mark the operand bits; bits 26 to 31 are fixed
// in every row (the major opcode).
constexpr uint32_t OPERAND_BITS = 0x03ffffff;

// How the decoder writes a row's operands.
enum class operand_format : uint8_t {
    three_reg,      // add rd,rs,rt; shortened under -S
    three_reg_sub,  // sub rd,rs,rt; shortened, but not when rd = rt
    three_reg_full, // slt rd,rs,rt; never shortened
    shift_var,      // sllv rd,rt,rs
    shift,          // sll rd,rt,sa
    imm_signed,     // addiu rt,rs,simm with the immediate echo
    imm_unsigned,   // ori rt,rs,uimm
    lui,            // lui rt,uimm
    load_store,     // lw rt,simm(rs)
    cache,          // cache op,simm(rs)
    branch2,        // beq rs,rt,target
    branch1,        // bgez rs,target
    jump_target,    // j target
    jalr,           // jalr rd,rs
    reg_rs,         // jr rs
    reg_rd,         // mfhi rd
    two_reg,        // mult rs,rt
    code,           // break code20
    trap,           // teq rs,rt,code10
    trap_imm,       // teqi rs,simm
    sync,           // sync stype
    cp0_move,       // mfc0 rt,Rrd.sel
    coprocessor,    // cop0 index
    // Only in the Release 2 table (-R2):
    no_operands,       // eret
    wait_code,         // wait, or wait code when the code (bits 6 to 24) is not 0
    reg_rt,            // di rt
    rd_rt,             // rdpgpr rd,rt; seb, seh, wsbh rd,rt
    clz,               // clz rd,rs
    rdhwr,             // rdhwr rt,$rd
    ext,               // ext rt,rs,pos,size: pos = sa, size = rd + 1
    ins,               // ins rt,rs,pos,size: pos = sa, size = rd + 1 - sa (signed)
    synci,             // synci simm(rs)
    gpr_movcf,         // movf rd,rs,$fccN (N bits 18 to 20)
    cp0_move_select,   // mfc0 rt,Rrd.sel with the Release 2 names of rd and sel under -c
    load_store_fpu,    // lwc1 $ft,simm(rs)
    fpu_three,         // add.s $fd,$fs,$ft
    fpu_two,           // abs.s $fd,$fs
    fpu_compare,       // c.eq.s [$fccN,]$fs,$ft (N bits 8 to 10, shown when not 0)
    fpu_branch,        // bc1t [$fccN,]target (N bits 18 to 20, shown when not 0)
    fpu_movcf,         // movf.s $fd,$fs,$fccN (N bits 18 to 20)
    fpu_movzn,         // movz.s $fd,$fs,rt
    fpu_gpr_move,      // mfc1 rt,$fs
    fpu_control,       // cfc1 rt,$fs as $N
    fpu_indexed_load,  // lwxc1 $fd,rt(rs)
    fpu_indexed_store, // swxc1 $fs,rt(rs)
    prefx,             // prefx hint,rt(rs): hint in bits 11 to 15
    fpu_madd,          // madd.s $fd,$fr,$fs,$ft (fr bits 21 to 25)
    alnv_ps,           // alnv.ps $fd,$fs,$ft,rs
};

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
// The properties that the opcode fields alone tell (the major opcode, and the
// function field of a SPECIAL word): a word with another value in a fixed
// field of its row still counts as that jump or branch.
constexpr uint16_t by_opcode = jump | branch | extends;
} // namespace property

struct opcode_entry {
    std::string_view name; // the mnemonic
    uint32_t match;        // value of every non-operand bit
    uint32_t mask;         // operand bits (0 to 25) and the format class (26 to 31)
    operand_format format; // how the operands are written
    uint16_t properties;   // bits of namespace property
};

constexpr int opcode_count = 133;
// The default table.
extern const std::array<opcode_entry, opcode_count> opcode_table;
// The table in use: the Release 2 table under -R2, else the default one.
std::span<const opcode_entry> active_opcode_table();

// True when entry e accepts word w: every non-operand bit equals e's match.
constexpr bool opcode_accepts(const opcode_entry& e, uint32_t w) {
    return (w & ~(e.mask & OPERAND_BITS)) == e.match;
}

// Index of the first entry of the table in use that accepts w, or -1. Uses a
// prebuilt index.
int find_opcode(uint32_t w);
// That entry, or null.
const opcode_entry* find_entry(uint32_t w);
// The same answer by a plain scan of the table in order (reference for tests).
int find_opcode_by_scan(uint32_t w);

// The by_opcode properties that every row of a major opcode has (entry 0:
// none; SPECIAL words are told apart by their function field).
extern const std::array<uint16_t, 64> major_properties;
// The same for the function fields of SPECIAL words.
extern const std::array<uint16_t, 64> special_properties;

// The major opcodes all of whose rows are jumps, and those all of whose rows
// extend functions, as masks with bit m for major opcode m: a word's test is
// a shift, for the loops that ask it of every word. The table file checks
// them against major_properties.
constexpr uint64_t jump_majors = uint64_t{0x3} << 2;                          // j, jal
constexpr uint64_t extends_majors = uint64_t{0xf} << 4 | uint64_t{0xf} << 20; // beq ... bgtzl
// True when the major opcode of w is one of majors.
constexpr bool major_in(uint64_t majors, uint32_t w) {
    return (majors >> (w >> 26) & 1) != 0;
}

// The by_opcode properties of any word, decoded or not.
inline uint16_t opcode_properties(uint32_t w) {
    return w >> 26 == 0 ? special_properties[w & 63] : major_properties[w >> 26];
}
// The properties of a word: its row's, or for a word no row accepts, those its
// opcode fields tell.
inline uint16_t word_properties(uint32_t w) {
    const opcode_entry* e = find_entry(w);
    return e != nullptr ? e->properties : opcode_properties(w);
}

// Checks the table and prints its coverage to the current output stream.
void opcode_selftest();
// The self-check over any list of entries (opcode_selftest passes the table).
void check_opcode_entries(std::span<const opcode_entry> entries);
