// The few pieces of the utility library that differ between Linux and
// Windows. Each build links exactly one of platform_posix.cpp and
// platform_win32.cpp.
#pragma once

#include <cstdint>
#include <ctime>

// The banner's platform label ("Linux x86_32" or "Win32 x86_32 X").
const char* platform_label();
// True for a character that separates path components.
bool platform_is_separator(char c);
// True when a directory ending in c needs no separator before a name.
bool platform_ends_directory(char c);
// The separator written between a directory and a name.
char platform_separator();
// Start-up wait of the Windows build (ZO_FWINE=resize); nothing elsewhere.
void platform_startup_prompt();
// The millisecond clock's raw reading and its ticks per millisecond; the
// first call may end the run when the clock is unusable.
int64_t platform_clock_reading();
int64_t platform_clock_ticks_per_ms();
// Time text for ctime's failures or negative times; null when not handled.
char* platform_ctime_fallback(time_t when);
