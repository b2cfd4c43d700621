// Output that can not be written ends the run with a message and status 255:
// a page whose buffered writes were lost, a full disk, a closed standard
// output, an HTML directory that goes away while the pages are written.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "html/call_targets.h"
#include "html/page_elements.h"
#include "html/page_set.h"
#include "listing/labels.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/output.h"
#include "util/platform.h"
#include "util/zo.h"

namespace {

struct WriteErrors : ::testing::Test {
    void SetUp() override { reset_all(); }
    void TearDown() override { reset_all(); }
    static void reset_all() { reset_page_run(); }
    temp_dir dir;
};

TEST_F(WriteErrors, ClosingAStreamThatLostWritesFails) {
    // Unbuffered: the write fails at once and leaves only the error flag, so
    // the close itself has nothing left to fail on.
    child_result lost = run_child([] {
        FILE* page = zo_fopen("/dev/full", "w");
        std::setvbuf(page, nullptr, _IONBF, 0);
        std::fputs("<HTML>\n", page);
        zo_fclose(page);
    });
    EXPECT_EQ(lost.status, 255);
    EXPECT_EQ(lost.err, "/dev/full: write error\a\n");

    // Buffered: the close writes the buffer out and fails with the system's text.
    child_result full = run_child([] {
        FILE* page = zo_fopen("/dev/full", "w");
        std::fputs("<HTML>\n", page);
        zo_fclose(page);
    });
    EXPECT_EQ(full.status, 255);
    EXPECT_EQ(full.err, "/dev/full: No space left on device\a\n");
}

TEST_F(WriteErrors, ReadStreamClosesDespiteItsErrorFlag) {
    // A directory opens for reading, and reading it fails: for an input that
    // is only an early end, not a lost write.
    FILE* input = zo_fopen(dir.text.c_str(), "r");
    char byte;
    EXPECT_EQ(zo_fread(input, 1, &byte), 0);
    EXPECT_NE(std::ferror(input), 0);
    EXPECT_EQ(zo_fclose(input), 0);
}

TEST_F(WriteErrors, FlushReportsEarlierFailedWrites) {
    child_result result = run_child([] {
        FILE* listing = zo_fopen("/dev/full", "w");
        std::setvbuf(listing, nullptr, _IONBF, 0);
        std::fputs("\t00000000:    00000000\tnop\n", listing);
        zo_fflush(listing);
    });
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.err, "/dev/full: write error\a\n");
}

TEST_F(WriteErrors, ClosedStandardOutputIsNeverTakenByAFile) {
    std::string path = dir.write("dump.bin", "abcd");
    child_result result = run_child([&] {
        close(1);
        platform_hold_standard_streams();
        FILE* input = zo_fopen(path.c_str(), "rb");
        // The file got a descriptor of its own; writes to standard output fail.
        if (fileno(input) == 1) std::_Exit(3);
        std::fputs("listing\n", stdout);
        zo_fflush(stdout);
    });
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.err, "stdout: Bad file descriptor\a\n");
}

TEST_F(WriteErrors, PageTailOnAFullDiskEndsTheRun) {
    child_result result = run_child([] {
        settings.output = zo_fopen("/dev/full", "w");
        out_text("\t00000100:    00000000\tnop\n");
        html_page_tail();
    });
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.err, "/dev/full: No space left on device\a\n");
}

TEST_F(WriteErrors, HtmlDirectoryThatGoesAwayEndsTheRunAtTheNextPage) {
    const temp_dir& where = dir;
    child_result result = run_child([&] {
        std::filesystem::current_path(where.path);
        std::filesystem::create_directory(where.path / "out");
        settings.html_dir = "out";
        settings.input_path = "dump.bin";
        pages.count = 2;
        pages.starts = {0x100, 0x120};
        pages.paged_end = 0x140;
        for (uint32_t a = 0x100; a != 0x120; a += 4) {
            html_page_switch(a);
            out_format("\t%08x:\n", a);
        }
        std::filesystem::remove_all(where.path / "out");
        html_page_switch(0x120);
    });
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.err, "out/00000120.htm: No such file or directory\a\n");
    // The redirect page, written before, remains.
    EXPECT_TRUE(std::filesystem::exists(dir.path / "index.htm"));
}

} // namespace
