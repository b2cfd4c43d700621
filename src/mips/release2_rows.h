// The rows of the Release 2 table (-R2) alone: the MIPS32 Release 2
// instructions the default table lacks, and the FPU, COP1 and COP1X, in every
// format each instruction allows. They stand before the rows of both tables,
// so the COP1X rows come before the cop3 catch-all.
//
// A mask is exactly the operand bits: a word with another value in a field
// the instruction leaves unused falls through to the rows after these. No
// row accepts a word of another row, nor a word that a default row other
// than the cop0, cop1 and cop3 catch-alls decodes, but for the names that
// Release 2 gives some words of the default rows: ssnop, ehb and pause for
// sll $0,$0,1, 3 and 5, and bal for bgezal $0.
#pragma once

#include <array>

#include "mips/opcode_table.h"

namespace release2 {
using namespace property;

// clang-format off
//   name        match       mask        operands            properties, tables
inline constexpr std::array<opcode_entry, 180> rows{{
    // The hazard barriers and pause, and bal: words of sll and bgezal.
    {"ssnop",    0x00000040, 0x00000000, "",                 none, in_release2},
    {"ehb",      0x000000c0, 0x00000000, "",                 none, in_release2},
    {"pause",    0x00000140, 0x00000000, "",                 none, in_release2},
    {"bal",      0x04110000, 0x0000ffff, "target",           branch | links, in_release2},
    // SPECIAL: the jumps with a hazard barrier (hint 16), the rotates (srl with
    // bit 21 set, srlv with bit 6 set) and movf, movt on an FPU condition code
    // (cc in bits 18 to 20, tf in bit 16).
    {"jr.hb",    0x00000408, 0x03e00000, "rs",               jump | coloured, in_release2},
    {"jalr.hb",  0x00000409, 0x03e0f800, "rd,rs",            jump | links | coloured, in_release2},
    {"rotr",     0x00200002, 0x001fffc0, "rd,rt,sa",         short_first, in_release2},
    {"rotrv",    0x00000046, 0x03fff800, "rd,rt,rs",         none, in_release2},
    {"movf",     0x00000001, 0x03fcf800, "rd,rs,cc",         none, in_release2},
    {"movt",     0x00010001, 0x03fcf800, "rd,rs,cc",         none, in_release2},
    // REGIMM: synci is rt 31.
    {"synci",    0x041f0000, 0x03e0ffff, "offset(base)",     none, in_release2},
    // SPECIAL2: clz and clo write rd; rt, which GNU as sets to rd as well, is not
    // checked.
    {"clz",      0x70000020, 0x03fff800, "rd,rs",            none, in_release2},
    {"clo",      0x70000021, 0x03fff800, "rd,rs",            none, in_release2},
    {"sdbbp",    0x7000003f, 0x03ffffc0, "code",             none, in_release2},
    // SPECIAL3: ext and ins with msbd or msb in rd and lsb in sa; seb, seh and
    // wsbh (BSHFL) told apart by sa.
    {"ext",      0x7c000000, 0x03ffffc0, "rt,rs,pos,size",   none, in_release2},
    {"ins",      0x7c000004, 0x03ffffc0, "rt,rs,pos,size",   none, in_release2},
    {"seb",      0x7c000420, 0x001ff800, "rd,rt",            none, in_release2},
    {"seh",      0x7c000620, 0x001ff800, "rd,rt",            none, in_release2},
    {"wsbh",     0x7c0000a0, 0x001ff800, "rd,rt",            none, in_release2},
    {"rdhwr",    0x7c00003b, 0x001ff800, "rt,creg",          none, in_release2},
    // COP0: di and ei (MFMC0 with rd 12, sc in bit 5), the shadow register
    // moves and the CO functions; the wait code is bits 6 to 24.
    {"di",       0x41606000, 0x001f0000, "rt",               none, in_release2},
    {"ei",       0x41606020, 0x001f0000, "rt",               none, in_release2},
    {"rdpgpr",   0x41400000, 0x001ff800, "rd,rt",            none, in_release2},
    {"wrpgpr",   0x41c00000, 0x001ff800, "rd,rt",            none, in_release2},
    {"tlbr",     0x42000001, 0x00000000, "",                 none, in_release2},
    {"tlbwi",    0x42000002, 0x00000000, "",                 none, in_release2},
    {"tlbwr",    0x42000006, 0x00000000, "",                 none, in_release2},
    {"tlbp",     0x42000008, 0x00000000, "",                 none, in_release2},
    {"eret",     0x42000018, 0x00000000, "",                 none, in_release2},
    {"deret",    0x4200001f, 0x00000000, "",                 none, in_release2},
    {"wait",     0x42000020, 0x01ffffc0, "code19?",          none, in_release2},
    // COP1 moves and branches (nd in bit 17, tf in bit 16).
    {"mfc1",     0x44000000, 0x001ff800, "rt,fs",            none, in_release2},
    {"cfc1",     0x44400000, 0x001ff800, "rt,creg",          none, in_release2},
    {"mfhc1",    0x44600000, 0x001ff800, "rt,fs",            none, in_release2},
    {"mtc1",     0x44800000, 0x001ff800, "rt,fs",            none, in_release2},
    {"ctc1",     0x44c00000, 0x001ff800, "rt,creg",          none, in_release2},
    {"mthc1",    0x44e00000, 0x001ff800, "rt,fs",            none, in_release2},
    {"bc1f",     0x45000000, 0x001cffff, "cc?,target",       branch, in_release2},
    {"bc1t",     0x45010000, 0x001cffff, "cc?,target",       branch, in_release2},
    {"bc1fl",    0x45020000, 0x001cffff, "cc?,target",       branch, in_release2},
    {"bc1tl",    0x45030000, 0x001cffff, "cc?,target",       branch, in_release2},
    // COP1 arithmetic, by fmt in bits 21 to 25: S 16, D 17, W 20, L 21, PS 22.
    // cvt.s.pu and cvt.s.pl are functions 32 and 40 of PS.
    {"add.s",    0x46000000, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"add.d",    0x46200000, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"add.ps",   0x46c00000, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"sub.s",    0x46000001, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"sub.d",    0x46200001, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"sub.ps",   0x46c00001, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"mul.s",    0x46000002, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"mul.d",    0x46200002, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"mul.ps",   0x46c00002, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"div.s",    0x46000003, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"div.d",    0x46200003, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"sqrt.s",   0x46000004, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"sqrt.d",   0x46200004, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"abs.s",    0x46000005, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"abs.d",    0x46200005, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"abs.ps",   0x46c00005, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"mov.s",    0x46000006, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"mov.d",    0x46200006, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"mov.ps",   0x46c00006, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"neg.s",    0x46000007, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"neg.d",    0x46200007, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"neg.ps",   0x46c00007, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"round.l.s",0x46000008, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"round.l.d",0x46200008, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"trunc.l.s",0x46000009, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"trunc.l.d",0x46200009, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"ceil.l.s", 0x4600000a, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"ceil.l.d", 0x4620000a, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"floor.l.s",0x4600000b, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"floor.l.d",0x4620000b, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"round.w.s",0x4600000c, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"round.w.d",0x4620000c, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"trunc.w.s",0x4600000d, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"trunc.w.d",0x4620000d, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"ceil.w.s", 0x4600000e, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"ceil.w.d", 0x4620000e, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"floor.w.s",0x4600000f, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"floor.w.d",0x4620000f, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"recip.s",  0x46000015, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"recip.d",  0x46200015, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"rsqrt.s",  0x46000016, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"rsqrt.d",  0x46200016, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.s.d",  0x46200020, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.s.w",  0x46800020, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.s.l",  0x46a00020, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.d.s",  0x46000021, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.d.w",  0x46800021, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.d.l",  0x46a00021, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.w.s",  0x46000024, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.w.d",  0x46200024, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.l.s",  0x46000025, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.l.d",  0x46200025, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.s.pu", 0x46c00020, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.s.pl", 0x46c00028, 0x0000ffc0, "fd,fs",            none, in_release2},
    {"cvt.ps.s", 0x46000026, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"pll.ps",   0x46c0002c, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"plu.ps",   0x46c0002d, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"pul.ps",   0x46c0002e, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    {"puu.ps",   0x46c0002f, 0x001fffc0, "fd,fs,ft",         none, in_release2},
    // movf.fmt and movt.fmt (cc in bits 18 to 20, tf in bit 16), movz.fmt and
    // movn.fmt.
    {"movf.s",   0x46000011, 0x001cffc0, "fd,fs,cc",         none, in_release2},
    {"movt.s",   0x46010011, 0x001cffc0, "fd,fs,cc",         none, in_release2},
    {"movf.d",   0x46200011, 0x001cffc0, "fd,fs,cc",         none, in_release2},
    {"movt.d",   0x46210011, 0x001cffc0, "fd,fs,cc",         none, in_release2},
    {"movf.ps",  0x46c00011, 0x001cffc0, "fd,fs,cc",         none, in_release2},
    {"movt.ps",  0x46c10011, 0x001cffc0, "fd,fs,cc",         none, in_release2},
    {"movz.s",   0x46000012, 0x001fffc0, "fd,fs,rt",         none, in_release2},
    {"movn.s",   0x46000013, 0x001fffc0, "fd,fs,rt",         none, in_release2},
    {"movz.d",   0x46200012, 0x001fffc0, "fd,fs,rt",         none, in_release2},
    {"movn.d",   0x46200013, 0x001fffc0, "fd,fs,rt",         none, in_release2},
    {"movz.ps",  0x46c00012, 0x001fffc0, "fd,fs,rt",         none, in_release2},
    {"movn.ps",  0x46c00013, 0x001fffc0, "fd,fs,rt",         none, in_release2},
    // c.cond.fmt: cc in bits 8 to 10, and 0 in bits 6 and 7.
    {"c.f.s",    0x46000030, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.un.s",   0x46000031, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.eq.s",   0x46000032, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ueq.s",  0x46000033, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.olt.s",  0x46000034, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ult.s",  0x46000035, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ole.s",  0x46000036, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ule.s",  0x46000037, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.sf.s",   0x46000038, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ngle.s", 0x46000039, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.seq.s",  0x4600003a, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ngl.s",  0x4600003b, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.lt.s",   0x4600003c, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.nge.s",  0x4600003d, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.le.s",   0x4600003e, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ngt.s",  0x4600003f, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.f.d",    0x46200030, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.un.d",   0x46200031, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.eq.d",   0x46200032, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ueq.d",  0x46200033, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.olt.d",  0x46200034, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ult.d",  0x46200035, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ole.d",  0x46200036, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ule.d",  0x46200037, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.sf.d",   0x46200038, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ngle.d", 0x46200039, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.seq.d",  0x4620003a, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ngl.d",  0x4620003b, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.lt.d",   0x4620003c, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.nge.d",  0x4620003d, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.le.d",   0x4620003e, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ngt.d",  0x4620003f, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.f.ps",   0x46c00030, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.un.ps",  0x46c00031, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.eq.ps",  0x46c00032, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ueq.ps", 0x46c00033, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.olt.ps", 0x46c00034, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ult.ps", 0x46c00035, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ole.ps", 0x46c00036, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ule.ps", 0x46c00037, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.sf.ps",  0x46c00038, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ngle.ps",0x46c00039, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.seq.ps", 0x46c0003a, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ngl.ps", 0x46c0003b, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.lt.ps",  0x46c0003c, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.nge.ps", 0x46c0003d, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.le.ps",  0x46c0003e, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    {"c.ngt.ps", 0x46c0003f, 0x001fff00, "cmpcc?,fs,ft",     none, in_release2},
    // COP1X: the indexed loads and stores, prefx, alnv.ps and the multiply-adds
    // (fr in rs).
    {"lwxc1",    0x4c000000, 0x03ff07c0, "fd,index(base)",   load, in_release2},
    {"ldxc1",    0x4c000001, 0x03ff07c0, "fd,index(base)",   load, in_release2},
    {"luxc1",    0x4c000005, 0x03ff07c0, "fd,index(base)",   load, in_release2},
    {"swxc1",    0x4c000008, 0x03fff800, "fs,index(base)",   store, in_release2},
    {"sdxc1",    0x4c000009, 0x03fff800, "fs,index(base)",   store, in_release2},
    {"suxc1",    0x4c00000d, 0x03fff800, "fs,index(base)",   store, in_release2},
    {"prefx",    0x4c00000f, 0x03fff800, "hint,index(base)", none, in_release2},
    {"alnv.ps",  0x4c00001e, 0x03ffffc0, "fd,fs,ft,rs",      none, in_release2},
    {"madd.s",   0x4c000020, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"madd.d",   0x4c000021, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"madd.ps",  0x4c000026, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"msub.s",   0x4c000028, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"msub.d",   0x4c000029, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"msub.ps",  0x4c00002e, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"nmadd.s",  0x4c000030, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"nmadd.d",  0x4c000031, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"nmadd.ps", 0x4c000036, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"nmsub.s",  0x4c000038, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"nmsub.d",  0x4c000039, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
    {"nmsub.ps", 0x4c00003e, 0x03ffffc0, "fd,fr,fs,ft",      none, in_release2},
}};
// clang-format on

} // namespace release2
