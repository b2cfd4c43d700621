// The input as an ELF file: the loader that turns it into an image for the
// listing is chosen here.
#pragma once

#include <cstdint>

// Turns an ELF input into its image; leaves any other input alone. Under -E
// an executable is listed at its own addresses (elf_executable.h), and a
// relocatable object laid out as a linker would (linked_object.h); else the
// input must be a relocatable object, turned into the image file beside it
// (elf_loader.h). For an object start, offset and size are replaced by the
// image's, for an executable the offset; settings.input becomes the image.
void load_object(uint32_t& start, uint32_t& offset, int32_t& size);

// Back to the state before any input was looked at (for tests).
void reset_object_input();
