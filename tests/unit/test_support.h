// Shared fixtures of the unit tests.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "driver/run_settings.h"

// Sends everything written to settings.output into a temporary file for the
// lifetime of the object; text() returns what has been written so far.
struct output_capture {
    FILE* file;
    FILE* saved;
    output_capture() : file(std::tmpfile()), saved(settings.output) { settings.output = file; }
    ~output_capture() {
        settings.output = saved;
        std::fclose(file);
    }
    output_capture(const output_capture&) = delete;
    output_capture& operator=(const output_capture&) = delete;
    std::string text() {
        std::fflush(file);
        long end = std::ftell(file);
        std::string s(static_cast<size_t>(end), '\0');
        std::rewind(file);
        size_t got = std::fread(s.data(), 1, s.size(), file);
        s.resize(got);
        std::fseek(file, 0, SEEK_END);
        return s;
    }
};

// A temporary directory removed with its contents when the object goes.
struct temp_dir {
    std::filesystem::path path;
    temp_dir() {
        char pattern[] = "/tmp/pelorin_test_XXXXXX";
        path = mkdtemp(pattern);
    }
    ~temp_dir() { std::filesystem::remove_all(path); }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    // Writes a file of the given bytes and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        auto p = path / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
};

// Settings as at program start: all zero, output on stdout.
inline void reset_settings() {
    settings = run_settings{};
    settings.output = stdout;
}
