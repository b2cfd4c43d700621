#include "object/image_file.h"

#include <algorithm>

#include "util/run_settings.h"
#include "util/zo.h"

uint64_t input_file_length() {
    FILE* input = settings.input;
    if (std::fseek(input, 0, SEEK_END) != 0) zo_error(zo_fname(input), "*fseek error");
    const long length = std::ftell(input);
    return std::min<uint64_t>(length < 0 ? 0 : uint64_t(length), 0x7fffffff);
}

FILE* open_image_file() {
    char* name = zo_strjoin(settings.input_path, " image");
    FILE* image = zo_ftemp(name);
    zo_free(name);
    return image;
}

void copy_to_image(FILE* image, uint64_t position, uint32_t from, uint32_t count,
                   const char* short_read) {
    unsigned char buffer[16384];
    zo_fseek(image, int32_t(position));
    zo_fseek(settings.input, int32_t(from));
    while (count > 0) {
        const int n = int(std::min<uint32_t>(count, sizeof buffer));
        if (zo_fread(settings.input, n, buffer) != n)
            zo_message("%s: %s", settings.input_path, short_read);
        if (int(std::fwrite(buffer, 1, size_t(n), image)) != n) image_file_write_error(image);
        count -= uint32_t(n);
    }
}

// Past the file's end a seek leaves zeros between: one byte written at the
// last position makes them.
void end_image_file(FILE* image, uint64_t length) {
    zo_fseek(image, int32_t(length + image_tail - 1));
    if (std::fputc(0, image) == EOF) image_file_write_error(image);
    zo_fflush(image);
}

void image_file_write_error(FILE* image) {
    zo_error(zo_fname(image), "*write error");
}
