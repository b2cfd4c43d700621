// The Linux side of the utility library: slash paths, gettimeofday as the
// millisecond clock, the C library's fopen and ctime as they are, and the
// removal of the image file when a signal ends the program.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/time.h>
#include <unistd.h>

#include "util/platform.h"
#include "util/zo.h"

const char* platform_label() {
    return "Linux x86_32";
}

bool platform_is_separator(char c) {
    return c == '/';
}

bool platform_ends_directory(char c) {
    return c == '/';
}

char platform_separator() {
    return '/';
}

// Only the Windows build asks for a resized console window.
void platform_startup_prompt() {}

// /dev/null opened for reading only: reads find the end at once, writes fail.
// open takes the lowest free descriptor, which is the one being held, as
// the lower ones are open by then.
void platform_hold_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int held = open("/dev/null", O_RDONLY);
        if (held >= 0 && held != fd) close(held);
    }
}

// gettimeofday counts microseconds.
int64_t platform_clock_frequency() {
    return 1000000;
}

int64_t platform_clock_count() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return int64_t(now.tv_sec) * 1000000 + int64_t(now.tv_usec);
}

char* platform_ctime(time_t when) {
    return ctime(&when);
}

// glibc's fopen knows the 'x' of an exclusive creation itself.
FILE* platform_fopen(const char* path, const char* mode) {
    return fopen(path, mode);
}

// tmpfile removes the file's name as it creates it: not even a kill leaves
// it behind.
FILE* platform_temporary_file() {
    return std::tmpfile();
}

int platform_descriptor(FILE* stream) {
    return fileno(stream);
}

namespace {

// The file to remove; read by the handler, so set before it is installed.
const char* volatile signal_removed_path = nullptr;
constexpr int removal_signals[] = {SIGPIPE, SIGINT, SIGTERM, SIGHUP};

// Only async-signal-safe calls here: unlink, sigaction, sigprocmask, raise.
extern "C" void remove_and_reraise(int signal_number) {
    if (const char* path = signal_removed_path) unlink(path);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal_number, &fallback, nullptr);
    // The signal is blocked while its handler runs: let it through at once.
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal_number);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(signal_number);
}

} // namespace

void platform_remove_on_signal(const char* path) {
    signal_removed_path = path;
    if (path == nullptr) return;
    for (int signal_number : removal_signals) {
        struct sigaction current {};
        sigaction(signal_number, nullptr, &current);
        // A signal ignored by the caller (nohup, a shell's background job) stays so.
        if (current.sa_handler == SIG_IGN) continue;
        struct sigaction handler {};
        handler.sa_handler = remove_and_reraise;
        sigemptyset(&handler.sa_mask);
        // Every removal signal waits while the handler runs.
        for (int other : removal_signals) sigaddset(&handler.sa_mask, other);
        sigaction(signal_number, &handler, nullptr);
    }
}

namespace {
constexpr size_t large_page = platform_large_page;
size_t large_pages_for(size_t size) {
    return (size + large_page - 1) & ~(large_page - 1);
}
} // namespace

// Mapped on a large-page boundary with whole large pages, so that the block
// can take them when asked; mmap's pages are zero and taken on first touch.
void* platform_table_memory(size_t size) {
    const size_t length = large_pages_for(size) + large_page;
    void* mapped =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        void* block = std::calloc(1, size);
        if (block == nullptr) zo_error("[re]alloc", "no memory");
        return block;
    }
    const uintptr_t start =
        (reinterpret_cast<uintptr_t>(mapped) + large_page - 1) & ~(large_page - 1);
    return reinterpret_cast<void*>(start);
}

// Transparent huge pages, where the kernel offers them for the asking; a
// refusal (an older kernel, the calloc fallback) leaves ordinary pages.
void platform_prefer_large_pages(void* start, size_t size) {
    if ((reinterpret_cast<uintptr_t>(start) & (large_page - 1)) == 0)
        madvise(start, large_pages_for(size), MADV_HUGEPAGE);
}
