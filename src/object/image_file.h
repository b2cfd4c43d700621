// The memory image of an ELF file listed under -E: a temporary file without
// a name, written from the file a block at a time.
#pragma once

#include <cstdint>
#include <cstdio>

// Zero bytes behind an image: more than the data display reads at an
// address, so that it can read up to the image's last byte. (The listing
// stops at the end.)
constexpr uint32_t image_tail = 64;

// The length of settings.input, at most zo_fseek's limit.
uint64_t input_file_length();

// A new image file for settings.input, named after it in messages.
FILE* open_image_file();

// Copies count bytes at file offset from of settings.input to position of the
// image; a short read ends the run with "<input>: <short_read>".
void copy_to_image(FILE* image, uint64_t position, uint32_t from, uint32_t count,
                   const char* short_read);

// Gives the image its length: zeros up to length, and the tail behind it.
void end_image_file(FILE* image, uint64_t length);

// Ends the run: a write to the image failed.
[[noreturn]] void image_file_write_error(FILE* image);
