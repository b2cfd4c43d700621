// zo_exit's seam for in-process runs, and what a run ended by a message
// leaves for the caller to close: the map being read, the object's stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "object_test_support.h"
#include "symbols/map_file.h"
#include "util/zo.h"

namespace {

struct left_run {
    int status;
};

[[noreturn]] void leave(int status) {
    throw left_run{status};
}

int hook_calls = 0;
void count_hook() {
    ++hook_calls;
}

// Open descriptors of the process; -1 where they can not be counted.
long open_descriptors() {
#ifdef __linux__
    long n = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error))
        ++n;
    return error ? -1 : n;
#else
    return -1;
#endif
}

struct ExitSeam : ::testing::Test {
    void SetUp() override {
        zo_reset_messages();
        hook_calls = 0;
    }
    void TearDown() override {
        zo_set_exit_seam(nullptr);
        reset_run_state();
    }
    // The status a call handed to the seam; -1000 when it returned.
    template <typename F> int status_of(F call) {
        try {
            call();
        } catch (const left_run& left) {
            return left.status;
        }
        return -1000;
    }
};

TEST_F(ExitSeam, MessagesAndExitsReachTheSeamAfterTheHook) {
    zo_set_exit_seam(leave);
    zo_set_exit_hook(count_hook);
    EXPECT_EQ(status_of([] { zo_message("seam test: %d", 1); }), -1);
    EXPECT_EQ(hook_calls, 1);
    // The hook is spent; a later exit passes the seam alone.
    EXPECT_EQ(status_of([] { zo_exit(3); }), 3);
    EXPECT_EQ(hook_calls, 1);
    EXPECT_EQ(status_of([] { zo_error("seam.bin", "broken"); }), -1);
}

TEST_F(ExitSeam, WithoutTheSeamTheProcessEnds) {
    zo_set_exit_seam(leave);
    zo_set_exit_seam(nullptr);
    EXPECT_EXIT(zo_message("seam cleared"), ::testing::ExitedWithCode(255), "seam cleared");
}

TEST_F(ExitSeam, MapLeftOpenByABadLineIsClosedByTheReset) {
    temp_dir dir;
    const std::string path = dir.write("bad.map", "1000 good\nzz!\n");
    const long before = open_descriptors();
    // Where descriptors can not be counted, the reset only has to be safe.
    auto expect_open = [before](long extra) {
        if (before >= 0) {
            EXPECT_EQ(open_descriptors(), before + extra);
        }
    };
    zo_set_exit_seam(leave);
    EXPECT_EQ(status_of([&] { read_map_file(path.c_str()); }), -1);
    expect_open(1);
    reset_map_file();
    expect_open(0);
    // A second reset finds nothing to close; a good map leaves nothing open.
    reset_run_state();
    read_map_file(dir.write("good.map", "2000 other\n").c_str());
    reset_map_file();
    expect_open(0);
}

// A small object whose one relocation has the given type.
std::string object_with_relocation(uint8_t type) {
    elf_builder b;
    std::string text;
    for (int i = 0; i < 4; ++i) text += b.word(0x0c000000);
    const std::string strtab = std::string("\0f\0", 3);
    const std::string symtab = b.symbol(0, 0, 0, 0, 0) + b.symbol(1, 0, 16, 0x12, 1);
    // A 26-bit jump relocation: refused once the image file exists.
    b.sections = {{".text", 1, text},     {".data", 1, b.word(1)},
                  {".bss", 8, "", 0x10},  {".symtab", 2, symtab, -1, -1, 0, 5},
                  {".strtab", 3, strtab}, {".rel.text", 9, b.relocation(0, 1, type)}};
    return b.build();
}

TEST_F(ExitSeam, FailedObjectLoadRemovesTheImageAndKeepsTheObjectStream) {
    temp_dir dir;
    const std::string path = dir.write("jump.o", object_with_relocation(4));
    zo_set_exit_seam(leave);
    EXPECT_EQ(status_of([&] { load_path(path); }), -1);
    ASSERT_NE(settings.image_path, nullptr);
    EXPECT_FALSE(std::filesystem::exists(path + "_"));
    // The input is still the object's own stream, open and readable.
    ASSERT_NE(settings.input, nullptr);
    unsigned char magic[4] = {};
    std::rewind(settings.input);
    EXPECT_EQ(std::fread(magic, 1, 4, settings.input), 4u);
    EXPECT_EQ(magic[1], 'E');
    std::fclose(settings.input);
    settings.input = nullptr;
    zo_free(settings.image_path);
    settings.image_path = nullptr;
}

TEST_F(ExitSeam, ErrorAfterTheLoadClosesTheImageAndClearsTheInput) {
    temp_dir dir;
    // Type 5, a high half: applied.
    const std::string path = dir.write("good.o", object_with_relocation(5));
    zo_set_exit_seam(leave);
    load_path(path);
    ASSERT_NE(settings.image_path, nullptr);
    ASSERT_TRUE(std::filesystem::exists(path + "_"));
    // Any later message (a page that can not be opened, say): the hook
    // closes the image, which is the input now, and must not leave the
    // input pointing at the closed stream.
    EXPECT_EQ(status_of([] { zo_message("later failure"); }), -1);
    EXPECT_EQ(settings.input, nullptr);
    EXPECT_FALSE(std::filesystem::exists(path + "_"));
    zo_free(settings.image_path);
    settings.image_path = nullptr;
}

TEST_F(ExitSeam, ResetLeavesTheImageTheListingTookOver) {
    temp_dir dir;
    const std::string path = dir.write("good.o", object_with_relocation(5));
    for (uint32_t flags : {0u, flag::elf_image}) {
        const long before = open_descriptors();
        load_path(path, flags);
        FILE* image = settings.input;
        zo_free(settings.image_path);
        settings.image_path = nullptr;
        reset_run_state();
        // The image is the listing's: still open and readable after the reset.
        if (before >= 0) {
            EXPECT_EQ(open_descriptors(), before + 1) << flags;
        }
        unsigned char word[4] = {};
        std::rewind(image);
        EXPECT_EQ(std::fread(word, 1, 4, image), 4u) << flags;
        std::fclose(image);
        std::remove((path + "_").c_str());
    }
}

} // namespace
