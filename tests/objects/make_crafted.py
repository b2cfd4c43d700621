#!/usr/bin/env python3
"""Writes small hand-made MIPS ELF objects, sound and broken, into the
command-line case folders of the object loader.

usage: make_crafted.py CLI_DIR

Each object is laid out as: ELF header, the section contents in order (a
NOBITS section takes no bytes), the section-name table, the section header
table, and optionally contents placed after the header table."""
import os
import struct
import sys

SHT_PROGBITS, SHT_SYMTAB, SHT_STRTAB, SHT_NOBITS, SHT_REL = 1, 2, 3, 8, 9


def section(name, kind, data=b"", size=None, offset=None, name_offset=None, at_end=False):
    return dict(name=name, kind=kind, data=data, size=size, offset=offset,
                name_offset=name_offset, at_end=at_end)


def index_of(sections, name):
    """Section number of name (the null section comes first), 0 when absent."""
    for i, s in enumerate(sections):
        if s["name"] == name:
            return i + 1
    return 0


def build(sections, big=True, ident=None, e_type=1, e_machine=8, e_version=1, ehsize=52,
          shentsize=40, shnum=None, shoff=None, shstrndx=None):
    e = ">" if big else "<"
    body = bytearray(b"\0" * 52)
    placed = []
    for s in sections:
        off = len(body)
        if not s["at_end"] and s["kind"] != SHT_NOBITS:
            body += s["data"]
        placed.append(off)
    names = bytearray(b"\0")
    name_offsets = []
    for s in sections + [dict(name=".shstrtab")]:
        name_offsets.append(len(names))
        names += s["name"].encode() + b"\0"
    names_offset = len(body)
    body += names
    while len(body) % 4:
        body += b"\0"
    table = len(body)
    headers = [struct.pack(e + "10I", *[0] * 10)]
    tail = bytearray()
    tail_start = table + 40 * (len(sections) + 2)
    for i, s in enumerate(sections):
        off = placed[i]
        if s["at_end"]:
            off = tail_start + len(tail)
            tail += s["data"]
        size = len(s["data"]) if s["size"] is None else s["size"]
        if s["offset"] is not None:
            off = s["offset"]
        noff = name_offsets[i] if s["name_offset"] is None else s["name_offset"]
        link, info, entsize = 0, 0, {SHT_SYMTAB: 16, SHT_REL: 8}.get(s["kind"], 0)
        if s["kind"] == SHT_SYMTAB:
            link = index_of(sections, ".strtab")
        elif s["kind"] == SHT_REL:
            link, info = index_of(sections, ".symtab"), index_of(sections, ".text")
        headers.append(struct.pack(e + "10I", noff, s["kind"], 0, 0, off, size, link, info, 4,
                                   entsize))
    headers.append(struct.pack(e + "10I", name_offsets[-1], SHT_STRTAB, 0, 0, names_offset,
                               len(names), 0, 0, 1, 0))
    for h in headers:
        body += h
    body += tail
    count = len(headers)
    ident = ident or {}
    id_bytes = bytes([0x7F, ord("E"), ord("L"), ord("F"), ident.get("class", 1),
                      ident.get("data", 2 if big else 1), ident.get("version", 1),
                      ident.get("osabi", 0), ident.get("abiversion", 0)]) + b"\0" * 7
    body[0:52] = id_bytes + struct.pack(
        e + "HHIIIIIHHHHHH", e_type, e_machine, e_version, 0, 0,
        table if shoff is None else shoff, 0, ehsize, 0, 0, shentsize,
        count if shnum is None else shnum, count - 1 if shstrndx is None else shstrndx)
    return bytes(body)


def words(values, big=True):
    return b"".join(struct.pack((">" if big else "<") + "I", v) for v in values)


