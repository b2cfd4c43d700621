// Shared harness of the fuzzers: runs the program in this process, once per
// input, with every module's state reset before and every stream and file
// of the run closed and removed after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Once per process: makes a private temporary directory (removed at exit)
// and sends standard output to the null device. Later calls do nothing.
void fuzz_setup();

// Writes a file of the given bytes into the private directory; it stays
// there until it is written again (every other file a run makes is removed).
void fuzz_write(const char* name, const void* bytes, size_t size);
inline void fuzz_write(const char* name, std::string_view bytes) {
    fuzz_write(name, bytes.data(), bytes.size());
}

// Makes an empty directory in the private directory that runs may write
// into (an HTML page set); its contents are removed after every run.
void fuzz_directory(const char* name);

// Runs the program as its main routine does with these arguments (the
// program name is put in front) in the private directory as the working
// directory, and returns the exit status: 0 after a
// complete listing, the status given to zo_exit otherwise. Arguments that
// would reach outside that directory or end the process ("-t") are
// changed first. Aborts when the run left a descriptor or a file behind.
int fuzz_run(std::vector<std::string> args);

// Reads up to limit arguments from text separated by NUL or newline bytes.
std::vector<std::string> fuzz_split_arguments(std::string_view text, size_t limit);

// A little-endian reader over the input, for choosing options.
struct fuzz_bytes {
    const uint8_t* data;
    size_t size;
    // Next byte, 0 once the input is used up.
    uint8_t take() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }
    uint32_t take_word() {
        uint32_t w = 0;
        for (int i = 0; i < 4; ++i) w |= uint32_t(take()) << (8 * i);
        return w;
    }
};

// Lower-case hexadecimal text of a value, as the program's options take it.
std::string fuzz_hex(uint32_t value);
