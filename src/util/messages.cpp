// Temporary minimal message path; replaced by the full utility library.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cerrno>

#include "util/zo.h"

void zo_init(int, char**) {}
void zo_message(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputs("\a\n", stderr);
    zo_exit(-1);
}
void zo_error(const char* name, const char* text) {
    if (!text || text[0] == '*') text = errno ? strerror(errno) : (text ? text + 1 : "");
    zo_message("%s: %s", name ? name : "ERROR", text);
}
void zo_bell() {}
void zo_exit(int status) { exit(status); }
void zo_set_exit_hook(void (*)()) {}