def symbols(entries, big=True):
    """entries: (name, value, size, info, shndx); returns .symtab and .strtab."""
    e = ">" if big else "<"
    strtab = bytearray(b"\0")
    symtab = bytearray(struct.pack(e + "IIIBBH", 0, 0, 0, 0, 0, 0))
    for name, value, size, info, shndx in entries:
        offset = 0
        if name:
            offset = len(strtab)
            strtab += name.encode() + b"\0"
        symtab += struct.pack(e + "IIIBBH", offset, value, size, info, 0, shndx)
    return bytes(symtab), bytes(strtab)


def relocations(entries, big=True):
    """entries: (r_offset, symbol index, type)."""
    e = ">" if big else "<"
    return b"".join(struct.pack(e + "II", off, sym << 8 | kind) for off, sym, kind in entries)


# Code of the sound objects: a GOT-based prologue, a call and a jump.
CODE = [
    0x3C1C0000,  # 00 lui   $gp,0          R_MIPS_HI16 _gp_disp
    0x279C0000,  # 04 addiu $gp,$gp,0      R_MIPS_LO16 _gp_disp
    0x8F990000,  # 08 lw    $t9,0($gp)     R_MIPS_CALL16 printf
    0x8F820000,  # 0c lw    $v0,0($gp)     R_MIPS_GOT16 count
    0x0C000000,  # 10 jal   0              R_MIPS_26 start
    0x00000000,  # 14 nop
    0x03E00008,  # 18 jr    $ra
    0x00000000,  # 1c nop
]

LONG_NAME = "a_name_of_sixty_characters_that_the_loader_cuts_at_48_chars"

# Symbol 0 is the null symbol; these are 1 to 12.
SYMBOLS = [
    ("crafted.s", 0, 0, 0x04, 0xFFF1),      # 1 file symbol: not entered
    ("", 0, 0, 0x03, 1),                    # 2 section symbol: not entered
    ("start", 0, 0x20, 0x12, 1),            # 3 function in .text
    ("local_label", 0x18, 0, 0x00, 1),      # 4 local label: not entered
    ("count", 4, 4, 0x11, 2),               # 5 global in .data: @count
    ("buf", 0, 0x10, 0x01, 3),              # 6 local in .bss: @buf
    ("table", 4, 64, 0x11, 0xFFF2),         # 7 common: @table at 0x20007000
    ("printf", 0, 0, 0x10, 0),              # 8 undefined global: printf
    ("_gp_disp", 0, 0, 0x11, 0),            # 9 undefined object of size 0: not entered
    ("abs_value", 0x1234, 4, 0x11, 0xFFF1), # 10 absolute: @abs_value at 0x2000a000 + 0x1234
    ("nosize_func", 0x10, 0, 0x12, 1),      # 11 function of size 0: not entered
    (LONG_NAME, 0, 4, 0x11, 2),             # 12 cut at 48 characters
]

RELOCS = [(0x00, 9, 5), (0x04, 9, 6), (0x08, 8, 11), (0x0C, 5, 9), (0x10, 3, 4)]


def sound(big=True, relocs=RELOCS, code=CODE, extra=(), bss=0x10, data_offset=None,
          symtab_offset=None, reltab_offset=None, **header):
    symtab, strtab = symbols(SYMBOLS, big)
    secs = [
        section(".text", SHT_PROGBITS, words(code, big)),
        section(".data", SHT_PROGBITS, words([0x11111111, 0x22222222], big), offset=data_offset),
        section(".bss", SHT_NOBITS, size=bss),
        section(".symtab", SHT_SYMTAB, symtab, offset=symtab_offset),
        section(".strtab", SHT_STRTAB, strtab),
        section(".rel.text", SHT_REL, relocations(relocs, big), offset=reltab_offset),
        section(".text.init", SHT_PROGBITS, words([0xDEADBEEF], big)),
    ]
    return build(secs + list(extra), big=big, **header)


