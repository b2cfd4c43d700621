// The millisecond clock that counts from its first reading, and the time
// text of the HTML banner.
#include <cstdlib>
#include <cstring>

#include "util/platform.h"
#include "util/zo.h"

namespace {

int64_t (*clock_frequency)() = platform_clock_frequency;
int64_t (*clock_count)() = platform_clock_count;
bool clock_started = false;
int64_t clock_start = 0; // counter reading of the first call
int64_t ticks_per_ms = 0;

// The last time text of zo_ctime, reused within the same second and time zone.
time_t last_when = 0;
char last_text[64];
char last_zone[128];
// The text of utc_plus_one_text.
char utc_text[48];

} // namespace

int64_t zo_milsec() {
    if (!clock_started) {
        int64_t frequency = clock_frequency();
        if (frequency <= 0) zo_error("zo_milsec", "no high resolution counter");
        ticks_per_ms = frequency / 1000;
        // Below 10000 Hz a millisecond would hold too few ticks to mean much.
        if (ticks_per_ms <= 9) zo_error("zo_milsec", "counter frequency too low");
        clock_start = clock_count();
        clock_started = true;
    }
    return (clock_count() - clock_start) / ticks_per_ms;
}

char* zo_ctime(time_t when) {
    if (when == 0) when = time(nullptr);
    // Every HTML page asks for the time; within one second, and with the same
    // time zone setting, the text is the same, and converting it anew costs a
    // look at the time zone file.
    const char* zone = getenv("TZ");
    if (zone == nullptr) zone = "";
    bool zone_fits = strlen(zone) < sizeof last_zone;
    if (last_text[0] != 0 && when == last_when && zone_fits && strcmp(zone, last_zone) == 0)
        return last_text;
    char* text = platform_ctime(when);
    if (text == nullptr) zo_error("ctime", "illegal time");
    // The newline stands at index 24, unless a year past 9999 pushed it on.
    if (char* newline = strchr(text, '\n')) *newline = 0;
    last_text[0] = 0;
    if (!zone_fits || strlen(text) >= sizeof last_text) return text;
    strcpy(last_text, text);
    strcpy(last_zone, zone);
    last_when = when;
    return last_text;
}

char* utc_plus_one_text(time_t when) {
    static constexpr char weekdays[7][4] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static constexpr char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int64_t seconds = int64_t(when) + 3600;
    int64_t days = seconds / 86400;
    int64_t second_of_day = seconds % 86400;
    if (second_of_day < 0) {
        second_of_day += 86400;
        --days;
    }
    // Civil date of a day count from 1970-01-01 (eras of 400 years, March-based years).
    int64_t shifted = days + 719468;
    int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    int64_t day_of_era = shifted - era * 146097;
    int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    int64_t march_month = (5 * day_of_year + 2) / 153;
    int64_t day = day_of_year - (153 * march_month + 2) / 5 + 1;
    int64_t month = march_month < 10 ? march_month + 3 : march_month - 9;
    int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    int64_t weekday = days % 7;
    if (weekday < 0) weekday += 7;
    zo_snprintf(utc_text, sizeof utc_text, "%s %lld-%s-%02d %02d:%02d:%02d", weekdays[weekday],
                static_cast<long long>(year), months[month - 1], int(day),
                int(second_of_day / 3600), int(second_of_day / 60 % 60), int(second_of_day % 60));
    return utc_text;
}

void zo_set_clock_source(int64_t (*frequency)(), int64_t (*count)()) {
    clock_frequency = frequency != nullptr ? frequency : platform_clock_frequency;
    clock_count = count != nullptr ? count : platform_clock_count;
}

void zo_reset_clock() {
    zo_set_clock_source(nullptr, nullptr);
    clock_started = false;
    clock_start = 0;
    ticks_per_ms = 0;
    last_when = 0;
    last_text[0] = 0;
    last_zone[0] = 0;
}
