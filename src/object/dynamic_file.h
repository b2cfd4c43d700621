// What the dynamic section of a dynamically linked file tells under -E: its
// global offset table and which of its entries are local, its dynamic
// symbols, and where the code reaches what the file imports (the GOT's
// global entries, the lazy-binding stubs, the entries of a PLT), which get
// the names of their symbols. Also the $gp of a file: DT_PLTGOT + 0x7ff0,
// else _gp, else the ri_gp_value of its .reginfo.
#pragma once

#include <cstdint>

#include "object/elf_file.h"

// The global offset table of the file listed under -E, for the listing; all
// zero when none is known.
struct got_layout {
    uint32_t start;     // address of its first entry
    uint32_t local_end; // end of the local entries (the reserved ones among them)
    uint32_t end;       // end of all its entries
};
extern got_layout listed_got;

// Reads the program headers, the dynamic section and the .reginfo of file
// (the input, an executable or a shared library whose loadable segments
// have been checked); sets the $gp of a dynamically linked file unless one
// was given. A dynamic section that the file does not hold, or that gives
// counts the file can not hold, ends the run.
void read_dynamic_section(elf_file& file);

// Reads the file's names as read_elf_map does, its dynamic symbols and the
// names of its imports among them; then the $gp of .reginfo where none is
// known yet.
void read_dynamic_names(elf_file& file);

// Back to the state before any file was read (for tests).
void reset_dynamic_file();
