// The millisecond clock with real and injected counters, and the time text.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "util/platform.h"
#include "util/zo.h"
#include "util_test_support.h"

namespace {

int64_t fake_frequency = 0;
int64_t fake_count = 0;
int64_t read_fake_frequency() {
    return fake_frequency;
}
int64_t read_fake_count() {
    return fake_count;
}

struct Clock : ::testing::Test {
    void SetUp() override {
        zo_reset_clock();
        fake_frequency = 0;
        fake_count = 0;
    }
    void TearDown() override { zo_reset_clock(); }
};

TEST_F(Clock, StartsNearZeroAndNeverGoesBack) {
    int64_t first = zo_milsec();
    int64_t second = zo_milsec();
    EXPECT_GE(first, 0);
    EXPECT_LT(first, 50);
    EXPECT_GE(second, first);
}

TEST_F(Clock, CountsWholeMillisecondsFromTheFirstReading) {
    zo_set_clock_source(read_fake_frequency, read_fake_count);
    fake_frequency = 10000; // the slowest counter accepted: 10 ticks per millisecond
    fake_count = 123456789;
    EXPECT_EQ(zo_milsec(), 0);
    fake_count += 19;
    EXPECT_EQ(zo_milsec(), 1);
    fake_count += 10001;
    EXPECT_EQ(zo_milsec(), 1002);
}

TEST_F(Clock, UnusableCountersEndTheRun) {
    zo_set_clock_source(read_fake_frequency, read_fake_count);
    fake_frequency = 9999;
    auto slow = run_child([] { zo_milsec(); });
    EXPECT_EQ(slow.status, 255);
    EXPECT_EQ(slow.err, "zo_milsec: counter frequency too low\a\n");

    fake_frequency = 0;
    auto none = run_child([] { zo_milsec(); });
    EXPECT_EQ(none.err, "zo_milsec: no high resolution counter\a\n");

    // The first reading is taken at start-up, so that is where it ends.
    auto at_init = run_child([] {
        static char arg0[] = "pelorin";
        static char* argv[] = {arg0, nullptr};
        zo_init(1, argv);
    });
    EXPECT_EQ(at_init.err, "zo_milsec: no high resolution counter\a\n");
}

TEST_F(Clock, TimeTextIsTheLocalCtimeWithoutNewline) {
    const char* saved = getenv("TZ");
    std::string saved_tz = saved ? saved : "";
    set_test_env("TZ", "UTC");
    tzset();
    EXPECT_STREQ(zo_ctime(1796587206), "Sun Dec  6 20:00:06 2026");
    set_test_env("TZ", "UTC-1");
    tzset();
    EXPECT_STREQ(zo_ctime(1796587206), "Sun Dec  6 21:00:06 2026");
    set_test_env("TZ", saved ? saved_tz.c_str() : nullptr);
    tzset();

    // 0 stands for now.
    std::string now = zo_ctime(0);
    EXPECT_EQ(now.size(), 24u);
    EXPECT_EQ(now, zo_ctime(time(nullptr)));

    auto illegal = run_child([] { zo_ctime(LLONG_MAX); });
    EXPECT_EQ(illegal.status, 255);
    EXPECT_EQ(illegal.err, "ctime: illegal time\a\n");
}

TEST(ClockText, NegativeTimesReadAsUtcPlusOneHour) {
    EXPECT_STREQ(utc_plus_one_text(-1), "Thu 1970-Jan-01 00:59:59");
    EXPECT_STREQ(utc_plus_one_text(-3601), "Wed 1969-Dec-31 23:59:59");
    EXPECT_STREQ(utc_plus_one_text(0), "Thu 1970-Jan-01 01:00:00");
    EXPECT_STREQ(utc_plus_one_text(951827696), "Tue 2000-Feb-29 13:34:56");
    EXPECT_STREQ(utc_plus_one_text(-2203891200 - 3600), "Thu 1900-Mar-01 00:00:00");
}

} // namespace
