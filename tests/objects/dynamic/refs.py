#!/usr/bin/env python3
"""Writes the reference of one MIPS32 program or library of this directory,
read from GNU binutils' output (mips-linux-gnu-readelf and -objdump read
both byte orders), and checks its copies against it.

    refs.py OUT NAME RELOCS-COPY|- COPY...

OUT/NAME is the file; OUT/NAME.ref is written. RELOCS-COPY is the same link
made with --emit-relocs (or - where the code reaches no string through a
local GOT entry): its relocations name the string literals. Each COPY (a
file in OUT) must hold the same program headers and the same bytes in every
PT_LOAD segment as NAME, and readelf -A and -d must read the same from it:
NAME's reference is then the copy's too. A line per file is added to
OUT/manifest.txt. README.md describes the lines of a reference.
"""
import os
import re
import struct
import subprocess
import sys

READELF = "mips-linux-gnu-readelf"
OBJDUMP = "mips-linux-gnu-objdump"
PT_LOAD = 1


def fail(message):
    sys.exit(f"refs.py: {message}")


def run(*args):
    result = subprocess.run(args, capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"{' '.join(args)}: {result.stderr.strip()}")
    return result.stdout


def h8(value):
    return f"{value:08x}"


class Image:
    """The ELF header's fields and the PT_LOAD segments, read from the
    file's bytes (only to compare copies and to read a string)."""

    def __init__(self, path):
        self.data = open(path, "rb").read()
        d = self.data
        if d[:4] != b"\x7fELF" or d[4] != 1 or d[5] not in (1, 2):
            fail(f"{path}: not a 32-bit ELF file")
        self.o = "<" if d[5] == 1 else ">"
        self.shoff, = struct.unpack_from(self.o + "I", d, 32)
        phoff, = struct.unpack_from(self.o + "I", d, 28)
        phentsize, phnum, _, self.shnum, self.shstrndx = struct.unpack_from(
            self.o + "5H", d, 42)
        self.phdrs = [struct.unpack_from(self.o + "8I", d, phoff + phentsize * i)
                      for i in range(phnum)]
        self.loads = [p for p in self.phdrs if p[0] == PT_LOAD]

    def segments(self):
        return [(p, self.data[p[1]:p[1] + p[4]]) for p in self.loads]

    def cstring(self, address):
        for _, offset, vaddr, _, filesz, _, _, _ in self.loads:
            if vaddr <= address < vaddr + filesz:
                at = offset + address - vaddr
                return self.data[at:self.data.index(0, at)]
        fail(f"no file bytes at {address:#x}")


def parse_got(path, dynamic=False):
    """readelf -A: the kind of GOT, gp, and its rows by part. A file without
    section headers is read with -D, through its dynamic segment."""
    text = run(READELF, *(["-D"] if dynamic else []), "-A", "-W", path)
    got = {"kind": None, "gp": None, "reserved": [], "local": [], "global": [],
           "pltreserved": [], "plt": []}
    part = None
    for line in text.splitlines():
        s = line.strip()
        if s in ("Primary GOT:", "Static GOT:"):
            got["kind"] = s.split()[0].lower()
            part = None
        elif s == "PLT GOT:":
            got["kind_plt"] = True
            part = "pltreserved-pending"
        elif s.startswith("Canonical gp value:"):
            got["gp"] = int(s.split()[-1], 16)
        elif s == "Reserved entries:":
            part = "pltreserved" if part == "pltreserved-pending" else "reserved"
        elif s == "Local entries:":
            part = "local"
        elif s == "Global entries:":
            part = "global"
        elif s == "Entries:":
            part = "plt"
        elif s.startswith("Address") or not s:
            continue
        elif part in ("reserved", "local"):
            m = re.fullmatch(r"([0-9a-f]{8}) (-?\d+)\(gp\) ([0-9a-f]{8})( .*)?", s)
            if not m:
                fail(f"{path}: readelf -A: {line!r}")
            got[part].append((int(m[1], 16), int(m[2]), int(m[3], 16)))
        elif part == "global":
            m = re.fullmatch(r"([0-9a-f]{8}) (-?\d+)\(gp\) ([0-9a-f]{8}) ([0-9a-f]{8})"
                             r" +(\S+) +(\S+) (\S+)", s)
            if not m:
                fail(f"{path}: readelf -A: {line!r}")
            got["global"].append((int(m[1], 16), int(m[2]), int(m[3], 16),
                                  int(m[4], 16), m[5], m[6], m[7]))
        elif part == "pltreserved":
            m = re.fullmatch(r"([0-9a-f]{8}) ([0-9a-f]{8})( .*)?", s)
            if not m:
                fail(f"{path}: readelf -A: {line!r}")
            got["pltreserved"].append((int(m[1], 16), int(m[2], 16)))
        elif part == "plt":
            m = re.fullmatch(r"([0-9a-f]{8}) ([0-9a-f]{8}) ([0-9a-f]{8}) +(\S+) +(\S+) (\S+)", s)
            if not m:
                fail(f"{path}: readelf -A: {line!r}")
            got["plt"].append((int(m[1], 16), int(m[2], 16), int(m[3], 16),
                               m[4], m[5], m[6]))
    if got["kind"] is None or got["gp"] is None:
        fail(f"{path}: readelf -A shows no GOT")
    return got


