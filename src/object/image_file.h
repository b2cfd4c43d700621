// The memory image that a loader makes of an ELF file, for the listing to
// read as a raw dump: the one image writer. An image is written through its
// stream, a block at a time, and patched through a few kept blocks; it then
// takes the place of the input. The loader that opened the image owns it
// until then.
#pragma once

#include <cstdint>
#include <cstdio>

#include "object/elf_file.h"

// Zero bytes behind a temporary image: more than the data display reads at
// an address, so that it can read up to the image's last byte. (The listing
// stops at the end.)
constexpr uint32_t image_tail = 64;

// What the listing reads of an input, as load_object takes and gives it.
struct image_range {
    uint32_t start;  // address of the first word listed
    uint32_t offset; // address of the first byte of the file
    int32_t size;    // bytes to list
};

// Under -E the range's options may name the input's own symbols, which a
// loader enters only as it loads: the driver sets here what completes the
// range then (null: nothing to complete), and each loader calls
// input_names_entered once the input's names are in the symbol table and
// before it uses the range.
void set_input_names_hook(void (*hook)(image_range& range));
void input_names_entered(image_range& range);

// Writes go to stream from now on; a short one ends the run through
// write_failed.
void start_image(FILE* stream, void (*write_failed)());

// A new temporary image file without a name for the input, written from now
// on: "<input> image" in messages, where a failed write ends the run with
// the system's text.
FILE* open_image_file();

// Positions the image at a file position checked against zo_fseek's limit.
void seek_image(uint64_t position);
// Writes bytes at the image's position.
void write_image(const void* bytes, int count);
// Writes count zero bytes at position.
void write_image_zeros(uint64_t position, uint64_t count);
// Copies count bytes at offset of the file to position of the image, a block
// at a time, and returns how many came. A file that ends first ends the run
// with "<file>: <short_read>"; with short_read null, it ends the copy.
uint64_t copy_to_image(elf_file& from, uint64_t position, uint32_t offset, uint64_t count,
                       const char* short_read);

// Writes bytes at a position of the image, gathered a block at a time;
// finish_image_patches writes the blocks out. Between the two the stream's
// position is unspecified.
void patch_image(uint64_t position, const void* bytes, int count);
void finish_image_patches();

// Writes out what the stream holds; a write that fails, now or before, ends
// the run.
void flush_image();

// Gives a temporary image its length: zeros up to length and the tail behind
// it. Flushed.
void end_image_file(uint64_t length);

// The image becomes the listing's input (settings.input); the input file is
// closed.
void hand_over_image();

// Back to the state before any image was written (for tests).
void reset_image_file();
