// A MIPS ELF relocatable object under -E, laid out and relocated as a linker
// would place it when it links the object alone.
#pragma once

#include <cstdint>

#include "object/elf_file.h"
#include "object/image_file.h"

// Where the object's first placed section lies.
constexpr uint32_t linked_image_base = 0x10000000;

// The layout of the object last loaded; all zero before.
struct linked_layout {
    uint32_t image_end;     // end of the last placed section
    uint32_t gp;            // start of the global pointer area: the $gp of the image
    uint32_t gpa_end;       // end of the global pointer area
    uint32_t own_slots;     // slots behind the symbols' ones: local GOT16 and TLS GOT entries
    uint32_t tls_start;     // start of the TLS block: the first TLS section; 0 without one
    uint32_t tls_alignment; // the largest alignment of the TLS sections
};

extern linked_layout linked;

// Turns the relocatable object file (the input), whose header has been read
// and found a current 32-bit MIPS header of a known byte order, into an
// image in a temporary file without a name that replaces it as
// settings.input. Every allocated section but the MIPS bookkeeping ones is
// placed in section-header order from linked_image_base on, each at the
// next multiple of its alignment, the TLS sections too; the global pointer
// area (a slot with the address of each symbol, then those of each local
// GOT16 entry and each thread-local GOT entry, in relocation order) follows
// at the next multiple of 4, and $gp is its start. The relocations of the
// placed sections are applied with the ABI's formulas, the thread-local ones
// as for a static program. The range becomes the image's.
void load_linked_object(elf_file& file, image_range& range);

// Back to the state before any object was loaded (for tests).
void reset_linked_object();
