// The zo_ utility library: messages and termination, memory and strings,
// files and lines, the clock and the timestamp text. Every other part of the
// program allocates, opens, reads, seeks and reports errors through these.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

// ---- messages and termination -------------------------------------------

// Records the arguments and starts the millisecond clock; called once, first.
void zo_init(int argc, char** argv);
// Writes the formatted message, the bell and a newline to stderr; exits with -1.
[[noreturn]] void zo_message(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Reports "name: text" (a leading '*' in text asks for the system's error text).
[[noreturn]] void zo_error(const char* name, const char* text);
// Writes the bell to stderr unless ZO_FNOBELL is set.
void zo_bell();
// Ends the program, after the ZO_FWAIT prompt when that variable is set.
[[noreturn]] void zo_exit(int status);
// Registers a routine that zo_exit runs before exiting (one at a time; null clears it).
void zo_set_exit_hook(void (*hook)());
// For in-process fuzzing only; the program never sets it. When set, zo_exit
// calls leave(status) where it would call exit, after the prompt and the exit
// hook; leave must not return (a harness throws). Null restores exit.
void zo_set_exit_seam(void (*leave)(int status));

// ---- memory and strings --------------------------------------------------

// New uninitialised block; ends the program on a bad size or no memory.
void* zo_alloc(int64_t size);
// Releases a block from zo_alloc; null is ignored.
void zo_free(void* block);
// New string first + second (a null second counts as empty).
char* zo_strjoin(const char* first, const char* second);
// New string directory + separator where needed + name.
char* zo_pathjoin(const char* directory, const char* name);
// Position in path just past its last separator.
const char* zo_basename(const char* path);
// New string: the base name of path without its last extension.
char* zo_progname(const char* path);
// Copies at most n characters; terminates when fewer were copied; returns the end.
char* zo_strcopy(char* destination, const char* source, int n);
// As zo_strcopy, but returns the start of the destination.
char* zo_strcopy_start(char* destination, const char* source, int n);
// Bounded formatted print; always terminates; returns the formatted length.
int zo_snprintf(char* buffer, int size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// ---- files and lines ----------------------------------------------------

// Number of lines zo_getline read since the last zo_fopen.
extern int zo_lineno;

// Opens a stream and names it; ends the program when it can not be opened.
// A mode holding 'x' creates the file and fails when it exists already.
FILE* zo_fopen(const char* path, const char* mode);
// Opens a new temporary file for reading and writing that no path leads to
// and that goes away when it is closed or the program ends, under the
// display name given; ends the program when none can be made.
FILE* zo_ftemp(const char* name);
// Closes a stream (null is ignored); ends the program on a closing error, and
// with "*write error" when a stream opened for writing lost any of its writes.
int zo_fclose(FILE* stream);
// Writes out a stream's buffer; ends the program with "*write error" when
// that or any earlier write to it failed.
void zo_fflush(FILE* stream);
// Reads up to n bytes; returns how many came.
int zo_fread(FILE* stream, int n, void* buffer);
// Seeks to offset from the start, or from the end when offset is negative.
int zo_fseek(FILE* stream, int32_t offset);
// The display name of a stream: its path, a standard stream's name or "unknown file".
const char* zo_fname(FILE* stream);
// Next non-empty line without its line end; 0 at the end of the input.
int zo_getline(FILE* stream, int n, char* buffer);

// ---- clock and time text ------------------------------------------------

// Milliseconds since the first call.
int64_t zo_milsec();
// 24-character local time text of when (0: now); valid until the next call.
char* zo_ctime(time_t when);
// Replaces the millisecond clock's counter (ticks per second, 0 for none, and
// the current count); null restores the platform's own. For tests.
void zo_set_clock_source(int64_t (*frequency)(), int64_t (*count)());

// ---- clean state for unit tests ------------------------------------------

// Forgets the recorded arguments and the exit hook.
void zo_reset_messages();
// Empties the stream name table (descriptors 3 to 19) and zo_lineno.
void zo_reset_files();
// Restores the platform clock and forgets its starting point.
void zo_reset_clock();
