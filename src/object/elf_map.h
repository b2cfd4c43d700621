// The symbol table of a MIPS ELF file read as a map file.
#pragma once

#include <string_view>

// The longest map name made of an ELF symbol's name, before a suffix that
// tells names of the same text apart and before the '@' of a data name.
constexpr int elf_name_limit = 190;

// Reads the symbols of the 32-bit MIPS ELF file at path into the symbol
// table, in the file's own byte order, then sorts the table: functions and
// code labels as code names, objects and the names of memory without code
// as data names ('@'). A symbol _gp gives settings.gp_value, unless that is
// set already. With section_labels, each allocated section that holds bytes
// also gets a name at its start, made of its own (code sections a code name,
// the others a data name), unless a name of that kind stands there already.
void read_elf_map(const char* path, bool section_labels = false);

// Makes a valid map name of an ELF symbol's name: every character but a..z,
// A..Z, 0..9 and '_' becomes '_', and a name that would then begin with a
// digit or read as a hex number gets a '_' in front; the result is cut at
// elf_name_limit characters. Writes it, terminated, to text (room for
// elf_name_limit + 1 characters) and returns its length; name is not empty.
int map_name_of(std::string_view name, char* text);

// Closes an ELF file that a failed read left open.
void reset_elf_map();
