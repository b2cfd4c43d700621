#!/usr/bin/env python3
"""Makes candidate lines for decode_words.txt: one word per opcode-table entry,
under the option sets -, -g, -S and -g -P, with the text the decoder should
write for it at address 0x80001000. Written independently of the C++ decoder,
from the rules of the operand formats; the output is checked by reading (and
mnemonics and registers against llvm-objdump) before it goes into the file."""
import random

TABLE = [
    ("add", 0x00000020, 0x07fff800),
    ("addi", 0x20000000, 0x07ffffff),
    ("addiu", 0x24000000, 0x07ffffff),
    ("addu", 0x00000021, 0x07fff800),
    ("and", 0x00000024, 0x07fff800),
    ("andi", 0x30000000, 0x03ffffff),
    ("beq", 0x10000000, 0x13ffffff),
    ("beql", 0x50000000, 0x13ffffff),
    ("bgez", 0x04010000, 0x03e0ffff),
    ("bgezal", 0x04110000, 0x03e0ffff),
    ("bgezall", 0x04130000, 0x03e0ffff),
    ("bgezl", 0x04030000, 0x03e0ffff),
    ("bgtz", 0x1c000000, 0x03e0ffff),
    ("bgtzl", 0x5c000000, 0x03e0ffff),
    ("blez", 0x18000000, 0x03e0ffff),
    ("blezl", 0x58000000, 0x03e0ffff),
    ("bltz", 0x04000000, 0x03e0ffff),
    ("bltzal", 0x04100000, 0x03e0ffff),
    ("bltzall", 0x04120000, 0x03e0ffff),
    ("bltzl", 0x04020000, 0x03e0ffff),
    ("bne", 0x14000000, 0x13ffffff),
    ("bnel", 0x54000000, 0x13ffffff),
    ("break", 0x0000000d, 0x03ffffc0),
    ("mfc0", 0x40000000, 0x001ff807),
    ("mtc0", 0x40800000, 0x001ff807),
    ("cop0", 0x40000000, 0x17ffffff),
    ("cop1", 0x44000000, 0x17ffffff),
    ("cop2", 0x48000000, 0x17ffffff),
    ("cop3", 0x4c000000, 0x17ffffff),
    ("dadd", 0x0000002c, 0x07fff800),
    ("daddi", 0x60000000, 0x07ffffff),
    ("daddiu", 0x64000000, 0x07ffffff),
    ("daddu", 0x0000002d, 0x07fff800),
    ("ddiv", 0x0000001e, 0x03ff0000),
    ("ddivu", 0x0000001f, 0x03ff0000),
    ("div", 0x0000001a, 0x03ff0000),
    ("divu", 0x0000001b, 0x03ff0000),
    ("dmult", 0x0000001c, 0x03ff0000),
    ("dmultu", 0x0000001d, 0x03ff0000),
    ("dsll", 0x00000038, 0x001fffc0),
    ("dsll32", 0x0000003c, 0x001fffc0),
    ("dsllv", 0x00000014, 0x0ffff800),
    ("dsra", 0x0000003b, 0x001fffc0),
    ("dsra32", 0x0000003f, 0x001fffc0),
    ("dsrav", 0x00000017, 0x0ffff800),
    ("dsrl", 0x0000003a, 0x001fffc0),
    ("dsrl32", 0x0000003e, 0x001fffc0),
    ("dsrlv", 0x00000016, 0x0ffff800),
    ("dsub", 0x0000002e, 0x0bfff800),
    ("dsubu", 0x0000002f, 0x0bfff800),
    ("j", 0x08000000, 0x1bffffff),
    ("jal", 0x0c000000, 0x1bffffff),
    ("jalr", 0x00000009, 0x03e0f800),
    ("jr", 0x00000008, 0x03e00000),
    ("lb", 0x80000000, 0x0bffffff),
    ("lbu", 0x90000000, 0x0bffffff),
    ("ld", 0xdc000000, 0x0bffffff),
    ("ldc1", 0xd4000000, 0x0bffffff),
    ("ldc2", 0xd8000000, 0x0bffffff),
    ("ldl", 0x68000000, 0x0bffffff),
    ("ldr", 0x6c000000, 0x0bffffff),
    ("lh", 0x84000000, 0x0bffffff),
    ("lhu", 0x94000000, 0x0bffffff),
    ("ll", 0xc0000000, 0x0bffffff),
    ("lld", 0xd0000000, 0x0bffffff),
    ("lui", 0x3c000000, 0x001fffff),
    ("lw", 0x8c000000, 0x0bffffff),
    ("lwc1", 0xc4000000, 0x0bffffff),
    ("lwc2", 0xc8000000, 0x0bffffff),
    ("lwl", 0x88000000, 0x0bffffff),
    ("lwr", 0x98000000, 0x0bffffff),
    ("lwu", 0x9c000000, 0x0bffffff),
    ("mfhi", 0x00000010, 0x0000f800),
    ("mflo", 0x00000012, 0x0000f800),
    ("movn", 0x0000000b, 0x03fff800),
    ("movz", 0x0000000a, 0x03fff800),
    ("mthi", 0x00000011, 0x03e00000),
    ("mtlo", 0x00000013, 0x03e00000),
    ("madd", 0x70000000, 0x03ff0000),
    ("maddu", 0x70000001, 0x03ff0000),
    ("msub", 0x70000004, 0x03ff0000),
    ("msubu", 0x70000005, 0x03ff0000),
    ("mul", 0x70000002, 0x07fff800),
    ("mult", 0x00000018, 0x03ff0000),
    ("multu", 0x00000019, 0x03ff0000),
    ("nor", 0x00000027, 0x07fff800),
    ("or", 0x00000025, 0x07fff800),
    ("ori", 0x34000000, 0x03ffffff),
    ("cache", 0xbc000000, 0x0fffffff),
    ("pref", 0xcc000000, 0x0fffffff),
    ("sb", 0xa0000000, 0x0bffffff),
    ("sc", 0xe0000000, 0x0bffffff),
    ("scd", 0xf0000000, 0x0bffffff),
    ("sd", 0xfc000000, 0x0bffffff),
    ("sdc1", 0xf4000000, 0x0bffffff),
    ("sdc2", 0xf8000000, 0x0bffffff),
    ("sdl", 0xb0000000, 0x0bffffff),
    ("sdr", 0xb4000000, 0x0bffffff),
    ("sh", 0xa4000000, 0x0bffffff),
    ("sll", 0x00000000, 0x001fffc0),
    ("sllv", 0x00000004, 0x0ffff800),
    ("slt", 0x0000002a, 0x03fff800),
    ("slti", 0x28000000, 0x07ffffff),
    ("sltiu", 0x2c000000, 0x07ffffff),
    ("sltu", 0x0000002b, 0x03fff800),
    ("sra", 0x00000003, 0x001fffc0),
    ("srav", 0x00000007, 0x0ffff800),
    ("srl", 0x00000002, 0x001fffc0),
    ("srlv", 0x00000006, 0x0ffff800),
    ("sub", 0x00000022, 0x0bfff800),
    ("subu", 0x00000023, 0x0bfff800),
    ("sw", 0xac000000, 0x0bffffff),
    ("swc1", 0xe4000000, 0x0bffffff),
    ("swc2", 0xe8000000, 0x0bffffff),
    ("swc3", 0xec000000, 0x0bffffff),
    ("swl", 0xa8000000, 0x0bffffff),
    ("swr", 0xb8000000, 0x0bffffff),
    ("sync", 0x0000000f, 0x000007c0),
    ("syscall", 0x0000000c, 0x03ffffc0),
    ("teq", 0x00000034, 0x07ffffc0),
    ("teqi", 0x040c0000, 0x07e0ffff),
    ("tge", 0x00000030, 0x07ffffc0),
    ("tgei", 0x04080000, 0x07e0ffff),
    ("tgeiu", 0x04090000, 0x07e0ffff),
    ("tgeu", 0x00000031, 0x07ffffc0),
    ("tlt", 0x00000032, 0x07ffffc0),
    ("tlti", 0x040a0000, 0x07e0ffff),
    ("tltiu", 0x040b0000, 0x07e0ffff),
    ("tltu", 0x00000033, 0x07ffffc0),
    ("tne", 0x00000036, 0x07ffffc0),
    ("tnei", 0x040e0000, 0x07e0ffff),
    ("xor", 0x00000026, 0x07fff800),
    ("xori", 0x38000000, 0x03ffffff),
]

