// Stream names, guarded open/close/seek and the line reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_support.h"
#include "util/zo.h"
#include "util_test_support.h"

namespace {

struct Files : ::testing::Test {
    temp_dir dir;
    void SetUp() override { zo_reset_files(); }
    void TearDown() override { zo_reset_files(); }

    // Every line zo_getline returns from a file of the given bytes, joined by '|'.
    std::string lines_of(const std::string& bytes, int n = 200) {
        FILE* f = zo_fopen(dir.write("lines.txt", bytes).c_str(), "r");
        std::string all;
        char buffer[256];
        while (int length = zo_getline(f, n, buffer)) {
            EXPECT_EQ(length, int(std::string(buffer).size()));
            all += std::string(buffer) + "|";
        }
        zo_fclose(f);
        return all;
    }
};

TEST_F(Files, GetlineStripsLineEndsSkipsEmptyLinesAndCountsAll) {
    EXPECT_EQ(lines_of("a\n\n\r\nb\n"), "a|b|");
    EXPECT_EQ(zo_lineno, 4);
    EXPECT_EQ(lines_of("x\r\r\n"), "x|");
    EXPECT_EQ(lines_of("abc"), "abc|");
    EXPECT_EQ(zo_lineno, 1);
    EXPECT_EQ(lines_of(""), "");
    EXPECT_EQ(zo_lineno, 0);
    // Only carriage returns at the end go; one inside the line stays.
    EXPECT_EQ(lines_of("a\rb\r\n"), "a\rb|");
}

TEST_F(Files, GetlineTakesLinesUpToTheLimit) {
    const std::string l198(198, 'y');
    EXPECT_EQ(lines_of(l198 + "\n" + std::string(197, 'z') + "\r\n" + l198),
              l198 + "|" + std::string(197, 'z') + "|" + l198 + "|");
    EXPECT_EQ(zo_lineno, 3);
}

TEST_F(Files, GetlineEndsOnOverlongLine) {
    const std::string path = dir.write("long.map", "ok\n" + std::string(199, 'q') + "\n");
    auto run = run_child([&] {
        FILE* f = zo_fopen(path.c_str(), "r");
        char buffer[200];
        while (zo_getline(f, 200, buffer)) {
        }
    });
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, path + ": line 2 too long (max 200 chars, but 199 / last 0x71)\n'" +
                           std::string(199, 'q') + "'\a\n");
}

TEST_F(Files, GetlineWithoutRoomForACharacterReportsTheEnd) {
    FILE* f = zo_fopen(dir.write("a.txt", "abc\n").c_str(), "r");
    char buffer[4];
    EXPECT_EQ(zo_getline(f, 1, buffer), 0);
    EXPECT_EQ(zo_getline(f, 0, buffer), 0);
    zo_fclose(f);
}

TEST_F(Files, StreamsAreNamedByDescriptorUntilClosed) {
    EXPECT_STREQ(zo_fname(stderr), "stderr");
    EXPECT_STREQ(zo_fname(stdin), "stdin");
    EXPECT_STREQ(zo_fname(nullptr), "unknown file");

    std::string path = dir.write("a.map", "x\n");
    FILE* f = zo_fopen(path.c_str(), "r");
    EXPECT_EQ(zo_fname(f), path);
    FILE* other = zo_fopen(dir.write("b.map", "").c_str(), "r");
    EXPECT_EQ(zo_fname(other), (dir.path / "b.map").string());
    EXPECT_EQ(zo_fname(f), path);
    EXPECT_EQ(zo_fclose(f), 0);
    EXPECT_EQ(zo_fclose(other), 0);
    EXPECT_EQ(zo_fclose(nullptr), 0);

    // A stream the library did not open has no entry.
    FILE* plain = std::tmpfile();
    EXPECT_STREQ(zo_fname(plain), "unknown file");
    std::fclose(plain);
}

TEST_F(Files, OpenResetsTheLineCounter) {
    EXPECT_EQ(lines_of("a\nb\n"), "a|b|");
    EXPECT_EQ(zo_lineno, 2);
    FILE* f = zo_fopen(dir.write("c.bin", "").c_str(), "rb");
    EXPECT_EQ(zo_lineno, 0);
    zo_fclose(f);
}

TEST_F(Files, SeekCountsNegativeOffsetsFromTheEnd) {
    std::string bytes;
    for (int i = 0; i < 64; ++i) bytes += char(i);
    FILE* f = zo_fopen(dir.write("d.bin", bytes).c_str(), "rb");
    unsigned char got[4];
    EXPECT_EQ(zo_fseek(f, -16), 0);
    EXPECT_EQ(zo_fread(f, 4, got), 4);
    EXPECT_EQ(got[0], 48);
    EXPECT_EQ(zo_fseek(f, 8), 0);
    EXPECT_EQ(zo_fread(f, 1, got), 1);
    EXPECT_EQ(got[0], 8);
    // A short count at the end, nothing for counts of 0 or less.
    EXPECT_EQ(zo_fseek(f, 62), 0);
    EXPECT_EQ(zo_fread(f, 4, got), 2);
    EXPECT_EQ(zo_fread(f, 0, got), 0);
    EXPECT_EQ(zo_fread(f, -4, got), 0);
    zo_fclose(f);

    // Before the start of the file: the seek fails with the system's text.
    std::string path = dir.write("e.bin", "12345678");
    auto run = run_child([&] {
        FILE* g = zo_fopen(path.c_str(), "rb");
        zo_fseek(g, -16);
    });
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, path + ": Invalid argument\a\n");
}

TEST_F(Files, OpenFailuresNameThePath) {
    std::string missing = (dir.path / "nosuch.map").string();
    auto run = run_child([&] { zo_fopen(missing.c_str(), "r"); });
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, missing + ": No such file or directory\a\n");

    // An exclusive creation refuses a file that exists, and creates one that does not.
    std::string existing = dir.write("x.o_", "old");
    auto excl = run_child([&] { zo_fopen(existing.c_str(), "w+bx"); });
    EXPECT_EQ(excl.err, existing + ": File exists\a\n");
    FILE* made = zo_fopen((dir.path / "new.o_").string().c_str(), "w+bx");
    EXPECT_GE(std::fputs("img", made), 0);
    zo_fclose(made);
    EXPECT_TRUE(std::filesystem::exists(dir.path / "new.o_"));
    EXPECT_EQ(std::filesystem::file_size(existing), 3u);
}

} // namespace
