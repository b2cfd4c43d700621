// The utility library's rules that belong to the Linux build: the slash as
// the one path separator, and map lines read byte for byte, so that a CR LF
// line end takes a character of the line's room. (The Windows rules are in
// the win32_*_test.cpp files.)
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "util/platform.h"

#include "test_support.h"
#include "util/zo.h"
#include "util_test_support.h"

namespace {

std::string take(char* text) {
    std::string s = text;
    zo_free(text);
    return s;
}

TEST(PosixPaths, PathJoinAddsOneSlashWhenNeeded) {
    EXPECT_EQ(take(zo_pathjoin("out", "calls.htm")), "out/calls.htm");
    EXPECT_EQ(take(zo_pathjoin("out/", "calls.htm")), "out/calls.htm");
    EXPECT_EQ(take(zo_pathjoin("/", "a")), "/a");
    EXPECT_EQ(take(zo_pathjoin("a/b", "")), "a/b/");
    // Drive names and backslashes mean nothing here.
    EXPECT_EQ(take(zo_pathjoin("C:", "a.htm")), "C:/a.htm");
    EXPECT_EQ(take(zo_pathjoin("out\\", "a.htm")), "out\\/a.htm");
}

TEST(PosixPaths, ProgramNameIsBaseNameWithoutLastExtension) {
    EXPECT_EQ(take(zo_progname("/usr/local/bin/pelorin")), "pelorin");
    EXPECT_EQ(take(zo_progname("dir.d/prog")), "prog");
    EXPECT_EQ(take(zo_progname("dir/")), "");
    EXPECT_EQ(take(zo_progname("bin\\pelorin.exe")), "bin\\pelorin");

    const char* path = "a/b/c.exe";
    EXPECT_EQ(zo_basename(path), path + 4);
}

TEST(PosixFiles, CrLfLineEndTakesACharacterOfTheRoom) {
    zo_reset_files();
    temp_dir dir;
    // 198 characters before CR LF: the CR is the 199th character read.
    const std::string crlf = dir.write("crlf.map", std::string(198, 'w') + "\r\n");
    auto run = run_child([&] {
        FILE* f = zo_fopen(crlf.c_str(), "r");
        char buffer[200];
        while (zo_getline(f, 200, buffer)) {
        }
    });
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, crlf + ": line 1 too long (max 200 chars, but 199 / last 0x0d)\n'" +
                           std::string(198, 'w') + "\r'\a\n");
    zo_reset_files();
}

// The image file of an object listing piped into head, interrupted or
// hung up must not stay behind: the next run would refuse to overwrite it.
TEST(PosixSignals, SignalsThatEndTheRunRemoveTheFileFirst) {
    temp_dir dir;
    const std::string path = dir.write("x.o_", "image");
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        dir.write("x.o_", "image");
        auto run = run_child([&] {
            platform_remove_on_signal(path.c_str());
            raise(signal_number);
            fputs("still running", stderr);
        });
        // Ended by the signal itself, as without the handler.
        EXPECT_EQ(run.status, 1000 + signal_number) << signal_number;
        EXPECT_EQ(run.err, "") << signal_number;
        EXPECT_FALSE(std::filesystem::exists(path)) << signal_number;
    }

    // A write into a pipe whose reader has gone, as with `pelorin x.o | head`.
    dir.write("x.o_", "image");
    auto piped = run_child([&] {
        platform_remove_on_signal(path.c_str());
        int ends[2];
        if (pipe(ends) != 0) return;
        close(ends[0]);
        ssize_t written = write(ends[1], "listing", 7);
        fprintf(stderr, "wrote %d", int(written));
    });
    EXPECT_EQ(piped.status, 1000 + SIGPIPE);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(PosixSignals, IgnoredSignalsAndAClearedPathLeaveTheFile) {
    temp_dir dir;
    const std::string path = dir.write("x.o_", "image");
    // nohup's ignored hang-up stays ignored.
    auto ignored = run_child([&] {
        signal(SIGHUP, SIG_IGN);
        platform_remove_on_signal(path.c_str());
        raise(SIGHUP);
        fputs("still running", stderr);
    });
    EXPECT_EQ(ignored.status, 0);
    EXPECT_EQ(ignored.err, "still running");
    EXPECT_TRUE(std::filesystem::exists(path));

    auto cleared = run_child([&] {
        platform_remove_on_signal(path.c_str());
        platform_remove_on_signal(nullptr);
        raise(SIGTERM);
    });
    EXPECT_EQ(cleared.status, 1000 + SIGTERM);
    EXPECT_TRUE(std::filesystem::exists(path));
}

} // namespace
