// The function-end rule: a jr $ra ends a function unless a short forward
// conditional branch seen before it jumps past it.
#pragma once

#include <cstdint>

constexpr uint32_t jr_ra = 0x03e00008;

// 0?01xx ...   beq, bne, blez, bgtz and their likely forms (primary opcodes
// 4 to 7 and 20 to 23); other branches and jumps do not extend a function.
inline bool is_conditional_branch(uint32_t w) {
    return (w & 0xb0000000) == 0x10000000;
}

// One word of the function-end rule: a short forward conditional branch (fewer
// than `extension` words on) raises limit to its target; a jr $ra at or past
// the limit ends the function. Returns whether w at a ends it.
inline bool function_end_step(uint32_t& limit, uint32_t a, uint32_t w, int32_t extension) {
    if (extension > 1 && is_conditional_branch(w)) {
        int32_t d = static_cast<int16_t>(w & 0xffff);
        if (d > 0 && d < extension) {
            uint32_t target = a + 4 + 4 * static_cast<uint32_t>(d);
            if (target > limit) limit = target;
        }
    }
    return w == jr_ra && a >= limit;
}
