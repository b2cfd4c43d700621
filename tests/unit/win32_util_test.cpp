// The utility library's Windows-only behaviour: the ZO_FWINE start-up
// prompt, the performance-counter clock, the time text for negative times,
// and map lines read in text mode.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "test_support.h"
#include "util/platform.h"
#include "util/zo.h"
#include "util_test_support.h"

namespace {

const std::string bell = "\a";
const std::string prompt = "Resize window, then press ENTER " + bell;

char arg0[] = "pelorin";
char* argv[] = {arg0, nullptr};

// zo_init, then what is left of standard input, in brackets on stderr.
void init_then_show_rest() {
    zo_init(1, argv);
    char rest[32] = "";
    if (!fgets(rest, sizeof rest, stdin)) rest[0] = 0;
    fprintf(stderr, "[%s]", rest);
}

int64_t fake_frequency = 0;
int64_t fake_count = 0;
int64_t read_fake_frequency() {
    return fake_frequency;
}
int64_t read_fake_count() {
    return fake_count;
}

struct WindowsUtil : ::testing::Test {
    void SetUp() override {
        zo_reset_messages();
        zo_reset_clock();
        zo_reset_files();
    }
    void TearDown() override {
        zo_reset_messages();
        zo_reset_clock();
        zo_reset_files();
    }
};

TEST_F(WindowsUtil, ResizePromptWaitsForOneLineAtStartUp) {
    auto typed = run_child(init_then_show_rest, {{"ZO_FWINE", "resize"}}, "\nrest\n");
    EXPECT_EQ(typed.status, 0);
    EXPECT_EQ(typed.err, prompt + "[rest\n]");

    // Only the first line is taken, whatever it holds.
    auto words = run_child(init_then_show_rest, {{"ZO_FWINE", "resize"}}, "ok then\nrest");
    EXPECT_EQ(words.err, prompt + "[rest]");

    // Standard input at its end: the program goes on at once.
    auto at_end = run_child(init_then_show_rest, {{"ZO_FWINE", "resize"}});
    EXPECT_EQ(at_end.status, 0);
    EXPECT_EQ(at_end.err, prompt + "[]");
}

TEST_F(WindowsUtil, OtherValuesOfZoFwineDoNothing) {
    for (const char* value : {"RESIZE", "resize ", "yes", "1"}) {
        auto run = run_child(init_then_show_rest, {{"ZO_FWINE", value}}, "line\n");
        EXPECT_EQ(run.status, 0) << value;
        EXPECT_EQ(run.err, "[line\n]") << value;
    }
    auto unset = run_child(init_then_show_rest, {}, "line\n");
    EXPECT_EQ(unset.err, "[line\n]");
}

TEST_F(WindowsUtil, PromptComesBeforeTheClockStarts) {
    // A counter too slow ends the run inside zo_init, after the wait.
    zo_set_clock_source(read_fake_frequency, read_fake_count);
    fake_frequency = 9999;
    auto slow = run_child(init_then_show_rest, {{"ZO_FWINE", "resize"}}, "\n");
    EXPECT_EQ(slow.status, 255);
    EXPECT_EQ(slow.err, prompt + "zo_milsec: counter frequency too low" + bell + "\n");

    fake_frequency = 0;
    auto none = run_child(init_then_show_rest, {{"ZO_FNOBELL", "1"}, {"ZO_FWINE", "resize"}});
    EXPECT_EQ(none.status, 255);
    // ZO_FNOBELL takes the bell out of messages, not out of the prompt.
    EXPECT_EQ(none.err, prompt + "zo_milsec: no high resolution counter\n");
}

TEST_F(WindowsUtil, PerformanceCounterIsFastEnoughAndCountsUp) {
    EXPECT_GE(platform_clock_frequency(), 10000);
    int64_t first = platform_clock_count();
    EXPECT_GE(platform_clock_count(), first);
    int64_t start = zo_milsec();
    EXPECT_GE(start, 0);
    EXPECT_LT(start, 50);
    EXPECT_GE(zo_milsec(), start);
}

TEST_F(WindowsUtil, NegativeTimeHasATextOfItsOwn) {
    EXPECT_STREQ(zo_ctime(-1), "Thu 1970-Jan-01 00:59:59");
    EXPECT_STREQ(zo_ctime(-86400 * 365), "Wed 1969-Jan-01 01:00:00");
}

TEST_F(WindowsUtil, DayOfTheMonthIsPaddedWithABlank) {
    const char* saved = getenv("TZ");
    std::string saved_tz = saved ? saved : "";
    set_test_env("TZ", "UTC");
    tzset();
    // The C runtime writes "Sun Dec 06"; the banner reads as on Linux.
    EXPECT_STREQ(zo_ctime(1796587206), "Sun Dec  6 20:00:06 2026");
    EXPECT_STREQ(zo_ctime(1797451206), "Wed Dec 16 20:00:06 2026");
    set_test_env("TZ", saved ? saved_tz.c_str() : nullptr);
    tzset();
}

TEST_F(WindowsUtil, TextModeReadsCrLfAsOneLineEnd) {
    // Map files are opened in text mode: CR LF arrives as LF, so a CR LF
    // line holds as many characters as an LF line (198 with n = 200).
    temp_dir dir;
    FILE* f = zo_fopen(dir.write("crlf.map", std::string(198, 'w') + "\r\nx\r\r\n").c_str(), "r");
    char buffer[200];
    EXPECT_EQ(zo_getline(f, 200, buffer), 198);
    EXPECT_EQ(zo_getline(f, 200, buffer), 1);
    EXPECT_STREQ(buffer, "x");
    EXPECT_EQ(zo_getline(f, 200, buffer), 0);
    zo_fclose(f);

    const std::string long_crlf = dir.write("long.map", std::string(199, 'q') + "\r\n");
    auto run = run_child([&] {
        FILE* g = zo_fopen(long_crlf.c_str(), "r");
        while (zo_getline(g, 200, buffer)) {
        }
    });
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, long_crlf + ": line 1 too long (max 200 chars, but 199 / last 0x71)\n'" +
                           std::string(199, 'q') + "'\a\n");
}

TEST_F(WindowsUtil, TerminationRemovesTheImageFileFirst) {
    temp_dir dir;
    for (int signal_number : {SIGINT, SIGTERM}) {
        const std::string path = dir.write("x.o_", "image");
        auto run = run_child([&] {
            // Open, as the listing holds its image: the handler closes it first.
            FILE* image = fopen(path.c_str(), "rb");
            platform_remove_on_signal(path.c_str());
            raise(signal_number);
            fprintf(stderr, "still running %p", static_cast<void*>(image));
        });
        EXPECT_NE(run.status, 0) << signal_number;
        EXPECT_EQ(run.err, "") << signal_number;
        EXPECT_FALSE(std::filesystem::exists(path)) << signal_number;
    }
}

} // namespace
