// The Linux side of the utility library: slash paths, gettimeofday as the
// millisecond clock, the C library's fopen and ctime as they are.
#include <sys/time.h>

#include "util/platform.h"

const char* platform_label() {
    return "Linux x86_32";
}

bool platform_is_separator(char c) {
    return c == '/';
}

bool platform_ends_directory(char c) {
    return c == '/';
}

char platform_separator() {
    return '/';
}

// Only the Windows build asks for a resized console window.
void platform_startup_prompt() {}

// gettimeofday counts microseconds.
int64_t platform_clock_frequency() {
    return 1000000;
}

int64_t platform_clock_count() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return int64_t(now.tv_sec) * 1000000 + int64_t(now.tv_usec);
}

char* platform_ctime(time_t when) {
    return ctime(&when);
}

// glibc's fopen knows the 'x' of an exclusive creation itself.
FILE* platform_fopen(const char* path, const char* mode) {
    return fopen(path, mode);
}

int platform_descriptor(FILE* stream) {
    return fileno(stream);
}