def names_object():
    """Names at the edges: a section name offset far past its table, and a
    .strtab at the very end of the file whose last name has no terminator."""
    strtab = b"\0ok_name\0unterminated_name_at_end"
    e = ">"
    symtab = struct.pack(e + "IIIBBH", 0, 0, 0, 0, 0, 0)
    symtab += struct.pack(e + "IIIBBH", 1, 0, 8, 0x12, 0, 1)
    symtab += struct.pack(e + "IIIBBH", 9, 4, 4, 0x12, 0, 1)
    secs = [
        section(".text", SHT_PROGBITS, words([0x03E00008, 0, 0, 0])),
        section(".data", SHT_PROGBITS, b""),
        section(".bss", SHT_NOBITS, size=0),
        section(".symtab", SHT_SYMTAB, symtab),
        section(".misc", SHT_PROGBITS, b"xxxx", name_offset=0xFFFFFFF0),
        section(".strtab", SHT_STRTAB, strtab, at_end=True),
    ]
    return build(secs)


_written = {}


def put_file(cli, case, data, name="crafted.o"):
    """Writes the file name of a case or, where the case holds name.from, the
    shared file that it names (tests/cli/README.md). The cases that share a
    file must give it the same bytes."""
    path = os.path.join(cli, case, name)
    if os.path.exists(path + ".from"):
        with open(path + ".from") as f:
            path = os.path.join(cli, f.readline().rstrip("\n"))
    if _written.setdefault(path, data) != data:
        sys.exit(f"{case}: {name} differs from the other cases' {path}")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    cli = sys.argv[1]

    def put(case, data, name="crafted.o"):
        put_file(cli, case, data, name)

    put("object_crafted_dump", sound())
    put("object_crafted_le", sound(big=False))
    put("object_crafted_no_gpa", sound())
    put("object_reloc_jump", sound())
    put("object_reloc_type2", sound(relocs=[(0x00, 9, 5), (0x08, 3, 2)]))
    put("object_bad_reloc_offset", sound(relocs=[(0x1E, 8, 11)]))
    put("object_bad_reloc_offset_le", sound(big=False, relocs=[(0x1F, 8, 9)]))
    put("object_bad_reloc_symbol", sound(relocs=[(0x08, 99, 11)]))
    put("object_truncated", sound()[:40])
    put("object_not_32bit", sound(ident={"class": 2}))
    put("object_big_with_le", sound())
    put("object_no_endian", sound(ident={"data": 3}))
    put("object_bad_version", sound(e_version=2))
    put("object_executable", sound(e_type=2, ident={"osabi": 3}))
    put("object_not_mips", sound(e_machine=3))
    put("object_bad_header_size", sound(ehsize=64))
    put("object_bad_entry_size", sound(shentsize=32))
    put("object_section_read_error", sound(shoff=0x7FFFFFF0))
    put("object_many_sections", sound(shnum=0xFFFF))
    put("object_bad_order", sound(data_offset=0x60))
    put("object_no_sections", sound(shnum=0))
    put("object_symbol_read_error", sound(symtab_offset=0x100000))
    put("object_reloc_read_error", sound(reltab_offset=0x7FFFFFF8))
    put("object_huge_bss", sound(bss=0x7FFFFF00))
    put("object_wrapping_bss", sound(bss=0xF0000000))
    put("object_names", names_object())
    put("object_image_exists", sound(relocs=[]))
    put("object_range_ignored", sound(relocs=[]))
    # Without .bss: the loader refuses it.
    symtab, strtab = symbols(SYMBOLS)
    put("object_no_bss", build([
        section(".text", SHT_PROGBITS, words(CODE)),
        section(".data", SHT_PROGBITS, words([1, 2])),
        section(".symtab", SHT_SYMTAB, symtab),
        section(".strtab", SHT_STRTAB, strtab),
    ]))
    # Without .symtab: no object symbols, an empty GPA, no relocations.
    put("object_no_symtab", build([
        section(".text", SHT_PROGBITS, words(CODE)),
        section(".data", SHT_PROGBITS, words([1, 2])),
        section(".bss", SHT_NOBITS, size=8),
        section(".rel.text", SHT_REL, relocations([(0x08, 8, 11)])),
    ]))


if __name__ == "__main__":
    main()
