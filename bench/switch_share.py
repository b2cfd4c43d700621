#!/usr/bin/env python3
"""The jump tables of switches, found from the compiler's relocations, and
how many of them pelorin recognises under -X. Run by switch_share.sh, which
builds the files; run by hand, not in CI.

usage: switch_share.py reference DIR FILE[,OBJECT,MAP]...
       switch_share.py compare DIR

reference: for each FILE (a MIPS ELF object, or an executable linked with
--emit-relocs), writes DIR/NAME.json and a copy of FILE as DIR/NAME, and
prints the tables, entries and dispatch forms per file and in total.
  - An entry is a word of .rodata* or .data.rel.ro* with an R_MIPS_GPREL32
    (.gpword) or R_MIPS_32 (.word) relocation against a symbol of a code
    section. Its target, in an object: that symbol's value plus the addend
    the word holds; in an executable: the word plus _gp (the symbol, else
    .reginfo's ri_gp_value), or the word. The consecutive entries of one
    kind are cut into tables at the addresses the code forms.
  - The values of registers are followed through each function (its blocks,
    the definitions that reach each use, a call's delay slot and the
    registers a call changes, -O0's stores to the stack and loads back):
    lui with HI16 and lw with GOT16 give a part of an address (in an
    executable the lw reads the GOT word at _gp + offset), addiu or lw with
    LO16 (or addiu $gp with GPREL16) add the rest; addu of a table address
    and a `sll rS,rI,2` is an entry's address, lw from it an entry, and that
    plus _gp (in $gp, or in a register made from _gp_disp and $t9) a target.
  - A table's dispatch is the jr (not $ra) whose register holds its entry or
    target. Its bound check: the branch on a sltiu/sltu of the index (or of
    andi rI,255), else the byte or halfword load (or andi) that bounds the
    index, with a bltz/bgez on it; `bound` is what it allows.
  - The form: the instructions that make the jr's value and the bound check,
    in the order the values flow, registers named by role: rI index, rJ the
    index zero-extended, rT the compare's result, rS index*4, rP the GOT
    page or %hi part of the table's address, rB the table's address, rX the
    entry's address, rE the entry, rA its target, rG a register that holds
    _gp's value (how the function made it is shown apart); immediates as N
    (the bound), K (a stack offset), %got(L), %hi(L), %lo(L), %gp_rel(L).
  - With OBJECT and MAP (the object the executable was linked from and ld's
    -Map file), every entry of the object is placed where the map puts its
    input sections (target = the address of the symbol's input section +
    the symbol's value + the addend), and compared with the executable's.
  NAME.json: file, object (true for a relocatable object), endian, gp, and
  tables: section, section_index, address (in an object: the offset in the
  section), kind (gpword, word), count, referenced (whether code forms the
  address), words, targets (section, section_index, address), jr (section,
  section_index, address; null when none was found), function, bound, form,
  example, and more_jr (the other jr, where the compiler copied the
  dispatch); other_register_jumps counts the jr (not $ra) of no table.

compare: runs `$PELORIN -E -X -c` on each file in DIR (PELORIN defaults to
build/pelorin) and counts the tables of its .json that have a jr: reported
on the jr line as `# switch, N cases, table XXXXXXXX` with N the number of
entries and the table's address (found), reported otherwise (wrong), not
reported (missed), and the switch comments at a jr of no table (extra). Of
the entries of the found tables, those named right: the line at the entry's
address shows the target's address in hex after a '#', or a label that
pelorin puts at the target. An object's sections are where `pelorin -E -D`
places them.
"""
import bisect
import collections
import json
import os
import re
import shutil
import struct
import subprocess
import sys

RELOC = {2: "R_MIPS_32", 4: "R_MIPS_26", 5: "R_MIPS_HI16", 6: "R_MIPS_LO16", 7: "R_MIPS_GPREL16",
         9: "R_MIPS_GOT16", 10: "R_MIPS_PC16", 11: "R_MIPS_CALL16", 12: "R_MIPS_GPREL32",
         37: "R_MIPS_JALR"}
OPERATOR = {"R_MIPS_HI16": "%hi", "R_MIPS_LO16": "%lo", "R_MIPS_GOT16": "%got",
            "R_MIPS_GPREL16": "%gp_rel", "R_MIPS_CALL16": "%call16"}
NO_DEST = {"sw", "sh", "sb", "swl", "swr", "sc", "sdc1", "swc1", "mult", "multu", "div", "divu",
           "madd", "maddu", "msub", "msubu", "mthi", "mtlo", "mtc0", "mtc1", "ctc1", "teq", "tne",
           "tge", "tgeu", "tlt", "tltu", "tgei", "teqi", "nop", "ssnop", "ehb", "sync", "cache",
           "pref", "break", "syscall", "sdbbp", "jr", "jr.hb", "j", "b", "wait", "eret"}
CALLS = {"jal", "jalr", "jalr.hb", "bal", "bgezal", "bltzal"}
CLOBBERED = [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 31]
LOADS = {"lb", "lbu", "lh", "lhu", "lw", "lwl", "lwr", "ll"}


def sext16(v):
    return (v & 0xFFFF) - 0x10000 if v & 0x8000 else v & 0xFFFF


def is_branch(m):
    return m in ("j", "jal", "jr", "jr.hb", "jalr", "jalr.hb") or m.startswith("b") and m != "break"


