// The default object loader: a MIPS ELF relocatable object turned into a
// memory image file beside it, which the listing reads as a raw dump.
#pragma once

#include "object/elf_file.h"
#include "object/image_file.h"
#include "object/object_layout.h"

// Turns the relocatable object file (its header read and its e_ident found
// sound) into its image: .text at 0x10000000, .data right behind it, the bss
// as zeros, then the global pointer area with one address per symbol. The
// image file, named by settings.image_path (the input's path and '_'),
// replaces it as settings.input; range becomes the image's.
void load_relocatable_object(elf_file& file, image_range& range);

// Back to the state before any object was loaded (for tests): an image file
// not yet handed to the listing is closed.
void reset_object_loader();
