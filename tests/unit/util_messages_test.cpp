// The message path: exact bytes on stderr, the bell, the wait, the exit hook.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "util/zo.h"
#include "util_test_support.h"

namespace {

const std::string bell = "\a";

struct Messages : ::testing::Test {
    void SetUp() override {
        zo_reset_messages();
        zo_reset_clock();
    }
    void TearDown() override { zo_reset_messages(); }
};

TEST_F(Messages, MessageIsTextBellNewlineAndStatus255) {
    auto run = run_child([] { zo_message("%s: %d words", "dump.bin", 12); });
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, "dump.bin: 12 words" + bell + "\n");

    // Set to an empty value still counts as set.
    auto quiet =
        run_child([] { zo_message("%s: %d words", "dump.bin", 12); }, {{"ZO_FNOBELL", ""}});
    EXPECT_EQ(quiet.status, 255);
    EXPECT_EQ(quiet.err, "dump.bin: 12 words\n");

    // A text with newlines of its own carries one bell, before the final newline.
    auto help = run_child([] { zo_message("usage:\n\t-x\n"); });
    EXPECT_EQ(help.err, "usage:\n\t-x\n" + bell + "\n");
}

TEST_F(Messages, ErrorPrefixComesFromNameArgumentZeroOrError) {
    auto before_init = run_child([] { zo_error(nullptr, "bad thing"); });
    EXPECT_EQ(before_init.status, 255);
    EXPECT_EQ(before_init.err, "ERROR: bad thing" + bell + "\n");

    auto after_init = run_child([] {
        static char arg0[] = "./bin/pelorin";
        static char* argv[] = {arg0, nullptr};
        zo_init(1, argv);
        zo_error(nullptr, "bad thing");
    });
    EXPECT_EQ(after_init.err, "./bin/pelorin: bad thing" + bell + "\n");

    // An initialisation with no arguments still leaves "ERROR".
    auto no_args = run_child([] {
        zo_init(0, nullptr);
        zo_error(nullptr, "bad thing");
    });
    EXPECT_EQ(no_args.err, "ERROR: bad thing" + bell + "\n");

    const std::string long_name(150, 'n');
    auto long_run = run_child([&] { zo_error(long_name.c_str(), "x"); });
    EXPECT_EQ(long_run.err, std::string(99, 'n') + ": x" + bell + "\n");
}

TEST_F(Messages, StarAsksForTheSystemTextWhenThereIsOne) {
    auto no_errno = run_child([] {
        errno = 0;
        zo_error("maps/a.map", "*can't open");
    });
    EXPECT_EQ(no_errno.err, "maps/a.map: can't open" + bell + "\n");

    auto with_errno = run_child([] {
        errno = ENOENT;
        zo_error("maps/a.map", "*can't open");
    });
    EXPECT_EQ(with_errno.err, "maps/a.map: No such file or directory" + bell + "\n");

    // Without a star the text stands whatever errno holds.
    auto plain = run_child([] {
        errno = ENOMEM;
        zo_error("[re]alloc", "illegal size");
    });
    EXPECT_EQ(plain.err, "[re]alloc: illegal size" + bell + "\n");

    // No text at all: the system text alone.
    auto no_text = run_child([] {
        errno = EACCES;
        zo_error("out", nullptr);
    });
    EXPECT_EQ(no_text.err, "out: Permission denied" + bell + "\n");
}

TEST_F(Messages, WaitPromptsAndStopsAtEndOfInputOrNewline) {
    // Empty value, standard input at its end: prompt, then exit without blocking.
    auto at_end = run_child([] { zo_message("stop"); }, {{"ZO_FWAIT", ""}});
    EXPECT_EQ(at_end.status, 255);
    EXPECT_EQ(at_end.err, "stop" + bell + "\n" + bell + "\n\npress RETURN to continue ");

    // The wait reads up to the first newline and no further: the hook, which
    // runs after it, still finds the rest of the input.
    static char rest[16];
    auto at_line = run_child(
        [] {
            zo_set_exit_hook([] {
                if (fgets(rest, sizeof rest, stdin)) fprintf(stderr, "[%s]", rest);
            });
            zo_message("stop");
        },
        {{"ZO_FWAIT", "1"}}, "typed\nrest");
    EXPECT_EQ(at_line.err, "stop" + bell + "\n" + bell + "\n\npress RETURN to continue [rest]");

    // Without ZO_FWAIT nothing is read.
    auto no_wait = run_child(
        [] {
            zo_set_exit_hook([] {
                if (fgets(rest, sizeof rest, stdin)) fprintf(stderr, "[%s]", rest);
            });
            zo_exit(3);
        },
        {}, "typed\n");
    EXPECT_EQ(no_wait.status, 3);
    EXPECT_EQ(no_wait.err, "[typed\n]");
}

TEST_F(Messages, ExitHookRunsOnceEvenWhenItFails) {
    static int calls = 0;
    auto run = run_child([] {
        zo_set_exit_hook([] {
            ++calls;
            fprintf(stderr, "hook %d\n", calls);
            zo_message("hook failed");
        });
        zo_message("first");
    });
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, "first" + bell + "\nhook 1\nhook failed" + bell + "\n");

    // A cleared hook does not run.
    auto cleared = run_child([] {
        zo_set_exit_hook([] { fputs("hook", stderr); });
        zo_set_exit_hook(nullptr);
        zo_exit(0);
    });
    EXPECT_EQ(cleared.status, 0);
    EXPECT_EQ(cleared.err, "");
}

TEST_F(Messages, FatalPathsExitWith255) {
    EXPECT_EXIT(zo_message("x"), ::testing::ExitedWithCode(255), "x");
    EXPECT_EXIT(zo_error("name", "text"), ::testing::ExitedWithCode(255), "name: text");
}

} // namespace
