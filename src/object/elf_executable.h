// A MIPS ELF executable under -E: its loadable memory as an image file at
// its own addresses, its symbols and sections as names.
#pragma once

#include <array>
#include <cstdint>

#include "object/elf_file.h"
#include "object/image_file.h"

// The addresses the image file holds: the part of the executable's memory
// that is listed when no range is given. All zero when no executable was
// loaded.
struct code_range {
    uint32_t start;
    uint64_t end;
};
constexpr int code_range_capacity = 16;

struct executable_image {
    bool loaded;
    uint32_t start; // address of the image file's first byte
    uint64_t end;   // address after its last byte
    // The stretches that hold code (PF_X segments, or SHF_EXECINSTR
    // sections), the first code_range_capacity of them.
    std::array<code_range, code_range_capacity> code;
    int code_count;
};

extern executable_image executable;

// True when a lies in a stretch of the executable that holds code.
bool executable_code_at(uint32_t a);

// Turns the ELF executable file (the input), whose header has been read and
// found a current 32-bit MIPS header of a known byte order, into an image
// file that replaces it as settings.input; enters its names. The range
// stays as given (its addresses are the executable's own) but for its
// offset, which becomes the image's first address. Every
// PT_LOAD segment lies at its p_vaddr (zeros from p_filesz to p_memsz); a
// file without program headers gives its allocated sections at sh_addr. The
// space between them is not listed. When that space passes 16 MiB in all,
// the image is only the part around the range's start, or around the entry
// point when no start was given.
void load_executable(elf_file& file, image_range& range);

// Back to the state before any executable was loaded (for tests).
void reset_executable();
