#!/usr/bin/env python3
"""Writes the malformed MIPS ELF objects of the robust_* command-line cases:
tables cut in the middle of an entry, sections laid over each other, offsets
past the end of the file.

usage: make_robust.py CLI_DIR"""
import sys

from make_crafted import (SHT_NOBITS, SHT_PROGBITS, SHT_REL, SHT_STRTAB, SHT_SYMTAB, CODE,
                          RELOCS, SYMBOLS, build, put_file, relocations, section, sound, symbols,
                          words)


def with_tables(symtab, strtab, rels, symtab_args=None, strtab_args=None, rel_args=None):
    """The sound object's sections with the three tables given."""
    return [
        section(".text", SHT_PROGBITS, words(CODE)),
        section(".data", SHT_PROGBITS, words([0x11111111, 0x22222222])),
        section(".bss", SHT_NOBITS, size=0x10),
        section(".symtab", SHT_SYMTAB, symtab, **(symtab_args or {})),
        section(".strtab", SHT_STRTAB, strtab, **(strtab_args or {})),
        section(".rel.text", SHT_REL, rels, **(rel_args or {})),
    ]


def main():
    cli = sys.argv[1]

    def put(case, data, name="crafted.o"):
        put_file(cli, case, data, name)

    symtab, strtab = symbols(SYMBOLS)
    rels = relocations(RELOCS)
    # The last table of the file claims its whole size, but the file ends
    # 8 bytes into its last entry (or 4 bytes into the last relocation).
    put("robust_symtab_cut_mid_entry", build(with_tables(
        symtab[:-8], strtab, rels, symtab_args=dict(size=len(symtab), at_end=True))))
    put("robust_reltab_cut_mid_entry", build(with_tables(
        symtab, strtab, rels[:-4], rel_args=dict(size=len(rels), at_end=True))))
    # .rel.text laid over .text: the code words read as relocations.
    put("robust_reltab_over_text", build(with_tables(
        symtab, strtab, b"", rel_args=dict(offset=0x34, size=len(CODE) * 4))))
    # The section-name table's index past the section header table and the file.
    put("robust_names_index_beyond", sound(shstrndx=0xFFFF))
    # Sound objects for the output that can not be written.
    put("robust_object_stdout_full", sound())
    put("robust_dump_stdout_closed", sound())


if __name__ == "__main__":
    main()
