// The one reader of 32-bit MIPS ELF files: the header and its checks, the
// byte order of the file, section and program headers, symbols,
// relocations and strings. A file is read a header or an entry at a time
// through a few kept blocks, never held whole: the entries that a table
// names (a symbol's name, the section it lies in) sit elsewhere in the file
// than the table being walked, and read straight from the stream each would
// cost a seek, which throws the stream's buffer away. The file does not
// change while it is read. Every fault ends the run with "<path>: <what>".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "object/elf_constants.h"
#include "util/block_cache.h"

// File positions go through zo_fseek's signed 32-bit offset, where a
// negative value would count from the end of the file.
constexpr uint64_t file_position_limit = 0x7fffffff;

// Where an ELF file comes from, which decides how it is read.
enum class elf_source {
    // The input: read in the run's byte order, so that -LE admits only a
    // little-endian file. A failed seek ends the run; a position past
    // zo_fseek's limit holds nothing.
    input,
    // A file opened by its path for its names: read in its own byte order.
    // A position that can not be reached holds nothing.
    named,
};

// The ELF header, in host order.
struct elf_header {
    unsigned char ident[elf::EI_NIDENT]; // e_ident, as in the file
    uint16_t type;                       // e_type
    uint16_t machine;                    // e_machine
    uint32_t version;                    // e_version
    uint32_t entry;                      // e_entry
    uint32_t program_table;              // e_phoff: file offset of the program headers
    uint32_t section_table;              // e_shoff: file offset of the section headers
    uint16_t header_size;                // e_ehsize
    uint16_t program_entry_size;         // e_phentsize
    uint16_t program_count;              // e_phnum
    uint16_t section_entry_size;         // e_shentsize
    uint16_t section_count;              // e_shnum
    uint16_t names_index;                // e_shstrndx: the section-name table
};

// A section header, in host order.
struct section_header {
    uint32_t name;      // sh_name: offset of the name in the section-name table
    uint32_t type;      // sh_type
    uint32_t flags;     // sh_flags
    uint32_t address;   // sh_addr
    uint32_t offset;    // sh_offset: file offset of the contents
    uint32_t size;      // sh_size
    uint32_t link;      // sh_link: for a symbol table, its string table
    uint32_t info;      // sh_info: for a relocation table, the section it patches
    uint32_t alignment; // sh_addralign
};

// A program header, the fields a loader uses, in host order.
struct program_header {
    uint32_t type;        // p_type
    uint32_t offset;      // p_offset: file offset of the segment's bytes
    uint32_t address;     // p_vaddr
    uint32_t file_size;   // p_filesz
    uint32_t memory_size; // p_memsz
    uint32_t flags;       // p_flags
};

// A symbol table entry, in host order.
struct elf_symbol {
    uint32_t name;    // st_name: offset of the name in the string table
    uint32_t value;   // st_value
    uint32_t size;    // st_size
    uint8_t info;     // st_info: binding and type
    uint16_t section; // st_shndx
};

// A relocation entry (REL, or RELA with its addend), in host order.
struct elf_relocation {
    uint32_t offset; // r_offset
    uint32_t info;   // r_info: symbol index and type
    int32_t addend;  // r_addend; 0 for a REL entry
    uint32_t type() const { return elf::ELF32_R_TYPE(info); }
    uint32_t symbol() const { return elf::ELF32_R_SYM(info); }
};

// The blocks that a file is read through: a few kept, of this many bytes.
constexpr int elf_block_size = 4096;
constexpr int elf_block_count = 16;

// An ELF file being read.
struct elf_file {
    FILE* stream;      // null when no file is being read
    const char* path;  // its name in messages
    elf_source source; // how it is read
    bool little;       // its fields are little endian
    elf_header header; // read when the file is opened
    block_cache<elf_block_size, elf_block_count> cache;
};

// Starts reading the ELF file at stream and reads its header (without
// checking it); a file too short for one ends the run. The header's fields
// are read in the byte order of the file: that of its e_ident, for the input
// also little endian under -LE.
void elf_open(elf_file& file, FILE* stream, const char* path, elf_source source);

// Forgets the file: back to the state before it was opened. Its stream
// stays open.
void elf_forget(elf_file& file);

// True when the header begins with the ELF magic number.
bool elf_magic(const elf_header& header);

// The checks of an ELF header, each ending the run at its fault. Every
// reader makes them in this order, with its own check of the type between
// the first and the second where it has one, so that a malformed file gives
// the same first message to it each time.
// The class, the byte order (and -LE with a big-endian input), the version:
void elf_check_ident(const elf_file& file);
// MIPS, and the header's size:
void elf_check_machine(const elf_file& file);
// The size of a section header. (Some readers do without it in a file
// without section headers.)
void elf_check_section_entry_size(const elf_file& file);

// Ends the run: "<path>: <what>".
[[noreturn]] void elf_fault(const elf_file& file, const char* what);

// Two- and four-byte fields in the file's byte order.
inline uint16_t elf_half(const elf_file& file, const unsigned char* bytes) {
    return file.little ? uint16_t(bytes[0] | bytes[1] << 8) : uint16_t(bytes[0] << 8 | bytes[1]);
}
inline uint32_t elf_word(const elf_file& file, const unsigned char* bytes) {
    return file.little ? uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                             uint32_t(bytes[3]) << 24
                       : uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 |
                             uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

// Copies the count bytes at position into buffer; false when the file does
// not hold them all.
bool elf_read(elf_file& file, uint64_t position, void* buffer, int count);
// As elf_read; a file that does not hold them ends the run with what.
void elf_read(elf_file& file, uint64_t position, void* buffer, int count, const char* what);

// The length of the file, at most zo_fseek's limit. (Moves the stream.)
uint64_t elf_file_length(elf_file& file);

// Section header index (from e_shoff on, whatever e_shnum says).
section_header elf_read_section(elf_file& file, uint32_t index);
// Program header index (from e_phoff on).
program_header elf_read_program(elf_file& file, uint32_t index);
// Entry index of the symbol table at table_offset.
elf_symbol elf_read_symbol(elf_file& file, uint32_t table_offset, uint32_t index);
// Entry index of the relocation table at table_offset, REL or RELA.
elf_relocation elf_read_relocation(elf_file& file, uint32_t table_offset, uint32_t index,
                                   bool with_addend);

// The text at position: its bytes up to a terminator, at most limit of them
// and at most available; written, terminated, to text (room for limit + 1
// characters), its length returned. Where the file ends first (or, for the
// input, zo_fseek's limit comes first) the text ends there; with missing
// given, the run ends with that message instead. For names shown as the
// file holds them.
int elf_text(elf_file& file, uint64_t position, uint64_t available, int limit, char* text,
             const char* missing = nullptr);

// The name at name_offset of the string table strings, cut at limit
// characters, in text (room for limit + 1). For names that must be sound:
// one that begins beyond the table ("<what> name beyond the string table"),
// or that runs to the table's end within limit characters ("<what> name
// without terminator") ends the run, as does a table that the file does not
// hold for limit + 1 bytes from the name, or up to its end ("symbol read
// error").
std::string_view elf_name(elf_file& file, const section_header& strings, uint32_t name_offset,
                          int limit, char* text, const char* what);
