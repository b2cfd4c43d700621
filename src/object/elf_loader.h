// The MIPS ELF relocatable object loader and its memory image.
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

// Turns an ELF object input into its image; leaves any other input alone.
void load_object(uint32_t& start, uint32_t& offset, int32_t& size);