def readelf_dynamic(path):
    """readelf -d: (tag, name, the value as shown), NULL excluded."""
    rows = []
    for line in run(READELF, "-d", "-W", path).splitlines():
        m = re.match(r"\s*0x([0-9a-f]+) \((\w+)\)\s+(.*)$", line)
        if m and m[2] != "NULL":
            rows.append((int(m[1], 16), m[2], m[3].strip()))
    return rows


def parse_dynamic(path):
    """readelf -d for the tags and their names, objdump -p for the values as
    numbers (readelf writes some as words: PLTREL, MIPS_FLAGS). (tag, name,
    value) in the section's order, NULL excluded; value is a string for the
    tags that name a string."""
    rows = readelf_dynamic(path)
    values = []
    section = run(OBJDUMP, "-p", path).split("Dynamic Section:\n", 1)
    if len(section) == 2:
        for line in section[1].splitlines():
            m = re.match(r"  (\S+)\s+(.*)$", line)
            if not m:
                break
            values.append(m[2].strip())
    if len(rows) != len(values):
        fail(f"{path}: readelf -d shows {len(rows)} tags, objdump -p {len(values)}")
    out = []
    for (tag, name, shown), value in zip(rows, values):
        m = re.match(r"(?:Shared library|Library soname|Library rpath|Library runpath): \[(.*)\]$", shown)
        if m:
            if m[1] != value:
                fail(f"{path}: {name}: {shown!r} against {value!r}")
            out.append((tag, name, m[1]))
            continue
        number = int(value, 16)
        m = re.fullmatch(r"(0x[0-9a-f]+|\d+)(?: \(bytes\))?", shown)
        if m and int(m[1], 0) != number:
            fail(f"{path}: {name}: readelf {shown!r}, objdump {value!r}")
        out.append((tag, name, number))
    return out


def parse_dynsyms(path, dynamic=False):
    out = []
    args = ["-D", "-s"] if dynamic else ["--dyn-syms"]
    for line in run(READELF, *args, "-W", path).splitlines():
        m = re.match(r"\s*(\d+): ([0-9a-f]{8}) +(\S+) (\S+) +(\S+) +(\S+) +(\S+) ?(.*)$", line)
        if not m:
            continue
        size = int(m[3], 0) if m[3].startswith("0x") else int(m[3])
        name, version = m[8], "-"
        v = re.fullmatch(r"(.*?)(@@?)([^@ ]+)(?: \(\d+\))?", name)
        if v:
            name, version = v[1], v[2] + v[3]
        out.append((int(m[1]), int(m[2], 16), size, m[4], m[5], m[6], m[7], name or "-", version))
    for i, row in enumerate(out):
        if row[0] != i:
            fail(f"{path}: --dyn-syms: index {row[0]} at {i}")
    return out


def sections(path):
    out = {}
    for line in run(READELF, "-S", "-W", path).splitlines():
        m = re.match(r"\s*\[\s*\d+\] (\S+)\s+\S+\s+([0-9a-f]{8}) ([0-9a-f]{6,}) ([0-9a-f]{6,})", line)
        if m:
            out[m[1]] = (int(m[2], 16), int(m[4], 16))
    return out


def disassembly(path, section=None):
    """address -> (word, mnemonic, operands), and the labels: address -> name."""
    args = [OBJDUMP, "-d", "-z"] + (["-j", section] if section else []) + [path]
    insns, labels = {}, {}
    for line in run(*args).splitlines():
        m = re.match(r"([0-9a-f]{8}) <(.+)>:$", line)
        if m:
            labels[int(m[1], 16)] = m[2]
            continue
        m = re.match(r"\s*([0-9a-f]+):\t([0-9a-f]{8}) \t(\S+)\t?(\S*)", line)
        if m:
            insns[int(m[1], 16)] = (int(m[2], 16), m[3], m[4])
    return insns, labels


