// A word decoded into a value: what the instruction is, where it goes, what
// it reads and writes. Decoding writes nothing and keeps no state; the
// listing writes its lines from these values, and the passes that only need
// to know (the HTML pre-pass, the look-backs) read them.
#pragma once

#include <cstdint>

#include "mips/fields.h"
#include "mips/opcode_table.h"

struct decoded_instruction {
    const opcode_entry* row; // the row that accepts the word; null for none
    uint32_t word;           // the instruction word, host order
    uint32_t address;        // where it lies
    uint32_t target;         // jump or branch target; 0 when the word gives none
    int32_t offset;          // the signed 16-bit immediate: offset, branch distance
    uint16_t properties;     // the row's; for no row, those the opcode fields tell
    instruction_kind kind;   // what it does
    uint8_t length;          // bytes: 4
    uint8_t rs, rt, rd, sa;  // the register and shift fields
    int8_t base;             // base register of its memory operand; -1 for none
    int8_t writes;           // the register the row says it writes; -1 for none
    bool has_target;         // a jump or branch whose word gives its target
};

// The record of word w at address a that row accepts (null: none does).
inline decoded_instruction decoded_from(uint32_t a, uint32_t w, const opcode_entry* row) {
    decoded_instruction d;
    d.row = row;
    d.word = w;
    d.address = a;
    d.offset = simm(w);
    d.length = 4;
    d.rs = static_cast<uint8_t>(rs(w));
    d.rt = static_cast<uint8_t>(rt(w));
    d.rd = static_cast<uint8_t>(rd(w));
    d.sa = static_cast<uint8_t>(sa(w));
    if (row != nullptr) {
        const uint16_t p = row->properties;
        d.properties = p;
        d.kind = row->kind;
        d.base = row->operands.has(operand_field::base) ? static_cast<int8_t>(d.rs) : -1;
        d.writes = p & property::writes_rt   ? static_cast<int8_t>(d.rt)
                   : p & property::writes_rd ? static_cast<int8_t>(d.rd)
                                             : -1;
    } else {
        // The words of the jump and branch opcodes that no row accepts: jr
        // and jalr with a hint, blez and bgtz with rt not 0, ...
        d.properties = opcode_properties(w);
        d.kind = kind_of(d.properties, false);
        d.base = -1;
        d.writes = -1;
    }
    const uint32_t next = a + 4;
    switch (d.kind) {
    case instruction_kind::jump:
    case instruction_kind::call:
        d.has_target = true;
        d.target = (next & 0xf0000000) | jump_index(w) << 2;
        break;
    case instruction_kind::branch:
    case instruction_kind::branch_and_link:
        d.has_target = true;
        d.target = next + static_cast<uint32_t>(d.offset) * 4;
        break;
    default: d.has_target = false; d.target = 0;
    }
    return d;
}

// Decodes word w at address a by the table of set. (Inline: a pass that reads
// a few of the fields costs no more than those.)
inline decoded_instruction decode_word(uint32_t a, uint32_t w, instruction_set set) {
    return decoded_from(a, w, find_entry(w, set));
}

// The same by the table in use.
inline decoded_instruction decode_word(uint32_t a, uint32_t w) {
    return decode_word(a, w, active_instruction_set());
}

// True when d was decoded by a row of the given name.
inline bool is_row(const decoded_instruction& d, std::string_view name) {
    return d.row != nullptr && d.row->name == name;
}
