// Allocation that never returns failure, and the small string helpers built
// on it. Strings returned in new memory belong to the caller (zo_free).
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "util/platform.h"
#include "util/zo.h"

void* zo_alloc(int64_t size) {
    // Sizes are computed as int by the callers: an overflow shows as a negative size.
    if (size <= 0 || uint64_t(size) > SIZE_MAX) zo_error("[re]alloc", "illegal size");
    void* block = malloc(size_t(size));
    if (block == nullptr) zo_error("[re]alloc", "no memory");
    return block;
}

void zo_free(void* block) {
    free(block);
}

char* zo_strjoin(const char* first, const char* second) {
    if (second == nullptr) second = "";
    size_t first_length = strlen(first);
    size_t second_length = strlen(second);
    char* joined = static_cast<char*>(zo_alloc(int64_t(first_length + second_length + 1)));
    memcpy(joined, first, first_length);
    memcpy(joined + first_length, second, second_length + 1);
    return joined;
}

char* zo_pathjoin(const char* directory, const char* name) {
    size_t directory_length = strlen(directory);
    size_t name_length = strlen(name);
    bool separator =
        directory_length > 0 && !platform_ends_directory(directory[directory_length - 1]);
    char* path =
        static_cast<char*>(zo_alloc(int64_t(directory_length + separator + name_length + 1)));
    char* end = path;
    memcpy(end, directory, directory_length);
    end += directory_length;
    if (separator) *end++ = platform_separator();
    memcpy(end, name, name_length + 1);
    return path;
}

const char* zo_basename(const char* path) {
    const char* base = path;
    for (const char* p = path; *p != 0; ++p)
        if (platform_is_separator(*p)) base = p + 1;
    return base;
}

char* zo_progname(const char* path) {
    char* name = zo_strjoin(zo_basename(path), nullptr);
    if (char* dot = strrchr(name, '.')) *dot = 0;
    return name;
}

char* zo_strcopy(char* destination, const char* source, int n) {
    int copied = 0;
    while (source[copied] != 0 && copied < n) {
        destination[copied] = source[copied];
        ++copied;
    }
    if (copied < n) destination[copied] = 0;
    return destination + copied;
}

char* zo_strcopy_start(char* destination, const char* source, int n) {
    zo_strcopy(destination, source, n);
    return destination;
}

int zo_snprintf(char* buffer, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    // A size of 0 or less leaves the buffer untouched; vsnprintf would take
    // a negative size as a huge one.
    int length = vsnprintf(buffer, size > 0 ? size_t(size) : 0, format, args);
    va_end(args);
    return length;
}
