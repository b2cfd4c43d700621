// The function-end rule: a jr $ra ends a function unless a short forward
// branch seen before it jumps past it.
#pragma once

#include <cstdint>

#include "mips/fields.h"
#include "mips/opcode_table.h"
#include "util/run_settings.h"

constexpr uint32_t jr_ra = 0x03e00008;
// jr.hb $ra, which ends a function as jr $ra does under -R2.
constexpr uint32_t jr_hb_ra = 0x03e00408;

// True for the word that returns from a function: jr $ra, and under -R2 also
// jr.hb $ra.
inline bool is_function_return(uint32_t w) {
    return w == jr_ra || (w == jr_hb_ra && has_flag(flag::release2));
}

// One word of the function-end rule: a forward branch that extends functions
// (fewer than `extension` words on) raises limit to its target; a jr $ra at
// or past the limit ends the function. Returns whether w at a ends it. Data
// words count as what their opcode says, as the rule has always read them.
inline bool function_end_step(uint32_t& limit, uint32_t a, uint32_t w, int32_t extension) {
    if (extension > 1 && major_in(extends_majors, w)) {
        int32_t d = simm(w);
        if (d > 0 && d < extension) {
            uint32_t target = a + 4 + 4 * static_cast<uint32_t>(d);
            if (target > limit) limit = target;
        }
    }
    return is_function_return(w) && a >= limit;
}
