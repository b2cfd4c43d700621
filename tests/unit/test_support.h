// Shared fixtures of the unit tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <string>

#include "driver/run_state.h"
#include "html/call_targets.h"
#include "html/page_elements.h"
#include "html/page_set.h"
#include "listing/labels.h"
#include "symbols/symbol_table.h"
#include "util/run_settings.h"
#include "util/zo.h"
#include "util_test_support.h"

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
    std::string text; // path as a narrow string (a path holds wide ones on Windows)
    // A new directory in the system's place for temporary files, named
    // pelorin_test_<run>_<n>: <run> is drawn once per test program, <n>
    // counts the directories of the running test. A Windows run_child child
    // runs its test again under the parent's <run> (the environment carries
    // it), meets the parent's directories by their names and uses them.
    temp_dir() {
        static const void* test = nullptr;
        static unsigned serial = 0;
        const void* running = ::testing::UnitTest::GetInstance()->current_test_info();
        if (running != test) {
            test = running;
            serial = 0;
        }
        if (std::getenv("PELORIN_TEST_RUN") == nullptr)
            set_test_env("PELORIN_TEST_RUN", std::to_string(std::random_device{}()).c_str());
        std::string run = std::getenv("PELORIN_TEST_RUN");
        bool child = std::getenv("PELORIN_TEST_CHILD") != nullptr;
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path = base / ("pelorin_test_" + run + "_" + std::to_string(++serial));
            if (std::filesystem::create_directory(path) || child) break;
        }
        text = path.string();
    }
    // Never throws: on Windows a file still open can not be removed.
    ~temp_dir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    // Writes a file of the given bytes and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        auto p = path / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
};

// A file of the given bytes as the input that the displays and look-backs
// read (settings.input), its position 4 bytes in, as after the listing's
// start-up seek; closed and taken back when the object goes.
struct input_image {
    temp_dir dir;
    FILE* file = nullptr;

    void open(const std::string& bytes) {
        file = std::fopen(dir.write("image.bin", bytes).c_str(), "rb");
        ASSERT_NE(file, nullptr);
        std::fseek(file, 4, SEEK_SET);
        settings.input = file;
    }
    ~input_image() {
        if (file != nullptr) std::fclose(file);
        settings.input = nullptr;
    }
};

// Settings as at program start: all zero, output on stdout.
inline void reset_settings() {
    settings = run_settings{};
    settings.output = stdout;
}

// A clean start for tests of the page set: every module as at program start.
inline void reset_page_run() {
    reset_run_state();
}
