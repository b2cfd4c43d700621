// The few pieces of the utility library that differ between Linux and
// Windows. Each build links exactly one of platform_posix.cpp and
// platform_win32.cpp; the shared files call these and hold no conditionals.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

// ---- provided by platform_posix.cpp or platform_win32.cpp ---------------

// The banner's platform label ("Linux x86_32" or "Win32 x86_32 X").
const char* platform_label();
// True for the character after which zo_basename starts the base name.
bool platform_is_separator(char c);
// True when a directory ending in c needs no separator before a name.
bool platform_ends_directory(char c);
// The separator written between a directory and a name.
char platform_separator();
// Start-up wait of the Windows build (ZO_FWINE=resize); nothing elsewhere.
void platform_startup_prompt();
// Occupies a standard stream's descriptor that was closed when the program
// started with one that takes no writes: the files the program opens can then
// never take its place, and a write to standard output fails instead of
// landing in one of them.
void platform_hold_standard_streams();
// Ticks per second of the millisecond clock's counter; 0 when there is none.
int64_t platform_clock_frequency();
// The counter's current reading, in its own ticks.
int64_t platform_clock_count();
// ctime of when, or a text of the platform's own for times its ctime can
// not take; null when there is no text.
char* platform_ctime(time_t when);
// fopen; a mode holding 'x' creates the file and fails when it exists.
FILE* platform_fopen(const char* path, const char* mode);
// A new empty file for reading and writing that no name leads to and that
// goes away when it is closed or the program ends, however it ends; null
// when none can be made (errno tells why).
FILE* platform_temporary_file();
// The stream's file descriptor, -1 when it has none.
int platform_descriptor(FILE* stream);
// Removes path when the program is ended by a signal (a broken pipe,
// an interrupt, a termination or a hang-up on Linux; an interrupt or a
// termination on Windows), then ends it as the signal would have. Signals
// that are ignored stay ignored. A null path stops the removal. The text at
// path must live until the program ends.
void platform_remove_on_signal(const char* path);
// The size of a large page where the system has them: a block that is to take
// large pages comes in whole ones.
constexpr size_t platform_large_page = size_t(2) << 20;
// Memory for tables sized for their full capacity: size bytes of zeros, never
// released, of which only the pages the program touches are taken from the
// system. Ends the program when there is no memory.
void* platform_table_memory(size_t size);
// Asks for large pages for a block from platform_table_memory that is about
// to be filled (where the system has them; nothing elsewhere): one page fault
// then serves what would take hundreds.
void platform_prefer_large_pages(void* start, size_t size);

// ---- shared helpers that the platform files use -------------------------

// Reads standard input up to and including a newline, or to its end.
void wait_for_line();
// "Thu 1970-Jan-01 00:59:59" for when = -1: the calendar fields of UTC plus
// one hour, in a static buffer valid until the next call.
char* utc_plus_one_text(time_t when);
