// The symbol table of a MIPS ELF file read as a map file.
#pragma once

#include <cstdint>
#include <string_view>

// The longest map name made of an ELF symbol's name, before a suffix that
// tells names of the same text apart and before the '@' of a data name.
constexpr int elf_name_limit = 190;

// Where a relocatable object's sections lie once laid out as a linker would
// (-E): the address of each placed section by index, 0 for the others.
struct elf_layout {
    const uint32_t* section_address;
    uint32_t section_count;
};

// The made-up address of undefined (and common) symbol index of an object
// laid out: inside the image's 256 MiB region, so that a jal reaches it.
constexpr uint32_t undefined_symbol_base = 0x1f000000;
constexpr uint32_t undefined_symbol_address(uint32_t index) {
    return undefined_symbol_base + 16 * index;
}

// Reads the symbols of the 32-bit MIPS ELF file at path into the symbol
// table, in the file's own byte order, then sorts the table: functions and
// code labels as code names, objects and the names of memory without code
// as data names ('@'). A symbol _gp gives settings.gp_value, unless that is
// set already. With section_labels, each allocated section that holds bytes
// also gets a name at its start, made of its own (code sections a code name,
// the others a data name), unless a name of that kind stands there already.
// With a layout the symbols and sections of a relocatable object get the
// addresses it gives them, undefined globals and common symbols made-up ones
// (undefined_symbol_address), and unplaced sections no name.
void read_elf_map(const char* path, bool section_labels = false,
                  const elf_layout* layout = nullptr);

// Makes a valid map name of an ELF symbol's name: every character but a..z,
// A..Z, 0..9 and '_' becomes '_', and a name that would then begin with a
// digit or read as a hex number gets a '_' in front; the result is cut at
// elf_name_limit characters. Writes it, terminated, to text (room for
// elf_name_limit + 1 characters) and returns its length; name is not empty.
int map_name_of(std::string_view name, char* text);

// Closes an ELF file that a failed read left open.
void reset_elf_map();