def sext16(value):
    value &= 0xffff
    return value - 0x10000 if value & 0x8000 else value


def gp_symbol(path):
    for line in run(READELF, "-s", "-W", path).splitlines():
        f = line.split()
        if len(f) >= 8 and f[7] == "_gp" and f[0].endswith(":"):
            return int(f[1], 16)
    return None


def gp_reginfo(path, image):
    dump = run(READELF, "-x", ".reginfo", path)
    raw = b""
    for line in dump.splitlines():
        m = re.match(r"\s+0x[0-9a-f]+ ((?:[0-9a-f]{2,8} ?){1,4})", line)
        if m:
            raw += bytes.fromhex(m[1].replace(" ", ""))
    if len(raw) != 24:
        return None
    return struct.unpack_from(image.o + "I", raw, 20)[0]


def quote(data):
    out = []
    for b in data:
        c = chr(b)
        if c in '"\\':
            out.append("\\" + c)
        elif c == "\n":
            out.append("\\n")
        elif c == "\t":
            out.append("\\t")
        elif 0x20 <= b < 0x7f:
            out.append(c)
        else:
            out.append(f"\\x{b:02x}")
    return '"' + "".join(out) + '"'


def mask(image, ranges):
    """The bytes of the PT_LOAD segments, those of the (address, size) ranges
    zeroed."""
    out = []
    for p, data in image.segments():
        data = bytearray(data)
        for address, size in ranges:
            lo, hi = max(address - p[2], 0), min(address + size - p[2], len(data))
            if lo < hi:
                data[lo:hi] = bytes(hi - lo)
        out.append(bytes(data))
    return out


def header_fields(image):
    """The ranges of e_shoff and of e_shnum and e_shstrndx in the segment
    that holds the ELF header."""
    return [(p[2] + at, 4) for p in image.loads if p[1] == 0 for at in (32, 48)]


def strings(name, path, copy, got, image, insns):
    """(lw, GOT entry, addiu, string address, text) of every string literal
    reached through a local GOT entry: from the R_MIPS_GOT16 and R_MIPS_LO16
    relocations that --emit-relocs keeps against gcc's $LC labels, whose
    values readelf -r prints; checked against the GOT and the code."""
    # The copy's extra .rel sections shift the section indexes that .dynsym
    # and DT_MIPS_UNREFEXTNO hold, and the ELF header's e_shoff, e_shnum and
    # e_shstrndx; every other loaded byte is the file's.
    other = Image(copy)
    secs = sections(path)
    masked = [secs[s] for s in (".dynamic", ".dynsym") if s in secs] + header_fields(image)
    if other.phdrs != image.phdrs or mask(other, masked) != mask(image, masked):
        fail(f"{name}: the --emit-relocs copy is laid out otherwise")
    got16, pairs = {}, []
    current = None
    for line in run(READELF, "-r", "-W", copy).splitlines():
        if line.startswith("Relocation section"):
            current = line.split("'")[1]
            continue
        m = re.match(r"([0-9a-f]{8}) +([0-9a-f]{8}) (R_MIPS_\w+) +([0-9a-f]{8}) +(\$LC\d+)", line)
        if not m or not current.startswith(".rel.text"):
            continue
        at, sym, kind, value = int(m[1], 16), int(m[2], 16) >> 8, m[3], int(m[4], 16)
        if kind == "R_MIPS_GOT16":
            got16.setdefault(sym, []).append(at)
        elif kind == "R_MIPS_LO16":
            before = [a for a in got16.get(sym, []) if a < at]
            if not before:
                fail(f"{name}: no R_MIPS_GOT16 before the R_MIPS_LO16 at {at:#x}")
            pairs.append((max(before), at, value))
    local = {address: initial for address, _, initial in got["local"]}
    out = []
    for lw, addiu, value in sorted(pairs):
        w1, m1, o1 = insns[lw]
        w2, m2, o2 = insns[addiu]
        lm = re.fullmatch(r"(\w+),(-?\d+)\(gp\)", o1)
        am = re.fullmatch(r"(\w+),(\w+),(-?\d+)", o2)
        if m1 != "lw" or not lm or m2 != "addiu" or not am or am[2] != lm[1]:
            fail(f"{name}: {lw:#x} {m1} {o1} / {addiu:#x} {m2} {o2}: no GOT page and low half")
        entry = got["gp"] + int(lm[2])
        if entry not in local or (local[entry] + int(am[3])) & 0xffffffff != value:
            fail(f"{name}: {lw:#x}: the local GOT entry {entry:#x} and {am[3]} do not give {value:#x}")
        text = image.cstring(value)
        if not text or any(b < 0x20 and b not in (9, 10) for b in text):
            fail(f"{name}: no string at {value:#x}")
        out.append((lw, entry, addiu, value, text))
    if not out:
        fail(f"{name}: no string literal reached through the GOT")
    return out


