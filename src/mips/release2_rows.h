// The rows that the Release 2 table (-R2) adds to the default table: the
// MIPS32 Release 2 instructions the default table lacks, and the FPU, COP1
// and COP1X, in every format each instruction allows. They stand before the
// default rows, so the COP1X rows come before the cop3 catch-all.
//
// A mask is exactly the operand bits: a word with another value in a field
// the instruction leaves unused falls through to the rows after these. No
// row accepts a word of another row, nor a word that a default row other
// than the cop0, cop1 and cop3 catch-alls decodes. ssnop, ehb and pause have
// no rows of their own: they stay sll $0,$0,1, 3 and 5.
#pragma once

#include <array>

#include "mips/opcode_table.h"

namespace release2 {
using enum operand_format;
using namespace property;

// clang-format off
//   name          match       mask        format             properties
inline constexpr std::array<opcode_entry, 176> rows{{
    // SPECIAL: the jumps with a hazard barrier (hint 16), the rotates (srl with
    // bit 21 set, srlv with bit 6 set) and movf, movt on an FPU condition code
    // (cc in bits 18 to 20, tf in bit 16).
    {"jr.hb",      0x00000408, 0x03e00000, reg_rs,            jump | coloured},
    {"jalr.hb",    0x00000409, 0x03e0f800, jalr,              jump | coloured},
    {"rotr",       0x00200002, 0x001fffc0, shift,             none},
    {"rotrv",      0x00000046, 0x03fff800, shift_var,         none},
    {"movf",       0x00000001, 0x03fcf800, gpr_movcf,         none},
    {"movt",       0x00010001, 0x03fcf800, gpr_movcf,         none},
    // REGIMM: synci is rt 31.
    {"synci",      0x041f0000, 0x03e0ffff, synci,             none},
    // SPECIAL2: clz and clo write rd; rt, which GNU as sets to rd as well, is not
    // checked.
    {"clz",        0x70000020, 0x03fff800, clz,               none},
    {"clo",        0x70000021, 0x03fff800, clz,               none},
    {"sdbbp",      0x7000003f, 0x03ffffc0, code,              none},
    // SPECIAL3: ext and ins with msbd or msb in rd and lsb in sa; seb, seh and
    // wsbh (BSHFL) told apart by sa.
    {"ext",        0x7c000000, 0x03ffffc0, ext,               none},
    {"ins",        0x7c000004, 0x03ffffc0, ins,               none},
    {"seb",        0x7c000420, 0x001ff800, rd_rt,             none},
    {"seh",        0x7c000620, 0x001ff800, rd_rt,             none},
    {"wsbh",       0x7c0000a0, 0x001ff800, rd_rt,             none},
    {"rdhwr",      0x7c00003b, 0x001ff800, rdhwr,             none},
    // COP0: di and ei (MFMC0 with rd 12, sc in bit 5), the shadow register
    // moves and the CO functions; the wait code is bits 6 to 24.
    {"di",         0x41606000, 0x001f0000, reg_rt,            none},
    {"ei",         0x41606020, 0x001f0000, reg_rt,            none},
    {"rdpgpr",     0x41400000, 0x001ff800, rd_rt,             none},
    {"wrpgpr",     0x41c00000, 0x001ff800, rd_rt,             none},
    {"tlbr",       0x42000001, 0x00000000, no_operands,       none},
    {"tlbwi",      0x42000002, 0x00000000, no_operands,       none},
    {"tlbwr",      0x42000006, 0x00000000, no_operands,       none},
    {"tlbp",       0x42000008, 0x00000000, no_operands,       none},
    {"eret",       0x42000018, 0x00000000, no_operands,       none},
    {"deret",      0x4200001f, 0x00000000, no_operands,       none},
    {"wait",       0x42000020, 0x01ffffc0, wait_code,         none},
    // COP1 moves and branches (nd in bit 17, tf in bit 16).
    {"mfc1",       0x44000000, 0x001ff800, fpu_gpr_move,      none},
    {"cfc1",       0x44400000, 0x001ff800, fpu_control,       none},
    {"mfhc1",      0x44600000, 0x001ff800, fpu_gpr_move,      none},
    {"mtc1",       0x44800000, 0x001ff800, fpu_gpr_move,      none},
    {"ctc1",       0x44c00000, 0x001ff800, fpu_control,       none},
    {"mthc1",      0x44e00000, 0x001ff800, fpu_gpr_move,      none},
    {"bc1f",       0x45000000, 0x001cffff, fpu_branch,        branch},
    {"bc1t",       0x45010000, 0x001cffff, fpu_branch,        branch},
    {"bc1fl",      0x45020000, 0x001cffff, fpu_branch,        branch},
    {"bc1tl",      0x45030000, 0x001cffff, fpu_branch,        branch},
    // COP1 arithmetic, by fmt in bits 21 to 25: S 16, D 17, W 20, L 21, PS 22.
    // cvt.s.pu and cvt.s.pl are functions 32 and 40 of PS.
    {"add.s",      0x46000000, 0x001fffc0, fpu_three,         none},
    {"add.d",      0x46200000, 0x001fffc0, fpu_three,         none},
    {"add.ps",     0x46c00000, 0x001fffc0, fpu_three,         none},
    {"sub.s",      0x46000001, 0x001fffc0, fpu_three,         none},
    {"sub.d",      0x46200001, 0x001fffc0, fpu_three,         none},
    {"sub.ps",     0x46c00001, 0x001fffc0, fpu_three,         none},
    {"mul.s",      0x46000002, 0x001fffc0, fpu_three,         none},
    {"mul.d",      0x46200002, 0x001fffc0, fpu_three,         none},
    {"mul.ps",     0x46c00002, 0x001fffc0, fpu_three,         none},
    {"div.s",      0x46000003, 0x001fffc0, fpu_three,         none},
    {"div.d",      0x46200003, 0x001fffc0, fpu_three,         none},
    {"sqrt.s",     0x46000004, 0x0000ffc0, fpu_two,           none},
    {"sqrt.d",     0x46200004, 0x0000ffc0, fpu_two,           none},
    {"abs.s",      0x46000005, 0x0000ffc0, fpu_two,           none},
    {"abs.d",      0x46200005, 0x0000ffc0, fpu_two,           none},
    {"abs.ps",     0x46c00005, 0x0000ffc0, fpu_two,           none},
    {"mov.s",      0x46000006, 0x0000ffc0, fpu_two,           none},
    {"mov.d",      0x46200006, 0x0000ffc0, fpu_two,           none},
    {"mov.ps",     0x46c00006, 0x0000ffc0, fpu_two,           none},
    {"neg.s",      0x46000007, 0x0000ffc0, fpu_two,           none},
    {"neg.d",      0x46200007, 0x0000ffc0, fpu_two,           none},
    {"neg.ps",     0x46c00007, 0x0000ffc0, fpu_two,           none},
    {"round.l.s",  0x46000008, 0x0000ffc0, fpu_two,           none},
    {"round.l.d",  0x46200008, 0x0000ffc0, fpu_two,           none},
    {"trunc.l.s",  0x46000009, 0x0000ffc0, fpu_two,           none},
    {"trunc.l.d",  0x46200009, 0x0000ffc0, fpu_two,           none},
    {"ceil.l.s",   0x4600000a, 0x0000ffc0, fpu_two,           none},
    {"ceil.l.d",   0x4620000a, 0x0000ffc0, fpu_two,           none},
    {"floor.l.s",  0x4600000b, 0x0000ffc0, fpu_two,           none},
    {"floor.l.d",  0x4620000b, 0x0000ffc0, fpu_two,           none},
    {"round.w.s",  0x4600000c, 0x0000ffc0, fpu_two,           none},
    {"round.w.d",  0x4620000c, 0x0000ffc0, fpu_two,           none},
    {"trunc.w.s",  0x4600000d, 0x0000ffc0, fpu_two,           none},
    {"trunc.w.d",  0x4620000d, 0x0000ffc0, fpu_two,           none},
    {"ceil.w.s",   0x4600000e, 0x0000ffc0, fpu_two,           none},
    {"ceil.w.d",   0x4620000e, 0x0000ffc0, fpu_two,           none},
    {"floor.w.s",  0x4600000f, 0x0000ffc0, fpu_two,           none},
    {"floor.w.d",  0x4620000f, 0x0000ffc0, fpu_two,           none},
    {"recip.s",    0x46000015, 0x0000ffc0, fpu_two,           none},
    {"recip.d",    0x46200015, 0x0000ffc0, fpu_two,           none},
    {"rsqrt.s",    0x46000016, 0x0000ffc0, fpu_two,           none},
    {"rsqrt.d",    0x46200016, 0x0000ffc0, fpu_two,           none},
    {"cvt.s.d",    0x46200020, 0x0000ffc0, fpu_two,           none},
    {"cvt.s.w",    0x46800020, 0x0000ffc0, fpu_two,           none},
    {"cvt.s.l",    0x46a00020, 0x0000ffc0, fpu_two,           none},
    {"cvt.d.s",    0x46000021, 0x0000ffc0, fpu_two,           none},
    {"cvt.d.w",    0x46800021, 0x0000ffc0, fpu_two,           none},
    {"cvt.d.l",    0x46a00021, 0x0000ffc0, fpu_two,           none},
    {"cvt.w.s",    0x46000024, 0x0000ffc0, fpu_two,           none},
    {"cvt.w.d",    0x46200024, 0x0000ffc0, fpu_two,           none},
    {"cvt.l.s",    0x46000025, 0x0000ffc0, fpu_two,           none},
    {"cvt.l.d",    0x46200025, 0x0000ffc0, fpu_two,           none},
    {"cvt.s.pu",   0x46c00020, 0x0000ffc0, fpu_two,           none},
    {"cvt.s.pl",   0x46c00028, 0x0000ffc0, fpu_two,           none},
    {"cvt.ps.s",   0x46000026, 0x001fffc0, fpu_three,         none},
    {"pll.ps",     0x46c0002c, 0x001fffc0, fpu_three,         none},
    {"plu.ps",     0x46c0002d, 0x001fffc0, fpu_three,         none},
    {"pul.ps",     0x46c0002e, 0x001fffc0, fpu_three,         none},
    {"puu.ps",     0x46c0002f, 0x001fffc0, fpu_three,         none},
    // movf.fmt and movt.fmt (cc in bits 18 to 20, tf in bit 16), movz.fmt and
    // movn.fmt.
    {"movf.s",     0x46000011, 0x001cffc0, fpu_movcf,         none},
    {"movt.s",     0x46010011, 0x001cffc0, fpu_movcf,         none},
    {"movf.d",     0x46200011, 0x001cffc0, fpu_movcf,         none},
    {"movt.d",     0x46210011, 0x001cffc0, fpu_movcf,         none},
    {"movf.ps",    0x46c00011, 0x001cffc0, fpu_movcf,         none},
    {"movt.ps",    0x46c10011, 0x001cffc0, fpu_movcf,         none},
    {"movz.s",     0x46000012, 0x001fffc0, fpu_movzn,         none},
    {"movn.s",     0x46000013, 0x001fffc0, fpu_movzn,         none},
    {"movz.d",     0x46200012, 0x001fffc0, fpu_movzn,         none},
    {"movn.d",     0x46200013, 0x001fffc0, fpu_movzn,         none},
    {"movz.ps",    0x46c00012, 0x001fffc0, fpu_movzn,         none},
    {"movn.ps",    0x46c00013, 0x001fffc0, fpu_movzn,         none},
    // c.cond.fmt: cc in bits 8 to 10, and 0 in bits 6 and 7.
    {"c.f.s",      0x46000030, 0x001fff00, fpu_compare,       none},
    {"c.un.s",     0x46000031, 0x001fff00, fpu_compare,       none},
    {"c.eq.s",     0x46000032, 0x001fff00, fpu_compare,       none},
    {"c.ueq.s",    0x46000033, 0x001fff00, fpu_compare,       none},
    {"c.olt.s",    0x46000034, 0x001fff00, fpu_compare,       none},
    {"c.ult.s",    0x46000035, 0x001fff00, fpu_compare,       none},
    {"c.ole.s",    0x46000036, 0x001fff00, fpu_compare,       none},
    {"c.ule.s",    0x46000037, 0x001fff00, fpu_compare,       none},
    {"c.sf.s",     0x46000038, 0x001fff00, fpu_compare,       none},
    {"c.ngle.s",   0x46000039, 0x001fff00, fpu_compare,       none},
    {"c.seq.s",    0x4600003a, 0x001fff00, fpu_compare,       none},
    {"c.ngl.s",    0x4600003b, 0x001fff00, fpu_compare,       none},
    {"c.lt.s",     0x4600003c, 0x001fff00, fpu_compare,       none},
    {"c.nge.s",    0x4600003d, 0x001fff00, fpu_compare,       none},
    {"c.le.s",     0x4600003e, 0x001fff00, fpu_compare,       none},
    {"c.ngt.s",    0x4600003f, 0x001fff00, fpu_compare,       none},
    {"c.f.d",      0x46200030, 0x001fff00, fpu_compare,       none},
    {"c.un.d",     0x46200031, 0x001fff00, fpu_compare,       none},
    {"c.eq.d",     0x46200032, 0x001fff00, fpu_compare,       none},
    {"c.ueq.d",    0x46200033, 0x001fff00, fpu_compare,       none},
    {"c.olt.d",    0x46200034, 0x001fff00, fpu_compare,       none},
    {"c.ult.d",    0x46200035, 0x001fff00, fpu_compare,       none},
    {"c.ole.d",    0x46200036, 0x001fff00, fpu_compare,       none},
    {"c.ule.d",    0x46200037, 0x001fff00, fpu_compare,       none},
    {"c.sf.d",     0x46200038, 0x001fff00, fpu_compare,       none},
    {"c.ngle.d",   0x46200039, 0x001fff00, fpu_compare,       none},
    {"c.seq.d",    0x4620003a, 0x001fff00, fpu_compare,       none},
    {"c.ngl.d",    0x4620003b, 0x001fff00, fpu_compare,       none},
    {"c.lt.d",     0x4620003c, 0x001fff00, fpu_compare,       none},
    {"c.nge.d",    0x4620003d, 0x001fff00, fpu_compare,       none},
    {"c.le.d",     0x4620003e, 0x001fff00, fpu_compare,       none},
    {"c.ngt.d",    0x4620003f, 0x001fff00, fpu_compare,       none},
    {"c.f.ps",     0x46c00030, 0x001fff00, fpu_compare,       none},
    {"c.un.ps",    0x46c00031, 0x001fff00, fpu_compare,       none},
    {"c.eq.ps",    0x46c00032, 0x001fff00, fpu_compare,       none},
    {"c.ueq.ps",   0x46c00033, 0x001fff00, fpu_compare,       none},
    {"c.olt.ps",   0x46c00034, 0x001fff00, fpu_compare,       none},
    {"c.ult.ps",   0x46c00035, 0x001fff00, fpu_compare,       none},
    {"c.ole.ps",   0x46c00036, 0x001fff00, fpu_compare,       none},
    {"c.ule.ps",   0x46c00037, 0x001fff00, fpu_compare,       none},
    {"c.sf.ps",    0x46c00038, 0x001fff00, fpu_compare,       none},
    {"c.ngle.ps",  0x46c00039, 0x001fff00, fpu_compare,       none},
    {"c.seq.ps",   0x46c0003a, 0x001fff00, fpu_compare,       none},
    {"c.ngl.ps",   0x46c0003b, 0x001fff00, fpu_compare,       none},
    {"c.lt.ps",    0x46c0003c, 0x001fff00, fpu_compare,       none},
    {"c.nge.ps",   0x46c0003d, 0x001fff00, fpu_compare,       none},
    {"c.le.ps",    0x46c0003e, 0x001fff00, fpu_compare,       none},
    {"c.ngt.ps",   0x46c0003f, 0x001fff00, fpu_compare,       none},
    // COP1X: the indexed loads and stores, prefx, alnv.ps and the multiply-adds
    // (fr in rs).
    {"lwxc1",      0x4c000000, 0x03ff07c0, fpu_indexed_load,  load},
    {"ldxc1",      0x4c000001, 0x03ff07c0, fpu_indexed_load,  load},
    {"luxc1",      0x4c000005, 0x03ff07c0, fpu_indexed_load,  load},
    {"swxc1",      0x4c000008, 0x03fff800, fpu_indexed_store, store},
    {"sdxc1",      0x4c000009, 0x03fff800, fpu_indexed_store, store},
    {"suxc1",      0x4c00000d, 0x03fff800, fpu_indexed_store, store},
    {"prefx",      0x4c00000f, 0x03fff800, prefx,             none},
    {"alnv.ps",    0x4c00001e, 0x03ffffc0, alnv_ps,           none},
    {"madd.s",     0x4c000020, 0x03ffffc0, fpu_madd,          none},
    {"madd.d",     0x4c000021, 0x03ffffc0, fpu_madd,          none},
    {"madd.ps",    0x4c000026, 0x03ffffc0, fpu_madd,          none},
    {"msub.s",     0x4c000028, 0x03ffffc0, fpu_madd,          none},
    {"msub.d",     0x4c000029, 0x03ffffc0, fpu_madd,          none},
    {"msub.ps",    0x4c00002e, 0x03ffffc0, fpu_madd,          none},
    {"nmadd.s",    0x4c000030, 0x03ffffc0, fpu_madd,          none},
    {"nmadd.d",    0x4c000031, 0x03ffffc0, fpu_madd,          none},
    {"nmadd.ps",   0x4c000036, 0x03ffffc0, fpu_madd,          none},
    {"nmsub.s",    0x4c000038, 0x03ffffc0, fpu_madd,          none},
    {"nmsub.d",    0x4c000039, 0x03ffffc0, fpu_madd,          none},
    {"nmsub.ps",   0x4c00003e, 0x03ffffc0, fpu_madd,          none},
}};
// clang-format on

} // namespace release2
