// The fields of an instruction word (bit 0 is the least significant):
//   31..26 major  25..21 rs  20..16 rt  15..11 rd  10..6 sa  5..0 funct
//   15..0 uimm / simm   25..0 index   2..0 sel   25..6 code20   15..6 code10
#pragma once

#include <cstdint>

constexpr uint32_t major_opcode(uint32_t w) {
    return w >> 26;
}
constexpr int rs(uint32_t w) {
    return static_cast<int>(w >> 21 & 31);
}
constexpr int rt(uint32_t w) {
    return static_cast<int>(w >> 16 & 31);
}
constexpr int rd(uint32_t w) {
    return static_cast<int>(w >> 11 & 31);
}
constexpr int sa(uint32_t w) {
    return static_cast<int>(w >> 6 & 31);
}
constexpr uint32_t funct(uint32_t w) {
    return w & 63;
}
// The 16-bit immediate, zero-extended.
constexpr uint32_t uimm(uint32_t w) {
    return w & 0xffff;
}
// The 16-bit immediate, sign-extended.
constexpr int32_t simm(uint32_t w) {
    return static_cast<int16_t>(w & 0xffff);
}
// The jump index; the operand of cop0 to cop3.
constexpr uint32_t jump_index(uint32_t w) {
    return w & 0x03ffffff;
}
// The CP0 select of mfc0 and mtc0.
constexpr int sel(uint32_t w) {
    return static_cast<int>(w & 7);
}
// The code of break and syscall.
constexpr uint32_t code20(uint32_t w) {
    return w >> 6 & 0xfffff;
}
// The code of the register trap instructions.
constexpr uint32_t code10(uint32_t w) {
    return w >> 6 & 0x3ff;
}