def stubs(name, path, got, dynsyms, secs):
    """(address, dynamic symbol index, name) of every lazy-binding stub: the
    Sym.Val. that readelf -A shows of an undefined function in the global
    GOT, inside .MIPS.stubs; each stub's code is checked, and its li $t8
    must load the index of that symbol in --dyn-syms."""
    if ".MIPS.stubs" not in secs:
        return []
    start, size = secs[".MIPS.stubs"]
    insns, _ = disassembly(path, ".MIPS.stubs")
    index = {}
    for row in dynsyms:
        index.setdefault(row[7], []).append(row[0])
    out = []
    for _, _, _, symval, kind, ndx, sym in got["global"]:
        if not (start <= symval < start + size):
            continue
        if kind != "FUNC" or ndx != "UND":
            fail(f"{name}: {sym} has a stub but is not an undefined function")
        words = [insns[symval + 4 * i][0] for i in range(4)]
        if words[:3] != [0x8f998010, 0x03e07825, 0x0320f809] or words[3] >> 16 != 0x2418:
            fail(f"{name}: the stub of {sym} at {symval:#x}: {[hex(w) for w in words]}")
        n = words[3] & 0xffff
        if n not in index.get(sym, []):
            fail(f"{name}: the stub of {sym} loads {n}, not its dynamic symbol index")
        out.append((symval, n, sym))
    used = sorted(a for a in insns if a % 16 == start % 16 and insns[a][0] != 0)
    if used != sorted(a for a, _, _ in out):
        fail(f"{name}: stubs in .MIPS.stubs that readelf -A does not name")
    return sorted(out)


def plt(name, path, got, secs):
    """(address, .got.plt slot, name) of every PLT entry that objdump labels
    NAME@plt; the slot (from the entry's lui $t7 and lw $t9) must be the
    readelf -A PLT GOT entry of that name."""
    if ".plt" not in secs:
        return None, []
    insns, labels = disassembly(path, ".plt")
    slots = {address: sym for address, _, _, _, _, sym in got["plt"]}
    out, header = [], None
    for address, label in sorted(labels.items()):
        if label == "_PROCEDURE_LINKAGE_TABLE_":
            header = address
            continue
        m = re.fullmatch(r"(.+)@plt", label)
        if not m:
            fail(f"{name}: PLT label {label}")
        (w0, m0, o0), (w1, m1, o1) = insns[address], insns[address + 4]
        if m0 != "lui" or not o0.startswith("t7,") or m1 != "lw" or not o1.startswith("t9,"):
            fail(f"{name}: the PLT entry {label} is not lui $t7 / lw $t9")
        slot = ((w0 & 0xffff) << 16) + sext16(w1) & 0xffffffff
        if slots.get(slot) != m[1]:
            fail(f"{name}: {label} loads {slot:#x}, which readelf -A names {slots.get(slot)}")
        out.append((address, slot, m[1]))
    if len(out) != len(got["plt"]):
        fail(f"{name}: {len(out)} PLT entries, {len(got['plt'])} PLT GOT entries")
    return header, out


def check_copy(name, copy, image, got, dynamic, dynsyms):
    other = Image(copy)
    fields = header_fields(image)
    if other.phdrs != image.phdrs or mask(other, fields) != mask(image, fields):
        fail(f"{copy}: its segments differ from {name}'s")
    # objdump -p shows no dynamic section without section headers.
    same_dynamic = parse_dynamic(copy) == dynamic if other.shnum else \
        readelf_dynamic(copy) == readelf_dynamic(os.path.join(os.path.dirname(copy), name))
    if parse_got(copy, not other.shnum) != got or not same_dynamic:
        fail(f"{copy}: readelf reads another GOT or dynamic section than in {name}")
    # Without section headers, a local section symbol has no name.
    theirs = parse_dynsyms(copy, not other.shnum)
    ours = [r[:7] + ("-" if r[3:5] == ("SECTION", "LOCAL") and not other.shnum else r[7],)
            + r[8:] for r in dynsyms]
    if theirs != ours:
        fail(f"{copy}: other dynamic symbols than {name}'s")
    return other