class Elf:
    """One MIPS ELF32 file: sections, symbols, relocations, words, code."""

    def __init__(self, path):
        self.path = path
        d = self.data = open(path, "rb").read()
        if d[:4] != b"\x7fELF" or d[4] != 1:
            sys.exit(f"{path}: not an ELF32 file")
        e = self.e = "<" if d[5] == 1 else ">"
        etype, _m, _v, _entry, _ph, shoff = struct.unpack_from(e + "HHIIII", d, 16)
        shentsize, shnum, shstrndx = struct.unpack_from(e + "HHH", d, 46)
        self.object = etype == 1
        raw = [struct.unpack_from(e + "10I", d, shoff + i * shentsize) for i in range(shnum)]
        names = raw[shstrndx][4]
        self.sec = []       # index -> dict
        for r in raw:
            end = d.index(b"\0", names + r[0])
            self.sec.append(dict(name=d[names + r[0]:end].decode(), type=r[1], flags=r[2],
                                 addr=r[3], offset=r[4], size=r[5], link=r[6], info=r[7]))
        self.syms = []
        for s in self.sec:
            if s["type"] == 2:      # SHT_SYMTAB
                strs = self.sec[s["link"]]["offset"]
                for i in range(s["size"] // 16):
                    name, value, size, info, _o, shndx = struct.unpack_from(e + "IIIBBH", d, s["offset"] + 16 * i)
                    end = d.index(b"\0", strs + name)
                    nm = d[strs + name:end].decode(errors="replace")
                    if info & 15 == 3 and shndx < len(self.sec):    # a section's symbol
                        nm = self.sec[shndx]["name"]
                    self.syms.append(dict(name=nm, value=value, size=size, type=info & 15,
                                          bind=info >> 4, shndx=shndx))
        self.relocs = collections.defaultdict(list)   # (section, place) -> [(type, symbol, addend)]
        for s in self.sec:
            if s["type"] in (4, 9) and s["info"] < len(self.sec):   # RELA, REL
                size = 12 if s["type"] == 4 else 8
                for i in range(s["size"] // size):
                    off, info = struct.unpack_from(e + "II", d, s["offset"] + size * i)
                    add = struct.unpack_from(e + "i", d, s["offset"] + size * i + 8)[0] if size == 12 else None
                    if (info >> 8) < len(self.syms):
                        self.relocs[(s["info"], off)].append((RELOC.get(info & 255, str(info & 255)),
                                                              self.syms[info >> 8], add))
        self.gp = None
        for s in self.syms:
            if s["name"] == "_gp" and s["shndx"]:
                self.gp = s["value"]
        if self.gp is None:
            for s in self.sec:
                if s["name"] == ".reginfo" and s["size"] >= 24:
                    self.gp = self.word_at_offset(s["offset"] + 20)
        if self.object:
            self.gp = 0

    def word_at_offset(self, off):
        return struct.unpack_from(self.e + "I", self.data, off)[0]

    def place(self, i, a):
        """File offset of place a of section i (an offset in an object, an address else)."""
        s = self.sec[i]
        return s["offset"] + (a if self.object else a - s["addr"])

    def word(self, i, a):
        return self.word_at_offset(self.place(i, a))

    def section_at(self, address):
        for i, s in enumerate(self.sec):
            if s["flags"] & 2 and s["type"] != 8 and s["addr"] <= address < s["addr"] + s["size"]:
                return i
        return None

    def is_code(self, i):
        return 0 < i < len(self.sec) and bool(self.sec[i]["flags"] & 4)

    def code(self):
        """Each code section's instructions: index -> [(address, word, mnemonic, operands)]."""
        text = subprocess.run(["mips-linux-gnu-objdump", "-d", "-z", "-M", "reg-names=numeric", self.path],
                              capture_output=True, text=True, check=True).stdout
        by_name = {s["name"]: i for i, s in enumerate(self.sec)}
        out, cur = collections.defaultdict(list), None
        for line in text.splitlines():
            if line.startswith("Disassembly of section "):
                cur = by_name.get(line[23:].rstrip(":"))
            elif cur is not None and (m := re.match(r"^\s*([0-9a-f]+):\t([0-9a-f]{8}) \t(\S+)\t?(.*)$", line)):
                out[cur].append((int(m.group(1), 16), int(m.group(2), 16), m.group(3),
                                 re.sub(r"\s*<.*>$", "", m.group(4)).strip()))
        return out


class Insn:
    __slots__ = ("addr", "word", "m", "ops", "regs", "defs", "uses", "relocs", "target", "imm")

    def __init__(self, addr, word, m, ops, relocs):
        self.addr, self.word, self.m, self.ops, self.relocs = addr, word, m, ops, relocs
        self.regs = [int(r) for r in re.findall(r"\$(\d+)\b", ops)]
        self.imm = sext16(word)
        self.target = None
        if is_branch(m) and m not in ("jr", "jr.hb", "jalr", "jalr.hb"):
            last = ops.split(",")[-1].strip()
            if re.fullmatch(r"[0-9a-f]+", last):
                self.target = int(last, 16)
        if m in NO_DEST or is_branch(m) and m not in CALLS:
            self.defs, self.uses = [], self.regs
        elif m in CALLS:
            self.defs, self.uses = [31], (self.regs[-1:] if m.startswith("jalr") else self.regs)
        elif m in ("mfc0", "mfc1", "cfc1"):
            self.defs, self.uses = self.regs[:1], []
        elif m in ("movn", "movz", "ins"):
            self.defs, self.uses = self.regs[:1], self.regs
        elif self.regs:
            self.defs, self.uses = self.regs[:1], self.regs[1:]
        else:
            self.defs, self.uses = [], []
        self.defs = [r for r in self.defs if r]

    def reloc(self, *types):
        for t, sym, add in self.relocs:
            if t in types:
                return t, sym
        return None, None


class Function:
    """The instructions of one function, its blocks and reaching definitions."""

    def __init__(self, elf, section, name, insns, jumps):
        """jumps: the places a register jr may go to, the same for every jr (a set)
        or for each jr by its address (a dict)."""
        self.elf, self.section, self.name, self.insns = elf, section, name, insns
        self.at = {x.addr: i for i, x in enumerate(insns)}
        n = len(insns)
        leaders = {0}
        for i, x in enumerate(insns):
            if is_branch(x.m):
                if i + 2 < n:
                    leaders.add(i + 2)
                if x.target in self.at:
                    leaders.add(self.at[x.target])
        every = set(jumps) if isinstance(jumps, set) else set().union(*jumps.values()) if jumps else set()
        for t in every:
            if t in self.at:
                leaders.add(self.at[t])
        starts = sorted(leaders)
        self.block_of = [0] * n
        blocks = []
        for b, s in enumerate(starts):
            e = starts[b + 1] if b + 1 < len(starts) else n
            blocks.append((s, e))
            for i in range(s, e):
                self.block_of[i] = b
        succ = [set() for _ in blocks]
        for b, (s, e) in enumerate(blocks):
            j = next((i for i in range(s, e) if is_branch(insns[i].m)), None)
            fall = e < n
            if j is not None:
                x = insns[j]
                if x.target in self.at:
                    succ[b].add(self.block_of[self.at[x.target]])
                if x.m in ("j", "b") or x.m.startswith("jr"):
                    fall = False
                if x.m.startswith("jr") and x.regs and x.regs[0] not in (31, 25):
                    to = jumps if isinstance(jumps, set) else jumps.get(x.addr, ())
                    succ[b] |= {self.block_of[self.at[t]] for t in to if t in self.at}
            if fall:
                succ[b].add(b + 1)
        self.blocks = blocks
        preds = [set() for _ in blocks]
        for b, ss in enumerate(succ):
            for t in ss:
                preds[t].add(b)
        # reaching definitions: reg -> frozenset of sites (an index, ("call", index), or ("entry", reg))
        entry = {r: frozenset([("entry", r)]) for r in range(1, 32)}
        outs = [None] * len(blocks)
        self.ins = [None] * len(blocks)
        work = list(range(len(blocks)))
        while work:
            b = work.pop(0)
            if b == 0 or not preds[b]:
                state = dict(entry)
            else:
                state = {}
                for p in preds[b]:
                    if outs[p] is not None:
                        for r, v in outs[p].items():
                            state[r] = state[r] | v if r in state else v
            self.ins[b] = state
            state = self.transfer(b, dict(state))
            if state != outs[b]:
                outs[b] = state
                work += [t for t in succ[b] if t not in work]
        self.memo = {}

    def transfer(self, b, state, upto=None):
        s, e = self.blocks[b]
        for i in range(s, e if upto is None else upto):
            for r in self.insns[i].defs:
                state[r] = frozenset([i])
            if i > 0 and self.insns[i - 1].m in CALLS:     # the callee runs after the delay slot
                for r in CLOBBERED:
                    state[r] = frozenset([("call", i - 1)])
        return state

    def defs(self, i, reg):
        """The definitions of reg that reach instruction i."""
        b = self.block_of[i]
        if self.ins[b] is None:
            return frozenset([("entry", reg)])
        return self.transfer(b, dict(self.ins[b]), i).get(reg, frozenset([("entry", reg)]))

    def ident(self, i, reg):
        """What the value of reg at i is, as far as telling two uses of one value apart needs."""
        ds = self.defs(i, reg)
        if len(ds) == 1:
            d = next(iter(ds))
            if isinstance(d, int):
                x = self.insns[d]
                if x.m in LOADS and len(x.regs) == 2 and x.regs[1] in (29, 30):
                    k = self.spill(d)
                    return ("stack", x.regs[1], x.imm) if k is None else self.ident(k, self.insns[k].regs[0])
                if x.m in ("move", "or", "addu") and len(x.uses) == 2 and 0 in x.uses:
                    other = [r for r in x.uses if r][:1]
                    if other:
                        return self.ident(d, other[0])
        return ds

    def spill(self, d):
        """The sw that stored the word the stack load d reads (the nearest before it), if any."""
        x = self.insns[d]
        for k in range(d - 1, -1, -1):
            y = self.insns[k]
            if y.m == "sw" and y.regs[1:] == x.regs[1:] and y.imm == x.imm:
                return k
            if x.regs[1] in y.defs:
                return None
        return None

    def value(self, i, reg, depth=0):
        """The values reg may hold at i: [(value, slice)], slice the instructions that make it."""
        if reg == 0:
            return [(("num", 0), frozenset())]
        if reg == 28:
            return [(("gp",), frozenset())]
        key = (i, reg)
        if key in self.memo:
            return self.memo[key]
        if depth > 24:
            return [(("unk",), frozenset())]
        self.memo[key] = [(("unk",), frozenset())]        # a loop back to here knows nothing
        out = []
        for d in self.defs(i, reg):
            if isinstance(d, int):
                out += [(v, s | {d}) for v, s in self.evaluate(d, depth + 1)]
            else:
                out.append((("unk",), frozenset()))
        seen, result = set(), []
        for v, s in out:
            if v not in seen:
                seen.add(v)
                result.append((v, s))
        self.memo[key] = result[:8]
        return self.memo[key]

    def address(self, sym, offset):
        """The value of a symbol plus an offset: ('addr', section, place) or ('num', v)."""
        if not sym["shndx"] or sym["shndx"] >= 0xff00:
            return ("unk",)
        if self.elf.object:
            return ("addr", sym["shndx"], sym["value"] + offset)
        return ("num", (sym["value"] + offset) & 0xFFFFFFFF)

    def evaluate(self, d, depth):
        x, elf = self.insns[d], self.elf
        m, regs = x.m, x.regs
        t, sym = x.reloc("R_MIPS_HI16", "R_MIPS_LO16", "R_MIPS_GOT16", "R_MIPS_GPREL16", "R_MIPS_CALL16")
        special = sym["name"] if sym else None
        if t == "R_MIPS_CALL16":
            return [(("unk",), frozenset())]
        if special in ("_gp_disp", "__gnu_local_gp"):
            if m == "lui":
                return [(("gphi", special), frozenset())]
            if m == "addiu":
                return [(("gpdisp",) if special == "_gp_disp" else ("gp",), s)
                        for _v, s in self.value(d, regs[1], depth)]
        if m == "lui":
            if t == "R_MIPS_HI16" and elf.object:
                return [(self.address(sym, (x.word & 0xFFFF) << 16), frozenset())]
            return [(("num", (x.word & 0xFFFF) << 16), frozenset())]
        if m == "addiu" and len(regs) == 2:
            if t == "R_MIPS_GPREL16":
                if elf.object:
                    return [(self.address(sym, x.imm), frozenset())]
                return [(("num", (elf.gp + x.imm) & 0xFFFFFFFF), frozenset())]
            out = []
            for v, s in self.value(d, regs[1], depth):
                out.append((shift(v, x.imm, elf), s))
            return out
        if m in ("ori", "or", "addu", "move") and len(regs) >= 2:
            if m == "ori":
                return [((("num", v[1] | x.word & 0xFFFF) if v[0] == "num" else ("unk",)), s)
                        for v, s in self.value(d, regs[1], depth)]
            srcs = regs[1:]
            if m == "move" or 0 in srcs:
                other = [r for r in srcs if r] or [0]
                return self.value(d, other[0], depth)
            if m == "or":
                return [(("unk",), frozenset())]
            out = []
            for a, sa in self.value(d, srcs[0], depth):
                for b, sb in self.value(d, srcs[1], depth):
                    out.append((combine(a, b), sa | sb))
            return out
        if m == "sll" and len(regs) == 2 and (x.word >> 6) & 31 == 2:
            return [(("scaled", d), frozenset())]
        if m == "lw" and len(regs) == 2 and regs[1] in (29, 30) and not t:
            k = self.spill(d)
            if k is None:
                return [(("unk",), frozenset())]
            return [(v, s | {k}) for v, s in self.value(k, self.insns[k].regs[0], depth)]
        if m == "lw" and len(regs) == 2:
            if t == "R_MIPS_GOT16":
                if elf.object:
                    local = sym["bind"] == 0
                    return [(self.address(sym, ((x.word & 0xFFFF) << 16) if local else 0), frozenset())]
                place = (elf.gp + x.imm) & 0xFFFFFFFF
                i = elf.section_at(place)
                return [(("num", elf.word(i, place)) if i is not None else ("unk",), frozenset())]
            out = []
            for v, s in self.value(d, regs[1], depth):
                out.append(((("entry", shift(v[1], x.imm, elf)) if v[0] == "elem" else ("unk",)), s))
            return out
        return [(("unk",), frozenset())]


def shift(v, k, elf):
    if v[0] == "num":
        return ("num", (v[1] + k) & 0xFFFFFFFF)
    if v[0] == "addr":
        return ("addr", v[1], v[2] + k)
    if v[0] == "gp" and not elf.object:
        return ("num", (elf.gp + k) & 0xFFFFFFFF)
    return ("unk",)


def combine(a, b):
    for p, q in ((a, b), (b, a)):
        if p[0] in ("num", "addr") and q[0] == "scaled":
            return ("elem", p)
        if p[0] == "entry" and q[0] == "gp":
            return ("target", p[1])
        if p[0] == "gpdisp" and q[0] == "unk":
            return ("gp",)
    return ("unk",)


def render(fn, i, roles, is_index):
    """Instruction i with its registers named by role and its immediates abstracted."""
    x = fn.insns[i]
    t, sym = x.reloc("R_MIPS_HI16", "R_MIPS_LO16", "R_MIPS_GOT16", "R_MIPS_GPREL16")
    label = "L" if sym is None or sym["name"] not in ("_gp_disp", "__gnu_local_gp") else sym["name"]
    names = []
    for k, r in enumerate(x.regs):
        if r in x.defs and k == 0:
            names.append(roles.get(i, "r?"))
            continue
        ds = fn.defs(i, r)
        role = next((roles[d] for d in ds if d in roles), None)
        if role:
            names.append(role)
        elif r == 28:
            names.append("$gp")
        elif r == 0:
            names.append("$0")
        elif r == 29:
            names.append("$sp")
        elif r == 30:
            names.append("$fp")
        elif is_index(i, r):
            names.append("rI")
        elif any(v[0] == "gp" for v, _s in fn.value(i, r)):
            names.append("rG")
        elif r == 25:
            names.append("$t9")
        else:
            names.append("r?")
    if x.m in ("sltiu", "slti"):
        ops = f"{names[0]},{names[1]},N"
    elif x.m in LOADS or x.m in ("sw", "sh", "sb"):
        off = f"{OPERATOR[t]}({label})" if t else "K" if x.regs[1:] in ([29], [30]) else str(x.imm)
        ops = f"{names[0]},{off}({names[1]})"
    elif x.m == "lui":
        ops = f"{names[0]},{OPERATOR[t]}({label})" if t else f"{names[0]},K"
    elif x.m == "addiu":
        ops = f"{names[0]},{names[1]},{OPERATOR[t]}({label})" if t else f"{names[0]},{names[1]},{x.imm}"
    elif x.m == "andi":
        ops = f"{names[0]},{names[1]},{x.word & 0xFFFF}"
    elif x.m == "sll":
        ops = f"{names[0]},{names[1]},{(x.word >> 6) & 31}"
    elif x.target is not None:
        ops = ",".join(names + ["default" if roles.get("branch_to_default") else "dispatch"])
    else:
        ops = ",".join(names)
    return f"{x.m} {ops}"


def analyse(path):
    """The tables of a file, each with its entries, targets and dispatch."""
    elf = Elf(path)
    entries = {}     # (section, place) -> (kind, target (section, place or address), word)
    for (i, off), rels in elf.relocs.items():
        name = elf.sec[i]["name"]
        if elf.is_code(i) or not (name.startswith(".rodata") or name.startswith(".data.rel.ro")):
            continue
        for t, sym, add in rels:
            if t in ("R_MIPS_GPREL32", "R_MIPS_32") and elf.is_code(sym["shndx"]):
                w = elf.word(i, off)
                if elf.object:
                    target = (sym["shndx"], sym["value"] + (w if add is None else add))
                else:
                    a = (w + elf.gp) & 0xFFFFFFFF if t == "R_MIPS_GPREL32" else w
                    target = (elf.section_at(a), a)
                entries[(i, off)] = ("gpword" if t == "R_MIPS_GPREL32" else "word", target, w)
    code = elf.code()
    targets = collections.defaultdict(set)
    for (i, off), (_k, (ts, ta), _w) in entries.items():
        targets[ts].add(ta)
    spans = []
    for sec, listing in code.items():
        syms = sorted({(s["value"], s["size"], s["name"]) for s in elf.syms
                       if s["shndx"] == sec and s["type"] == 2})
        cuts = sorted({v for v, _sz, _n in syms} | {listing[0][0]})
        addrs = [a for a, _w, _m, _o in listing]
        for k, start in enumerate(cuts):
            end = cuts[k + 1] if k + 1 < len(cuts) else listing[-1][0] + 4
            insns = [Insn(a, w, m, o, elf.relocs.get((sec, a), []))
                     for a, w, m, o in listing[bisect.bisect_left(addrs, start):bisect.bisect_left(addrs, end)]]
            if not insns or not any(x.m.startswith("jr") and x.regs and x.regs[0] != 31 for x in insns) and \
               not any(x.relocs for x in insns):
                continue
            name = next((n for v, _sz, n in syms if v == start), f"{elf.sec[sec]['name']}+{start:#x}")
            spans.append((sec, name, insns))
    # first with every table target as a place each jr may go to, then with its own table's only
    functions = [Function(elf, sec, name, insns, set(targets.get(sec, ()))) for sec, name, insns in spans]
    starts, dispatches, other_jumps = dispatches_of(elf, functions)
    own = collections.defaultdict(dict)
    tables = cut(entries, starts)
    for fn, j, (where, _kind, _sl) in dispatches:
        own[id(fn.insns)][fn.insns[j].addr] = {entries[(where[0], p)][1][1] for p in tables.get(where, ())
                                               if entries[(where[0], p)][1][0] == fn.section}
    functions = [Function(elf, sec, name, insns, own.get(id(insns), {})) for sec, name, insns in spans]
    more, dispatches, other_jumps = dispatches_of(elf, functions)
    starts |= more
    result = []
    for (i, off), places in sorted(cut(entries, starts).items()):
        result.append(dict(section=elf.sec[i]["name"], section_index=i, address=off, kind=entries[(i, off)][0],
                           count=len(places), referenced=(i, off) in starts,
                           words=[entries[(i, p)][2] for p in places],
                           targets=[dict(section=elf.sec[ts]["name"] if ts else None, section_index=ts, address=ta)
                                    for ts, ta in (entries[(i, p)][1] for p in places)],
                           jr=None))
    by_start = {(r["section_index"], r["address"]): r for r in result}
    forms = []
    for fn, j, (where, kind, sl) in dispatches:
        r = by_start.get(where)
        form = dispatch_form(fn, j, sl)
        if r is None:
            forms.append((form, None, fn, j))
            continue
        if r["jr"] is not None:     # the compiler copied the dispatch
            r.setdefault("more_jr", []).append(dict(section=elf.sec[fn.section]["name"], section_index=fn.section,
                                                    address=fn.insns[j].addr))
            continue
        r.update(jr=dict(section=elf.sec[fn.section]["name"], section_index=fn.section, address=fn.insns[j].addr),
                 function=fn.name, bound=form["bound"], form=form["key"], example=form["text"],
                 check_distance=form["check_distance"], load_distance=form["load_distance"])
        forms.append((form, r, fn, j))
    return elf, result, forms, other_jumps


def cut(entries, starts):
    """The runs of consecutive entries of one kind, cut at the table addresses that the code
    forms: table start (section, place) -> the places of its entries."""
    tables, last = {}, None
    for (i, off) in sorted(entries):
        up = (i, off - 4)
        if last is None or (i, off) in starts or up not in entries or entries[up][0] != entries[(i, off)][0]:
            last = tables[(i, off)] = []
        last.append(off)
    return tables


def dispatches_of(elf, functions):
    """The table addresses the code forms, the dispatches (function, jr index, (table,
    kind, slice)) and the number of other register jumps."""
    starts, dispatches, other_jumps = set(), [], 0
    for fn in functions:
        for i, x in enumerate(fn.insns):
            if x.reloc("R_MIPS_LO16", "R_MIPS_GPREL16")[0] and x.defs:
                for v, _s in fn.evaluate(i, 0):
                    p = v[1] if v[0] == "entry" else v
                    if p[0] == "addr":
                        starts.add((p[1], p[2]))
                    elif p[0] == "num" and (s := elf.section_at(p[1])) is not None:
                        starts.add((s, p[1]))
            if x.m.startswith("jr") and x.regs and x.regs[0] not in (31,):
                found = None
                for v, sl in fn.value(i, x.regs[0]):
                    if v[0] in ("target", "entry"):
                        p = v[1]
                        where = ((p[1], p[2]) if p[0] == "addr" else
                                 (elf.section_at(p[1]), p[1]) if p[0] == "num" else None)
                        if where:
                            found = (where, "gpword" if v[0] == "target" else "word", sl)
                            starts.add(where)
                            break
                if found:
                    dispatches.append((fn, i, found))
                else:
                    other_jumps += 1
    return starts, dispatches, other_jumps


def bound_check(fn, s):
    """The bound check of the index that the sll s scales: (instructions, bound, is_index).
    The instructions are a sltiu/sltu of the index (or of its andi 0xff) and the branch
    on its result; else the load or andi that gives the index its range, and a bltz or
    bgez on it."""
    insns = fn.insns
    reg = insns[s].regs[1]
    index_ident, index_defs = fn.ident(s, reg), fn.defs(s, reg)

    def same(k, r):
        """Whether r at k holds the index (or, in a loop, one of its values)."""
        ds = fn.defs(k, r)
        return fn.ident(k, r) == index_ident or all(isinstance(d, int) for d in ds) and ds <= index_defs
    # the branch on a compare of the index, nearest before the sll (else after it)
    for i in list(range(s - 1, -1, -1)) + list(range(s + 1, len(insns))):
        x = insns[i]
        if x.target is None or not x.uses or x.m in CALLS:
            continue
        for d in fn.defs(i, x.uses[0]):
            y = insns[d] if isinstance(d, int) else None
            if y is None or y.m not in ("sltiu", "sltu") or len(y.regs) < 2:
                continue
            via = sorted((k for k in fn.defs(d, y.regs[1]) if isinstance(k, int) and insns[k].m == "andi"
                          and len(insns[k].regs) == 2 and same(k, insns[k].regs[1])), key=lambda k: abs(d - k))
            if same(d, y.regs[1]) or via:
                if y.m == "sltiu":
                    bound = y.imm & 0xFFFFFFFF
                else:
                    n = [v[1] for v, _s in fn.value(d, y.regs[2]) if v[0] == "num"] if len(y.regs) > 2 else []
                    bound = n[0] if n else None
                return [d, i] + via[:1], bound, same
    # no compare: the index's own range bounds it
    ds = sorted(d for d in index_defs if isinstance(d, int))
    if not ds or len({insns[k].m for k in ds}) != 1:      # a loop may load it twice, by one kind of load
        return [], None, same
    y = insns[ds[0]]
    bound = {"lb": 128, "lbu": 256, "lh": 32768, "lhu": 65536}.get(y.m, (y.word & 0xFFFF) + 1 if y.m == "andi" else None)
    if bound is None:
        return [], None, same
    sign = [i for i, x in enumerate(insns) if x.m in ("bltz", "bgez", "bltzl", "bgezl") and same(i, x.uses[0])]
    return [ds[0]] + sign[:1], bound, same


def dispatch_form(fn, j, sl):
    """The form of the dispatch at jr j whose register's value the slice sl makes."""
    insns = fn.insns
    members = {i for i in sl if isinstance(i, int)} | {j}
    scaled = [i for i in members if insns[i].m == "sll"]
    check, bound, same = bound_check(fn, scaled[0]) if scaled else ([], None, lambda k, r: False)
    members |= set(check)
    has_lo = any(insns[i].reloc("R_MIPS_LO16")[0] for i in members)
    roles = {}
    for i in members:
        x = insns[i]
        if not x.defs:
            continue
        kinds = {v[0] for v, _s in fn.evaluate(i, 0)}
        roles[i] = ("rT" if i in check[:1] and x.m in ("sltiu", "sltu") else
                    "rI" if i in check[:1] else
                    "rJ" if i in check[2:] else          # the index zero-extended for the compare
                    "rS" if x.m == "sll" else
                    "rP" if x.m == "lui" or x.m == "lw" and x.reloc("R_MIPS_GOT16")[0] and has_lo else
                    "rB" if kinds & {"addr", "num"} else
                    "rA" if "target" in kinds else
                    "rE" if "entry" in kinds else
                    "rX" if "elem" in kinds else
                    "rG" if kinds & {"gp", "gpdisp", "gphi"} else "r?")
    roles["branch_to_default"] = len(check) > 1 and insns[check[1]].m in ("beqz", "beq", "bltz", "beqzl", "bltzl")

    def made(i):
        x = insns[i]
        if x.m == "sw":     # a spill: what it stores
            return {v[0] for v, _s in fn.value(i, x.regs[0])}
        return {v[0] for v, _s in fn.evaluate(i, 0)}
    # the set-up of a register that holds _gp's value is told apart: the prologue makes it
    setup = {i for i in members if i != j and made(i) <= {"gp", "gpdisp", "gphi"}}
    core = members - setup
    rank = {"rI": -1, "rJ": -1, "rT": 0, None: 1, "rS": 2, "rP": 3, "rB": 4, "rX": 5, "rE": 6, "rA": 7}
    canonical = sorted(core, key=lambda i: (8 if i == j else rank.get(roles.get(i), 1), i))
    key = "; ".join(render(fn, i, roles, same) for i in canonical)
    if setup:
        key += "   [rG = _gp, set by: " + "; ".join(render(fn, i, roles, same) for i in sorted(setup)) + "]"
    if not check:
        key += "   (no bound check found)"
    elif len(check) == 1:
        key += "   (no test: the index's range is the table's)"
    text, last = [], None
    for i in sorted(core):
        if last is not None and i - last > 1:
            text.append(f"({i - last - 1} more)")
        text.append(f"{insns[i].addr:x}: {insns[i].m} {insns[i].ops}".rstrip())
        last = i
    load = [i for i in core if roles.get(i) in ("rB", "rP")]
    if not load:
        place = "no table address load"
    elif check and min(load) < check[0]:
        place = "before the bound check" + ("" if fn.block_of[min(load)] == fn.block_of[check[0]] else ", in another block")
    else:
        place = "after the bound check" + ("" if fn.block_of[min(load)] == fn.block_of[j] else ", in another block than the jr")
    return dict(key=key, bound=bound, text="; ".join(text), order=" ".join(insns[i].m for i in sorted(core)),
                load_distance=j - min(load) if load else None, check_distance=j - check[0] if check else None,
                load_place=place)


def parse_map(path, obj):
    """The addresses ld's map file gives the input sections of one object: name -> address."""
    where, name, started = {}, None, False
    for line in open(path):
        if line.startswith("Linker script and memory map"):
            started = True
            continue
        if not started:
            continue
        m = re.match(r"^ (\.\S+)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+))?\s*$", line)
        if m and m.group(2):
            if os.path.basename(m.group(4)) == os.path.basename(obj):
                where.setdefault(m.group(1), int(m.group(2), 16))
            name = None
        elif m:
            name = m.group(1)
        elif name and (m := re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+)\s*$", line)):
            if os.path.basename(m.group(3)) == os.path.basename(obj):
                where.setdefault(name, int(m.group(1), 16))
            name = None
        else:
            name = None
    return where


def verify(exe_tables, obj_path, map_path):
    """Entries of the object placed as the map tells, against the executable's: (agreeing, total)."""
    obj = Elf(obj_path)
    where = parse_map(map_path, obj_path)
    exe_entries = {}
    for t in exe_tables:
        for k, tg in enumerate(t["targets"]):
            exe_entries[t["address"] + 4 * k] = tg["address"]
    good = total = 0
    for (i, off), rels in obj.relocs.items():
        name = obj.sec[i]["name"]
        if obj.is_code(i) or not (name.startswith(".rodata") or name.startswith(".data.rel.ro")):
            continue
        for t, sym, add in rels:
            if t in ("R_MIPS_GPREL32", "R_MIPS_32") and obj.is_code(sym["shndx"]):
                total += 1
                tsec = obj.sec[sym["shndx"]]["name"]
                if name in where and tsec in where:
                    target = where[tsec] + sym["value"] + (obj.word(i, off) if add is None else add)
                    good += exe_entries.get(where[name] + off) == target
    return good, total


def reference(out_dir, builds):
    os.makedirs(out_dir, exist_ok=True)
    allforms = collections.OrderedDict()
    head = f"{'variant':<34} {'tables':>6} {'entries':>7} {'with jr':>7} {'bound!=':>7} {'forms':>5}  verified"
    print(head)
    totals = collections.Counter()
    for build in builds:
        path, *more = build.split(",")
        elf, tables, forms, other = analyse(path)
        name = os.path.basename(path)
        verified = ""
        if len(more) == 2:
            good, total = verify(tables, more[0], more[1])
            verified = f"{good}/{total} entries" + ("" if good == total else "  MISMATCH")
        shutil.copyfile(path, os.path.join(out_dir, name))
        with open(os.path.join(out_dir, name + ".json"), "w") as f:
            json.dump(dict(file=name, object=elf.object, endian="little" if elf.e == "<" else "big",
                           gp=None if elf.object else elf.gp, tables=tables,
                           other_register_jumps=other), f, indent=1)
        keys = set()
        for form, r, fn, j in forms:
            key = form["key"] if r else form["key"] + "   (table not among the relocations)"
            keys.add(key)
            e = allforms.setdefault(key, dict(count=0, variants=collections.Counter(), example=None,
                                              check=[], load=0, places=collections.Counter(),
                                              orders=collections.Counter()))
            e["count"] += 1
            e["variants"][variant_class(name)] += 1
            if form["check_distance"] is not None:
                e["check"].append(form["check_distance"])
            e["load"] = max(e["load"], form["load_distance"] or 0)
            e["places"][form["load_place"]] += 1
            e["orders"][form["order"]] += 1
            if e["example"] is None or len(form["text"]) < len(e["example"]) - len(name) - len(fn.name) - 3:
                e["example"] = f"{name} {fn.name}: {form['text']}"
        c = collections.Counter(tables=len(tables), entries=sum(t["count"] for t in tables),
                                jr=sum(t["jr"] is not None for t in tables),
                                bound=sum(t["jr"] is not None and t["bound"] != t["count"] for t in tables))
        unreferenced = [t for t in tables if not t["referenced"]]
        note = f"  ({len(unreferenced)} runs no code refers to)" if unreferenced else ""
        print(f"{name:<34} {c['tables']:>6} {c['entries']:>7} {c['jr']:>7} {c['bound']:>7} {len(keys):>5}"
              f"  {verified}{note}")
        totals += c
    print(f"{'total':<34} {totals['tables']:>6} {totals['entries']:>7} {totals['jr']:>7} {totals['bound']:>7}"
          f" {len(allforms):>5}")
    print("(with jr: the tables whose dispatching jr was found; bound!=: of those, the ones whose bound"
          " check tests another number than the table's entries)")
    print(f"\n{len(allforms)} dispatch forms (the instructions from the bound check and the table's"
          " address to the jr, in the order of the values they make; most frequent first):")
    for key, e in sorted(allforms.items(), key=lambda kv: -kv[1]["count"]):
        print(f"\n{e['count']:5}  {key}")
        print(f"       by compiler, code, optimisation: "
              + ", ".join(f"{v} {n}" for v, n in sorted(e["variants"].items())))
        check = e["check"]
        where = ("no bound check" if not check else
                 f"bound check {min(check)} to {max(check)} words before the jr" if min(check) > 0 else
                 f"bound check {-max(check)} to {-min(check)} words after the jr" if max(check) < 0 else
                 f"bound check {max(check)} words before to {-min(check)} after the jr")
        print(f"       {where}; table address load at most {e['load']} words before the jr;"
              f" the load " + ", ".join(f"{w} {n}" for w, n in e["places"].most_common()))
        print("       in address order: " + "; ".join(f"{o} ({n})" for o, n in e["orders"].most_common(6))
              + ("; ..." if len(e["orders"]) > 6 else ""))
        print(f"       e.g. {e['example']}")


def variant_class(name):
    """switches.gcc.pic.O2.eb.o -> gcc pic O2."""
    return " ".join(name.split(".")[1:4])


def pelorin_sections(pelorin, path):
    r = subprocess.run([pelorin, "-E", "-D", path], capture_output=True, text=True, errors="replace")
    at = {}
    for m in re.finditer(r"^section\s+(\d+):.*\bat:\s+([0-9a-f]+)", r.stderr, re.M):
        at[int(m.group(1))] = int(m.group(2), 16)
    return at


def compare(ref_dir):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    pelorin = os.path.realpath(os.environ.get("PELORIN", os.path.join(root, "build", "pelorin")))
    if not os.access(pelorin, os.X_OK):
        sys.exit(f"no program {pelorin} (build it first)")
    line = re.compile(r"^\t([0-9a-f]{8}):\s+([0-9a-f]{8})\t(\S+)\t?(.*)$")
    switch = re.compile(r"#.*\bswitch, (\d+) cases?, table ([0-9a-f]+)")
    print(f"{pelorin} -E -X -c FILE\n")
    print(f"{'variant':<34} {'tables':>6} {'found':>6} {'wrong':>6} {'missed':>6} {'extra':>6} {'entries':>8} {'named':>8}")
    total = collections.Counter()
    for jf in sorted(f for f in os.listdir(ref_dir) if f.endswith(".json")):
        ref = json.load(open(os.path.join(ref_dir, jf)))
        path = os.path.join(ref_dir, ref["file"])
        r = subprocess.run([pelorin, "-E", "-X", "-c"] + (["-R2"] if os.environ.get("R2") else []) + [path], capture_output=True, text=True, errors="replace")
        c = collections.Counter()
        if r.returncode:
            print(f"{ref['file']:<34} pelorin failed: {(r.stderr or r.stdout).strip()[:60]}")
            continue
        at = pelorin_sections(pelorin, path) if ref["object"] else {}

        def place(section, address):
            if not ref["object"]:
                return address
            return at[section] + address if section in at else None
        lines, labels, reports, pending = {}, collections.defaultdict(set), {}, []
        for raw in r.stdout.splitlines():
            if m := line.match(raw):
                a = int(m.group(1), 16)
                lines[a] = raw
                for n in pending:
                    labels[a].add(n)
                pending = []
                if m.group(3).startswith("jr") and (s := switch.search(raw)):
                    reports[a] = (int(s.group(1)), int(s.group(2), 16))
            elif m := re.match(r"^(?:\}\{)?(\S+):$", raw.rstrip()):
                pending.append(m.group(1))
        matched = set()
        for t in ref["tables"]:
            if t["jr"] is None:
                continue
            c["tables"] += 1
            c["entries"] += t["count"]
            table = place(t["section_index"], t["address"])
            status = []
            for where in [t["jr"]] + t.get("more_jr", []):
                jr = place(where["section_index"], where["address"])
                got = reports.get(jr)
                matched.add(jr)
                status.append("missed" if got is None else "found" if got == (t["count"], table) else "wrong")
            status = min(status, key=["wrong", "missed", "found"].index)     # each copy of the jr must be right
            c[status] += 1
            if status != "found":
                continue
            for k, tg in enumerate(t["targets"]):
                target = place(tg["section_index"], tg["address"])
                text = lines.get(table + 4 * k, "")
                names = labels.get(target, set()) if target is not None else set()
                if target is not None and ("#" in text and f"{target:08x}" in text.split("#", 1)[1] or
                                           any(re.search(rf"(?<![\w.$@]){re.escape(n)}(?![\w.$@])", text) for n in names)):
                    c["named"] += 1
        c["extra"] = len(set(reports) - matched)
        total += c
        print(f"{ref['file']:<34} {c['tables']:>6} {c['found']:>6} {c['wrong']:>6} {c['missed']:>6}"
              f" {c['extra']:>6} {c['entries']:>8} {c['named']:>8}")
    print(f"{'total':<34} {total['tables']:>6} {total['found']:>6} {total['wrong']:>6} {total['missed']:>6}"
          f" {total['extra']:>6} {total['entries']:>8} {total['named']:>8}")


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "reference":
        reference(sys.argv[2], sys.argv[3:])
    elif len(sys.argv) == 3 and sys.argv[1] == "compare":
        compare(sys.argv[2])
    else:
        sys.exit(__doc__.split("\n\n")[1])
