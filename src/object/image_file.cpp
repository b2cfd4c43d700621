#include "object/image_file.h"

#include <algorithm>
#include <cerrno>

#include "util/patch_cache.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace {

// The image being written.
FILE* image = nullptr;
void (*image_write_failed)() = nullptr;
void (*names_hook)(image_range&) = nullptr;

// Relocations patch a few bytes each, mostly in ascending order, with now
// and then one in the global pointer area: a few blocks of the image serve
// them.
patch_cache<4096, 8> patches;

// Zeros to write from.
constexpr int zero_block_size = 1024;
const unsigned char zero_block[zero_block_size] = {};

[[noreturn]] void temporary_image_write_error() {
    zo_error(zo_fname(image), "*write error");
}

} // namespace

void start_image(FILE* stream, void (*write_failed)()) {
    image = stream;
    image_write_failed = write_failed;
    patches.start(stream, write_failed);
}

FILE* open_image_file() {
    char* name = zo_strjoin(settings.input_path, " image");
    FILE* stream = zo_ftemp(name);
    zo_free(name);
    start_image(stream, temporary_image_write_error);
    return stream;
}

void seek_image(uint64_t position) {
    zo_fseek(image, int32_t(std::min(position, file_position_limit)));
}

void write_image(const void* bytes, int count) {
    if (int(std::fwrite(bytes, 1, size_t(count), image)) != count) image_write_failed();
}

void write_image_zeros(uint64_t position, uint64_t count) {
    seek_image(position);
    while (count > 0) {
        const int block = int(std::min<uint64_t>(count, zero_block_size));
        write_image(zero_block, block);
        count -= uint64_t(block);
    }
}

namespace {

// The copy's buffer: a large block is a write and a read of the file each.
constexpr int copy_block_size = 1 << 16;
unsigned char copy_block[copy_block_size];

} // namespace

uint64_t copy_to_image(elf_file& from, uint64_t position, uint32_t offset, uint64_t count,
                       const char* short_read) {
    unsigned char (&buffer)[copy_block_size] = copy_block;
    seek_image(position);
    zo_fseek(from.stream, int32_t(offset));
    uint64_t copied = 0;
    while (copied < count) {
        const int n = int(std::min<uint64_t>(count - copied, sizeof buffer));
        const int got = zo_fread(from.stream, n, buffer);
        if (got != n && short_read != nullptr) elf_fault(from, short_read);
        write_image(buffer, got);
        copied += uint64_t(got);
        if (got != n) break;
    }
    return copied;
}

void patch_image(uint64_t position, const void* bytes, int count) {
    patches.patch(position, static_cast<const unsigned char*>(bytes), count);
}

void finish_image_patches() {
    patches.finish();
}

void flush_image() {
    errno = 0;
    if (std::fflush(image) != 0 || std::ferror(image) != 0) image_write_failed();
}

// Past the file's end a seek leaves zeros between: one byte written at the
// last position makes them.
void end_image_file(uint64_t length) {
    write_image_zeros(length + image_tail - 1, 1);
    flush_image();
}

void hand_over_image() {
    // The field is cleared first: should the close fail, the input must not
    // be closed a second time.
    FILE* input = settings.input;
    settings.input = nullptr;
    zo_fclose(input);
    settings.input = image;
}

void set_input_names_hook(void (*hook)(image_range& range)) {
    names_hook = hook;
}

void input_names_entered(image_range& range) {
    if (names_hook != nullptr) names_hook(range);
}

void reset_image_file() {
    image = nullptr;
    image_write_failed = nullptr;
    names_hook = nullptr;
    patches.start(nullptr, nullptr);
}
