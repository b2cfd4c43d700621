#!/usr/bin/env python3
"""Places MIPS32 ELF relocatable objects as pelorin -E does, links them with
ld.lld to those addresses and writes the linker's bytes as references.

    link.py OUT TMP RELA-SOURCE OBJECT...

OUT holds the objects (all of them, PIC ones too). For every object but the
".pic." and ".cpic." ones (named <file>.<compiler>.<kind>.<eb|el>.o) the
placement below is computed, a linker script puts each placed section at its
address, and the bytes of [0x10000000, image end) of lld's output are written
to OUT/<object>.ref. RELA-SOURCE (one of the non-PIC objects) is converted to
RELA as OUT/<stem>.rela.o, whose reference is its original's.
OUT/manifest.txt lists object, reference, image end and GP of every linked
object; OUT/layout.txt the placement and the relocation types of every
object.

A GOT slot has a place of its own in lld's layout and in pelorin's, so the
word of a relocation that selects one (CALL16, a global symbol's GOT16, and
the thread-local TLS_GD, TLS_LDM and TLS_GOTTPREL) differs in its low half,
the slot's offset from GP. OUT/slots.txt lists each such word: object,
address, and the words that lld's slot (two for TLS_GD and TLS_LDM) holds;
the slots that the word selects in pelorin's image must hold the same. The
".pic." objects are not linked: their local GOT16 entries take pages in lld's
GOT, where pelorin's slots hold the whole address; nor are the ".cpic." ones,
whose GOT entry of an undefined thread-local variable is the symbol's own
slot in pelorin's layout.

The layout, the same rules as the -E object loader's (laid out here on its own):
  - placed: every SHF_ALLOC section except SHT_MIPS_REGINFO, SHT_MIPS_ABIFLAGS
    and SHT_MIPS_OPTIONS, in section-header order, the first at 0x10000000,
    each next one at the next multiple of its sh_addralign (0 and 1: none)
    after the end of the one before, empty ones too; NOBITS are zeros; the
    image ends at the end of the last placed section;
  - GP: the image end rounded up to a multiple of 4;
  - an undefined symbol with .symtab index i is at 0x1f000000 + 16*i; an
    undefined thread-local one (lld takes no absolute address for it) stays
    undefined, which lld counts as 0, as pelorin does.

Every reference is checked: each output section is where the placement says,
and lld's _gp is GP; lld's link of the RELA object must give the bytes of its
original's reference.
"""
import os
import struct
import subprocess
import sys

BASE = 0x10000000
UNDEF_BASE = 0x1f000000
SHF_ALLOC = 0x2
SHT_NOBITS, SHT_REL, SHT_RELA, SHT_SYMTAB = 8, 9, 4, 2
NOT_PLACED = {0x70000006, 0x7000002a, 0x7000000d}  # REGINFO, ABIFLAGS, OPTIONS
STT_TLS = 6
R_NAMES = {0: "NONE", 2: "32", 4: "26", 5: "HI16", 6: "LO16", 7: "GPREL16",
           9: "GOT16", 10: "PC16", 11: "CALL16", 12: "GPREL32", 37: "JALR",
           38: "TLS_DTPMOD32", 39: "TLS_DTPREL32", 42: "TLS_GD", 43: "TLS_LDM",
           44: "TLS_DTPREL_HI16", 45: "TLS_DTPREL_LO16", 46: "TLS_GOTTPREL",
           47: "TLS_TPREL32", 49: "TLS_TPREL_HI16", 50: "TLS_TPREL_LO16"}
# The relocations that select a GOT slot, with the number of its words.
GOT_WORDS = {9: 1, 11: 1, 42: 2, 43: 2, 46: 1}
SHDR = "10I"


def fail(message):
    sys.exit(f"link.py: {message}")


def sext(value, bits):
    value &= (1 << bits) - 1
    return value - (1 << bits) if value >> (bits - 1) else value


