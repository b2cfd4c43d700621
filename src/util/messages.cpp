// The one way out of the program: a message on stderr, the bell, a newline
// and exit status -1; and the library's start-up.
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "util/platform.h"
#include "util/zo.h"

namespace {

int recorded_argc = 0;
char** recorded_argv = nullptr;
char prefix[100];    // zo_error's copy of the name
char errno_text[20]; // "unknown error %d" when the system has no text
void (*exit_hook)() = nullptr;
void (*exit_seam)(int) = nullptr; // set by fuzzing harnesses only

// The system's text for an error number, or "unknown error N".
const char* system_text(int error) {
    const char* text = strerror(error);
    if (text != nullptr && text[0] != 0) return text;
    zo_snprintf(errno_text, sizeof errno_text, "unknown error %d", error);
    return errno_text;
}

} // namespace

void zo_init(int argc, char** argv) {
    recorded_argc = argc;
    recorded_argv = argv;
    platform_hold_standard_streams();
    platform_startup_prompt();
    // The first reading fixes the clock's starting point.
    zo_milsec();
}

void zo_message(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    zo_bell();
    fputc('\n', stderr);
    fflush(stderr);
    zo_exit(-1);
}

void zo_error(const char* name, const char* text) {
    // Taken first: nothing below may disturb the number being reported.
    int error = errno;
    const char* head = "ERROR";
    if (name != nullptr) {
        *zo_strcopy(prefix, name, sizeof prefix - 1) = 0;
        head = prefix;
    } else if (recorded_argc > 0 && recorded_argv != nullptr && recorded_argv[0] != nullptr) {
        head = recorded_argv[0];
    }
    // A leading '*' asks for the system's explanation whenever there is one.
    if (text == nullptr)
        text = system_text(error);
    else if (text[0] == '*')
        text = error != 0 ? system_text(error) : text + 1;
    zo_message("%s: %s", head, text);
}

void zo_bell() {
    if (getenv("ZO_FNOBELL") != nullptr) return;
    fputc('\a', stderr);
    fflush(stderr);
}

void wait_for_line() {
    for (;;) {
        int c = getchar();
        if (c == '\n' || c == EOF) return;
    }
}

void zo_exit(int status) {
    if (getenv("ZO_FWAIT") != nullptr) {
        fputs("\a\n\npress RETURN to continue ", stderr);
        fflush(stderr);
        wait_for_line();
    }
    // Cleared before the call: a hook that itself fails must not run again.
    if (void (*hook)() = exit_hook) {
        exit_hook = nullptr;
        hook();
    }
    if (exit_seam != nullptr) exit_seam(status);
    exit(status);
}

void zo_set_exit_hook(void (*hook)()) {
    exit_hook = hook;
}

void zo_set_exit_seam(void (*leave)(int status)) {
    exit_seam = leave;
}

void zo_reset_messages() {
    recorded_argc = 0;
    recorded_argv = nullptr;
    exit_hook = nullptr;
}
