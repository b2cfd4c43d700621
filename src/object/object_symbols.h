// Object symbols, the global pointer area and the relocations of the default
// object loader.
#pragma once

#include <cstdint>

#include "object/elf_file.h"

// Symbols outside .text, .data and .bss get made-up addresses from here on,
// 4096 apart by their .symtab index.
constexpr uint32_t outside_symbol_base = 0x20000000;

// The longest name read from an object; longer ones are cut.
constexpr int object_name_limit = 48;

// A name read from the object: plain, and with '@' in front.
struct object_name {
    const char* plain;
    const char* data; // '@' + plain
};

// The text at table_offset + name_offset of the object, cut at 48
// characters or at the end of the file; valid until the next call.
object_name read_string(elf_file& file, uint32_t table_offset, uint32_t name_offset);

// Name (with '@' for data) and address of symbol index of the object. With
// add set it also writes the -D line and enters a qualifying symbol into the
// symbol table. The name is valid until the next read from the object.
const char* read_symbol(elf_file& file, uint32_t index, uint32_t& value, bool add);

// Writes one GPA slot per symbol at the image's position (gpa_start),
// entering the symbols as it goes; gpa_end grows by 4 per slot.
void write_gpa(elf_file& file);

// Reads .rel.text and patches the GOT16/CALL16 offsets in the image.
void apply_relocations(elf_file& file);