class Elf:
    def __init__(self, data, name):
        if data[:4] != b"\x7fELF" or data[4] != 1 or data[5] not in (1, 2):
            fail(f"{name}: not a 32-bit ELF file")
        self.name = name
        self.data = bytearray(data)
        self.o = "<" if data[5] == 1 else ">"
        self.shoff, = struct.unpack_from(self.o + "I", data, 32)
        shentsize, self.shnum, self.shstrndx = struct.unpack_from(self.o + "3H", data, 46)
        if shentsize != 40 or self.shnum == 0 or self.shstrndx >= self.shnum:
            fail(f"{name}: unexpected section header table")
        self.sections = []
        for i in range(self.shnum):
            f = struct.unpack_from(self.o + SHDR, data, self.shoff + 40 * i)
            self.sections.append(dict(zip(
                ("name_at", "type", "flags", "addr", "offset", "size", "link",
                 "info", "align", "entsize"), f)))
        names = self.sections[self.shstrndx]
        for s in self.sections:
            s["name"] = self.cstr(names["offset"] + s["name_at"])

    def cstr(self, at):
        return bytes(self.data[at:self.data.index(0, at)]).decode()

    def word(self, at):
        return struct.unpack_from(self.o + "I", self.data, at)[0]

    def content(self, s):
        return bytes(self.data[s["offset"]:s["offset"] + s["size"]])

    def symbols(self):
        tabs = [s for s in self.sections if s["type"] == SHT_SYMTAB]
        if len(tabs) != 1:
            fail(f"{self.name}: {len(tabs)} symbol tables")
        tab = tabs[0]
        strs = self.sections[tab["link"]]["offset"]
        out = []
        for i in range(tab["size"] // 16):
            name, value, size, info, other, shndx = struct.unpack_from(
                self.o + "3I2BH", self.data, tab["offset"] + 16 * i)
            out.append({"name": self.cstr(strs + name), "value": value,
                        "shndx": shndx, "bind": info >> 4, "type": info & 0xf})
        return out

    def relocations(self):
        """(section index of the relocated section, [(offset, sym, type, addend
        or None)]) for every REL and RELA section."""
        for s in self.sections:
            if s["type"] not in (SHT_REL, SHT_RELA):
                continue
            size = 8 if s["type"] == SHT_REL else 12
            entries = []
            for at in range(s["offset"], s["offset"] + s["size"], size):
                offset, info = struct.unpack_from(self.o + "2I", self.data, at)
                addend = (struct.unpack_from(self.o + "i", self.data, at + 8)[0]
                          if size == 12 else None)
                entries.append((offset, info >> 8, info & 0xff, addend))
            yield s, entries

    def rewrite(self, renames=None, replaced=None):
        """A copy with sections renamed ({index: name}) and section contents
        replaced ({index: (type, entsize, bytes)}, appended at the end), and
        the section-name table appended after them with the new names."""
        renames, replaced = renames or {}, replaced or {}
        data = bytearray(self.data)
        sections = [dict(s) for s in self.sections]
        for i, (kind, entsize, blob) in sorted(replaced.items()):
            data += bytes(-len(data) % 4)
            sections[i].update(type=kind, entsize=entsize, offset=len(data), size=len(blob))
            data += blob
        # The old table stays as it is (clang's holds the symbol names too);
        # the new names follow it.
        table = bytearray(self.content(self.sections[self.shstrndx]))
        for i, name in sorted(renames.items()):
            sections[i]["name_at"] = len(table)
            table += name.encode() + b"\0"
        sections[self.shstrndx].update(offset=len(data), size=len(table))
        data += table
        for i, s in enumerate(sections):
            struct.pack_into(self.o + SHDR, data, self.shoff + 40 * i, *(
                s[k] for k in ("name_at", "type", "flags", "addr", "offset", "size",
                               "link", "info", "align", "entsize")))
        return bytes(data)


def place(elf):
    """[(section index, address)], image end, GP."""
    placed, at = [], BASE
    for i, s in enumerate(elf.sections):
        if s["flags"] & SHF_ALLOC and s["type"] not in NOT_PLACED:
            align = max(s["align"], 1)
            at = -(-at // align) * align
            placed.append((i, at))
            at += s["size"]
    return placed, at, (at + 3) & ~3


def implicit_addends(elf, entries, target):
    """The addend of every REL entry of a section, read from the bytes in
    place, as a RELA entry must hold it (the full addend A)."""
    base = target["offset"]
    out, last_hi = [], {}
    for n, (offset, sym, kind, _) in enumerate(entries):
        word = elf.word(base + offset)
        if kind in (2, 12):
            a = sext(word, 32)
        elif kind == 4:
            a = sext((word & 0x3ffffff) << 2, 28)
        elif kind == 5:
            lo = next((e for e in entries[n + 1:] if e[2] == 6 and e[1] == sym), None)
            if lo is None:
                fail(f"{elf.name}: R_MIPS_HI16 at {offset:#x} without a R_MIPS_LO16")
            a = sext(((word & 0xffff) << 16) + sext(elf.word(base + lo[0]), 16), 32)
            last_hi[sym] = word & 0xffff
        elif kind == 6:
            a = sext(word, 16)
            if sym in last_hi:  # paired: its HI16's high half and its own low half
                a = sext((last_hi[sym] << 16) + a, 32)
        elif kind == 7:
            a = sext(word, 16)
        elif kind == 10:
            a = sext((word & 0xffff) << 2, 18)
        else:
            fail(f"{elf.name}: relocation type {kind} has no implicit addend rule here")
        out.append(a)
    return out


FIELD = {2: 0xffffffff, 12: 0xffffffff, 4: 0x3ffffff, 5: 0xffff, 6: 0xffff,
         7: 0xffff, 10: 0xffff}


def to_rela(elf):
    """The object with every REL section made RELA (its implicit addends as
    r_addend, renamed .rela.X) and every relocated field overwritten by a
    0x5a5a... pattern."""
    data = bytearray(elf.data)
    replaced, renames = {}, {}
    for rel, entries in list(elf.relocations()):
        if rel["type"] != SHT_REL:
            fail(f"{elf.name}: already has RELA")
        target = elf.sections[rel["info"]]
        addends = implicit_addends(elf, entries, target)
        blob = b"".join(struct.pack(elf.o + "IIi", off, (sym << 8) | kind, a)
                        for (off, sym, kind, _), a in zip(entries, addends))
        for off, _, kind, _ in entries:
            at = target["offset"] + off
            if target["type"] == SHT_NOBITS:
                fail(f"{elf.name}: relocation in a NOBITS section")
            w = struct.unpack_from(elf.o + "I", data, at)[0]
            m = FIELD[kind]
            struct.pack_into(elf.o + "I", data, at, (w & ~m & 0xffffffff) | (0x5a5a5a5a & m))
        i = elf.sections.index(rel)
        if not rel["name"].startswith(".rel."):
            fail(f"{elf.name}: REL section named {rel['name']}")
        renames[i] = ".rela." + rel["name"][len(".rel."):]
        replaced[i] = (SHT_RELA, 12, blob)
    garbled = Elf(bytes(data), elf.name)
    return Elf(garbled.rewrite(renames, replaced), elf.name + " (RELA)")


def link(elf, path, placed, end, gp, tmp):
    """lld's bytes of [BASE, end) of the object at path, placed as said."""
    stem = os.path.basename(path)
    # Each placed section gets a name of its own in a copy of the object, so
    # that the script selects exactly it (names may repeat in an object).
    copy = os.path.join(tmp, stem + ".unique.o")
    with open(copy, "wb") as f:
        f.write(elf.rewrite({i: f".pelorin.placed.{i}" for i, _ in placed}))
    lines = ["SECTIONS", "{"]
    for i, a in placed:
        lines.append(f"    .p{i} {a:#010x} : {{ KEEP(*(.pelorin.placed.{i})) }}")
    lines += [f"    _gp = {gp:#010x};",
              # lld makes a .got for MIPS even when nothing uses it; it goes
              # a page past the image, out of the way of the placed sections.
              f"    .got {((end + 0xfff) & ~0xfff) + 0x1000:#010x} : {{ *(.got) }}",
              "    /DISCARD/ : { *(.MIPS.abiflags) *(.reginfo) *(.MIPS.options)"
              " *(.comment) *(.pdr) *(.gnu.attributes) *(.mdebug.*) }",
              "}", ""]
    script = os.path.join(tmp, stem + ".ld")
    with open(script, "w") as f:
        f.write("\n".join(lines))
    out = os.path.join(tmp, stem + ".elf")
    symbols = elf.symbols()
    args = ["ld.lld", "-O0", "--no-pie", "-static", "-e", f"{BASE:#x}", "-T", script]
    if elf.o == "<":
        args.append("-EL")
    for n, sym in enumerate(symbols):
        if n and sym["shndx"] == 0:
            if sym["type"] == STT_TLS:
                args.append("--unresolved-symbols=ignore-all")
            else:
                args.append(f"--defsym={sym['name']}={UNDEF_BASE + 16 * n:#x}")
    subprocess.run(args + [copy, "-o", out], check=True)

    linked = Elf(open(out, "rb").read(), out)
    by_name = {s["name"]: s for s in linked.sections}
    image = bytearray(end - BASE)
    for i, a in placed:
        size = elf.sections[i]["size"]
        s = by_name.get(f".p{i}")
        if s is None:
            if size:
                fail(f"{path}: section {i} is missing from lld's output")
            continue  # an empty section may be dropped: nothing to compare
        if s["addr"] != a or s["size"] != size:
            fail(f"{path}: section {i} ({elf.sections[i]['name']}) landed at "
                 f"{s['addr']:#x} size {s['size']:#x}, not {a:#x} size {size:#x}")
        if s["type"] != SHT_NOBITS:
            image[a - BASE:a - BASE + size] = linked.content(s)
    ours = {f".p{i}" for i, _ in placed}
    for s in linked.sections:
        if (s["flags"] & SHF_ALLOC and s["name"] not in ours and s["size"]
                and s["addr"] < end and s["addr"] + s["size"] > BASE):
            fail(f"{path}: lld put {s['name']} at {s['addr']:#x}, inside the image")
    gps = [x["value"] for x in linked.symbols() if x["name"] == "_gp"]
    if gps != [gp]:
        fail(f"{path}: lld's _gp is {gps}, not {gp:#x}")
    return bytes(image), got_slots(elf, placed, symbols, linked, gp, path)


def got_slots(elf, placed, symbols, linked, gp, path):
    """[(address, [words])] of every word that selects a GOT slot, with what
    lld's slot holds."""
    address = dict(placed)
    out = []
    for rel, entries in elf.relocations():
        if rel["info"] not in address:
            continue
        for offset, sym, kind, _ in entries:
            if kind not in GOT_WORDS:
                continue
            if kind == 9 and symbols[sym]["bind"] == 0:
                fail(f"{path}: a local GOT16 at {offset:#x}: lld's page entry is not pelorin's")
            if kind in (42, 46) and symbols[sym]["shndx"] == 0:
                fail(f"{path}: an undefined variable's slot at {offset:#x} is its symbol's "
                     "in pelorin's layout")
            at = address[rel["info"]] + offset
            slot = gp + sext(read_at(linked, at, path), 16)
            out.append((at, [read_at(linked, slot + 4 * k, path)
                             for k in range(GOT_WORDS[kind])]))
    return sorted(out)


def read_at(linked, address, path):
    """The word at an address of lld's output."""
    for s in linked.sections:
        if (s["flags"] & SHF_ALLOC and s["type"] != SHT_NOBITS
                and s["addr"] <= address < s["addr"] + s["size"]):
            return linked.word(s["offset"] + address - s["addr"])
    fail(f"{path}: lld's output holds no word at {address:#x}")


def describe(elf, name, placed, end, gp):
    kinds = sorted({e[2] for _, entries in elf.relocations() for e in entries})
    out = [f"{name}  end {end:08x}  gp {gp:08x}  relocations "
           + " ".join(f"{k}({R_NAMES.get(k, '?')})" for k in kinds)]
    for i, a in placed:
        s = elf.sections[i]
        nobits = " nobits" if s["type"] == SHT_NOBITS else ""
        out.append(f"    [{i:2}] {s['name']:<16} {a:08x} size {s['size']:5x} "
                   f"align {s['align']:2}{nobits}")
    return out


def main():
    outdir, tmp, rela_source, *names = sys.argv[1:]
    manifest = ["# object reference image-end gp (hex); the image starts at 10000000"]
    layout = []
    refs = {}
    slots = ["# object, address of a word that selects a GOT slot, the words that"
             " lld's slot holds (hex)"]
    for name in names + [rela_source[:-len(".o")] + ".rela.o"]:
        path = os.path.join(outdir, name)
        if name.endswith(".rela.o"):
            original = Elf(open(os.path.join(outdir, rela_source), "rb").read(), rela_source)
            elf = to_rela(original)
            with open(path, "wb") as f:
                f.write(elf.data)
            elf = Elf(open(path, "rb").read(), name)
        else:
            elf = Elf(open(path, "rb").read(), name)
        placed, end, gp = place(elf)
        layout += describe(elf, name, placed, end, gp)
        if name.split(".")[2] in ("pic", "cpic"):
            continue
        linked, got = link(elf, path, placed, end, gp, tmp)
        slots += [f"{name} {at:08x} " + " ".join(f"{w:08x}" for w in words)
                  for at, words in got]
        if name.endswith(".rela.o"):
            ref = rela_source + ".ref"
            if refs[ref] != linked:
                fail(f"{name}: the RELA object does not give its original's bytes")
        else:
            ref = name + ".ref"
            refs[ref] = linked
            with open(os.path.join(outdir, ref), "wb") as f:
                f.write(linked)
        manifest.append(f"{name} {ref} {end:08x} {gp:08x}")
    with open(os.path.join(outdir, "manifest.txt"), "w") as f:
        f.write("\n".join(manifest) + "\n")
    with open(os.path.join(outdir, "slots.txt"), "w") as f:
        f.write("\n".join(slots) + "\n")
    with open(os.path.join(outdir, "layout.txt"), "w") as f:
        f.write("# object, image end, GP, relocation types; its placed sections"
                " (index, name, address, size, sh_addralign)\n")
        f.write("\n".join(layout) + "\n")


main()