def main():
    if len(sys.argv) < 4:
        fail("usage: refs.py OUT NAME RELOCS-COPY|- COPY...")
    out, name, relocs, copies = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    path = os.path.join(out, name)
    image = Image(path)
    header = run(READELF, "-h", path)
    elf_type = re.search(r"Type:\s+(\w+)", header)[1]
    entry = int(re.search(r"Entry point address:\s+0x([0-9a-f]+)", header)[1], 16)
    got = parse_got(path)
    dynamic = parse_dynamic(path)
    dynsyms = parse_dynsyms(path)
    secs = sections(path)
    insns, _ = disassembly(path)
    tags = {n: v for _, n, v in dynamic}

    lines = [f"# {name}: read from GNU binutils' readelf -h -A -d --dyn-syms -r -s -x"
             " and objdump -d -p; README.md describes the lines",
             f"elf-type {elf_type}", f"entry {h8(entry)}", f"got-table {got['kind']}",
             f"gp {h8(got['gp'])}"]
    gps = {got["gp"]}
    symbol = gp_symbol(path)
    if symbol is not None:
        lines.append(f"gp-symbol {h8(symbol)}")
        gps.add(symbol)
    reginfo = gp_reginfo(path, image)
    if reginfo is not None:
        lines.append(f"gp-reginfo {h8(reginfo)}")
        gps.add(reginfo)
    if "PLTGOT" in tags:
        gps.add(tags["PLTGOT"] + 0x7ff0)
    if len(gps) != 1:
        fail(f"{name}: the gp values differ: {sorted(hex(g) for g in gps)}")

    for tag, tag_name, value in dynamic:
        shown = f'"{value}"' if isinstance(value, str) else h8(value)
        lines.append(f"dyn {h8(tag)} {tag_name} {shown}")
    if dynamic:
        gotno = tags["MIPS_LOCAL_GOTNO"]
        if len(got["reserved"]) + len(got["local"]) != gotno:
            fail(f"{name}: {len(got['local'])} local GOT entries, DT_MIPS_LOCAL_GOTNO {gotno}")
        if len(got["global"]) != tags["MIPS_SYMTABNO"] - tags["MIPS_GOTSYM"]:
            fail(f"{name}: {len(got['global'])} global GOT entries")
        for i, row in enumerate(got["global"]):
            sym = dynsyms[tags["MIPS_GOTSYM"] + i]
            if sym[7] != row[6]:
                fail(f"{name}: global GOT entry {i} is {row[6]}, its dynamic symbol {sym[7]}")

    for address, access, initial in got["reserved"]:
        lines.append(f"got reserved {h8(address)} {access} {h8(initial)}")
    for address, access, initial in got["local"]:
        lines.append(f"got local {h8(address)} {access} {h8(initial)}")
    for address, access, initial, symval, kind, ndx, sym in got["global"]:
        lines.append(f"got global {h8(address)} {access} {h8(initial)} {h8(symval)} {kind} {ndx} {sym}")
    for address, initial in got["pltreserved"]:
        lines.append(f"pltgot reserved {h8(address)} {h8(initial)}")
    for address, initial, symval, kind, ndx, sym in got["plt"]:
        lines.append(f"pltgot entry {h8(address)} {h8(initial)} {h8(symval)} {kind} {ndx} {sym}")
    for address, n, sym in stubs(name, path, got, dynsyms, secs):
        lines.append(f"stub {h8(address)} {n} {sym}")
    plt_header, entries = plt(name, path, got, secs)
    if plt_header is not None:
        lines.append(f"plt-header {h8(plt_header)}")
    for address, slot, sym in entries:
        lines.append(f"plt {h8(address)} {h8(slot)} {sym}")
    for row in dynsyms:
        n, value, size, kind, bind, vis, ndx, sym, version = row
        lines.append(f"dynsym {n} {h8(value)} {size} {kind} {bind} {vis} {ndx} {sym} {version}")
    if relocs != "-":
        for lw, entry, addiu, value, text in strings(name, path, relocs, got, image, insns):
            lines.append(f"string {h8(lw)} {h8(entry)} {h8(addiu)} {h8(value)} {quote(text)}")

    with open(path + ".ref", "w") as f:
        f.write("\n".join(lines) + "\n")
    manifest = [(name, image)]
    for copy in copies:
        manifest.append((copy, check_copy(name, os.path.join(out, copy), image, got,
                                           dynamic, dynsyms)))
    with open(os.path.join(out, "manifest.txt"), "a") as f:
        for file, img in manifest:
            symtab = "symtab" if ".symtab" in sections(os.path.join(out, file)) else "nosymtab"
            shdrs = "sections" if img.shnum else "nosections"
            f.write(f"{file} {name}.ref {symtab} {shdrs}\n")


main()
