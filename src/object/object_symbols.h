// Object symbols, the global pointer area and the relocations.
#pragma once

#include <cstdint>

// Symbols outside .text, .data and .bss get made-up addresses from here on,
// 4096 apart by their .symtab index.
constexpr uint32_t outside_symbol_base = 0x20000000;

// Name (with '@' for data) and address of symbol index of the object. With
// add set it also writes the -D line and enters a qualifying symbol into the
// symbol table. The name is valid until the next read from the object.
const char* read_symbol(uint32_t index, uint32_t& value, bool add);

// Writes one GPA slot per symbol at the image file's position (gpa_start),
// entering the symbols as it goes; gpa_end grows by 4 per slot.
void write_gpa();

// Reads .rel.text and patches the GOT16/CALL16 offsets in the image.
void apply_relocations();
