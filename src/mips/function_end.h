// The function-end rule: a jr $ra ends a function unless a short forward
// branch seen before it jumps past it.
#pragma once

#include <cstdint>

#include "mips/decode.h"

constexpr uint32_t jr_ra = 0x03e00008;
// jr.hb $ra, which ends a function as jr $ra does where the table has it
// (Release 2).
constexpr uint32_t jr_hb_ra = 0x03e00408;

// True for the instruction that returns from a function: jr $ra, and jr.hb
// $ra when its table decodes it.
inline bool is_function_return(const decoded_instruction& d) {
    return d.word == jr_ra || (d.word == jr_hb_ra && d.row != nullptr);
}

// One instruction of the function-end rule: a forward branch that extends
// functions (fewer than `extension` words on) raises limit to its target; a
// jr $ra at or past the limit ends the function. Returns whether d ends it.
// Data words count as what their opcode says, as the rule has always read
// them.
inline bool function_end_step(uint32_t& limit, const decoded_instruction& d, int32_t extension) {
    if (extension > 1 && (d.properties & property::extends) != 0 && d.offset > 0 &&
        d.offset < extension && d.target > limit)
        limit = d.target;
    return is_function_return(d) && d.address >= limit;
}
