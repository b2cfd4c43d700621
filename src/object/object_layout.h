// Where the default object loader (elf_loader.h) puts the parts of a
// relocatable object in its image, and where it found the tables it reads
// after the section scan (object_symbols.h).
#pragma once

#include <cstdint>

// Layout of the image made from an object; all zero for a raw dump.
struct object_layout {
    uint32_t text_start; // address of .text in the image (0x10000000)
    uint32_t text_end;   // end of .text, start of .data
    uint32_t bss_start;  // end of .data, start of .bss
    uint32_t gpa_start;  // end of .bss, start of the global pointer area
    uint32_t gpa_end;    // end of the global pointer area
    uint32_t file_delta; // image address of file offset 0
};

extern object_layout object;

// Where the loader found the tables it reads after the section scan.
struct object_tables {
    int text_index;            // section number of .text, -1 when absent
    int data_index;            // section number of .data, -1 when absent
    int bss_index;             // section number of .bss, -1 when absent
    uint32_t symtab_offset;    // file offset of .symtab, 0 when absent
    uint32_t symbol_total;     // entries of .symtab
    uint32_t strtab_offset;    // file offset of .strtab, 0 when absent
    uint32_t reltab_offset;    // file offset of .rel.text, 0 when absent
    uint32_t relocation_total; // entries of .rel.text
};

extern object_tables tables;
