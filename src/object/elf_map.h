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

// The dynamic symbols of a dynamically linked file (-E), found through its
// dynamic section, and a reader of the further names the file gives there.
struct elf_dynamic_symbols {
    uint32_t table;        // file offset of the symbol table (DT_SYMTAB)
    uint32_t count;        // its entries (DT_MIPS_SYMTABNO)
    uint32_t strings;      // file offset of its string table (DT_STRTAB)
    uint32_t strings_size; // and its size (DT_STRSZ)
    // For a file without section headers: whether address lies in a segment
    // that holds code.
    bool (*in_code)(uint32_t address);
    // Enters the further names through enter_elf_name; called once the
    // symbols are entered, before the table is sorted.
    void (*more_names)();
};

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
// With dynamic, the file's dynamic symbols follow by the same rules (a
// symbol that both tables hold is named once), then its further names.
void read_elf_map(const char* path, bool section_labels = false, const elf_layout* layout = nullptr,
                  const elf_dynamic_symbols* dynamic = nullptr);

// While read_elf_map reads a file's further names: enters name (an ELF
// name, made a valid map name) at address as a name of that file, a data
// name ('@') when data is set, with suffix appended (such as "_got"). A name
// the file gave at that address already is not entered again; a name it
// gave elsewhere gets the suffix _2, _3, ...
void enter_elf_name(std::string_view name, std::string_view suffix, bool data, uint32_t address);

// Makes a valid map name of an ELF symbol's name: every character but a..z,
// A..Z, 0..9 and '_' becomes '_', and a name that would then begin with a
// digit or read as a hex number gets a '_' in front; the result is cut at
// elf_name_limit characters. Writes it, terminated, to text (room for
// elf_name_limit + 1 characters) and returns its length; name is not empty.
int map_name_of(std::string_view name, char* text);

// Closes an ELF file that a failed read left open.
void reset_elf_map();
