// The MIPS ELF relocatable object loader and its memory image.
#pragma once

#include <cstdint>
#include <cstdio>

#include "mips/byte_order.h"

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

// One section header, the fields the loader uses, in host order.
struct section_header {
    uint32_t name_offset; // sh_name: offset of the name in the section-name table
    uint32_t type;        // sh_type (shown by -D only)
    uint32_t offset;      // sh_offset: file offset of the contents
    uint32_t size;        // sh_size
};

// A name read from the object: plain, and with '@' in front.
struct object_name {
    const char* plain;
    const char* data; // '@' + plain
};

// Turns an ELF object input into its image; leaves any other input alone.
// For an object, start, offset and size are replaced by the image's, and
// settings.input becomes the image file named by settings.image_path.
void load_object(uint32_t& start, uint32_t& offset, int32_t& size);

// Reads section header index of the object into header and returns its name;
// writes its -D line when dump_line is set.
const char* read_section_header(int index, section_header& header, bool dump_line = true);

// The NUL-terminated text at table_offset + name_offset of the object, cut at
// 48 characters; valid until the next call.
object_name read_string(uint32_t table_offset, uint32_t name_offset);

// Two- and four-byte fields in the object's byte order (the little_endian flag).
inline uint16_t object_half(const unsigned char* bytes) {
    return static_cast<uint16_t>(ordered_value(bytes, 2));
}
inline uint32_t object_word(const unsigned char* bytes) {
    return ordered_value(bytes, 4);
}

// Positions the object file, a position past 0x7fffffff counting as failed
// (so that a huge offset is never taken as one from the end); then reads
// count bytes and tells whether all of them came.
bool read_object_at(uint64_t position, void* buffer, int count);

// Positions the image file at a file position of the image.
void seek_image(uint64_t position);
// Writes bytes at the image file's position; a short write ends the run.
void write_image(const void* bytes, int count);
// Writes bytes at a file position of the image, gathered a block at a time;
// finish_image_patches writes the last block out. Between the two the image
// stream's position is unspecified.
void patch_image(uint64_t position, const void* bytes, int count);
void finish_image_patches();

// Back to the state before any object was loaded (for tests).
void reset_object_loader();