GCC = ["$zero", "$at", "$v0", "$v1"] + ["$a%d" % i for i in range(4)] + \
      ["$t%d" % i for i in range(8)] + ["$s%d" % i for i in range(8)] + \
      ["$t8", "$t9", "$k0", "$k1", "$gp", "$sp", "$fp", "$ra"]
CP0 = ["Index", "Random", "EntryLo0", "EntryLo1", "Context", "PageMask", "Wired", "reserved",
       "BadVAddr", "Count", "EntryHi", "Compare", "Status", "Cause", "EPC", "PRId",
       "Config", "LLAddr", "WatchLo", "WatchHi", "reserved", "reserved", "reserved", "Debug",
       "DEPC", "reserved", "reserved", "reserved", "TagLo", "reserved", "ErrorEPC", "DESAVE"]
A = 0x80001000


def find(w):
    for i, (name, match, mask) in enumerate(TABLE):
        if w & ~(mask & 0x03ffffff) & 0xffffffff == match:
            return i
    return -1


def decode(w, opts):
    g, S, P, c = "-g" in opts, "-S" in opts or "-P" in opts, "-P" in opts, "-c" in opts

    def R(x):
        if not g:
            return "$%d" % x
        return "0" if x == 0 and P else GCC[x]

    if w == 0:
        return "nop\t\t\t\t"
    i = find(w)
    if i < 0:
        return "const\t0x%08x\t\t" % w
    name, match, mask = TABLE[i]
    rs, rt, rd, sa = (w >> 21) & 31, (w >> 16) & 31, (w >> 11) & 31, (w >> 6) & 31
    uimm = w & 0xffff
    simm = uimm - 0x10000 if uimm & 0x8000 else uimm
    move = False
    if P and ((w & 0xf8000000) == 0x20000000 or (w & 0xfc000000) == 0x34000000) and rs == 0:
        move = True
    elif P and ((w & 0xfc0007fe) == 0x20 or (w & 0xfc0007ff) == 0x25) and (rs == 0 or rt == 0):
        if rt != 0:
            rs, rt = rt, 0
        move = True
    head = "move\t" if move else name + "\t"
    pad = True
    tail = ""
    if mask in (0x07fff800, 0x0bfff800):
        if S and move:
            ops = "%s,%s" % (R(rd), R(rs))
        elif S and rd == rs:
            ops = "%s,%s" % (R(rd), R(rt))
        elif S and rd == rt and mask == 0x07fff800:
            ops = "%s,%s" % (R(rd), R(rs))
        else:
            ops = "%s,%s,%s" % (R(rd), R(rs), R(rt))
    elif mask == 0x03fff800:
        ops = "%s,%s,%s" % (R(rd), R(rs), R(rt))
    elif mask == 0x0ffff800:
        ops = "%s,%s,%s" % (R(rd), R(rt), R(rs))
    elif mask == 0x001fffc0:
        ops = ("" if S and rd == rt else R(rd) + ",") + "%s,%d" % (R(rt), sa)
    elif mask in (0x07ffffff, 0x03ffffff):
        ops = R(rt) + "," + ("" if move or (S and rs == rt) else R(rs) + ",")
        if mask == 0x03ffffff:
            ops += "0x%x" % uimm
        else:
            ops += "%d" % simm
            if (simm & 0xffffffff) > 9 and (w & 0xffff0000) != 0x27bd0000:
                ops += "=0x%04x" % uimm
    elif mask == 0x001fffff:
        ops = "%s,0x%x" % (R(rt), uimm)
    elif mask == 0x0bffffff:
        ops = "%s,%d(%s)" % (R(rt), simm, R(rs))
    elif mask == 0x0fffffff:
        ops = "%d,%d(%s)" % (rt, simm, R(rs))
    elif mask in (0x13ffffff, 0x03e0ffff):
        t = (A + 4 + simm * 4) & 0xffffffff
        ops = (R(rs) + "," + R(rt) + "," if mask == 0x13ffffff else R(rs) + ",") + "0x%x" % t
    elif mask == 0x1bffffff:
        t = ((A + 4) & 0xf0000000) | ((w & 0x03ffffff) << 2)
        ops = "0x%x\t\t#" % t
        pad = False
    elif mask == 0x03e0f800:
        ops = "%s,%s" % (R(rd), R(rs))
    elif mask == 0x03e00000:
        ops = R(rs)
    elif mask == 0x0000f800:
        ops = R(rd)
    elif mask == 0x03ff0000:
        ops = "%s,%s" % (R(rs), R(rt))
    elif mask == 0x03ffffc0:
        ops = "0x%05x" % ((w >> 6) & 0xfffff)
    elif mask == 0x07ffffc0:
        ops = "%s,%s,0x%03x" % (R(rs), R(rt), (w >> 6) & 0x3ff)
    elif mask == 0x07e0ffff:
        ops = "%s,%d" % (R(rs), simm)
    elif mask == 0x000007c0:
        ops = "%d" % sa
    elif mask == 0x001ff807:
        ops = "%s,R%d" % (R(rt), rd) + (".%d" % (w & 7) if w & 7 else "")
        tail = "# " + CP0[rd] if c else ""
    elif mask == 0x17ffffff:
        ops = "0x%07x" % (w & 0x03ffffff)
    else:
        ops = "unknown"
    padding = "\t\t\t"[min(len(ops) // 8, 3):] if pad else ""
    return head + ops + padding + tail


# Registers that make the short and pseudo forms show: zero, equal fields, names.
REGS = [0, 2, 4, 5, 16, 25, 28, 29, 31]


def sample(i, name, match, mask):
    rnd = random.Random(i * 7919 + 17)
    ops = mask & 0x03ffffff
    while True:
        w = match | (rnd.getrandbits(26) & ops)
        rs, rt, rd = rnd.choice(REGS), rnd.choice(REGS), rnd.choice(REGS)
        if rnd.random() < 0.4:
            rd = rs if rnd.random() < 0.5 else rt
        fields = (rs << 21) | (rt << 16) | (rd << 11)
        w = (w & ~(ops & 0x03fff800)) | (fields & ops & 0x03fff800)
        if w != 0 and find(w) == i:
            return w


def esc(text):
    return text.replace("\t", "\\t")


for i, (name, match, mask) in enumerate(TABLE):
    w = sample(i, name, match, mask)
    for opts in ("-", "-g", "-S", "-g -P"):
        print("0x%08x  %-10s %s" % (w, opts, esc(decode(w, opts.split()))))
