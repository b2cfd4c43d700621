// The Windows side of the utility library: backslash paths with drive names,
// the performance counter as the millisecond clock, the ZO_FWINE start-up
// prompt, an exclusive fopen, a temporary file without a name, a time text for negative times and
// the removal of the image file when Ctrl-C or a termination ends the program.
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <io.h>
#include <sys/stat.h>

#include "util/platform.h"
#include "util/zo.h"

const char* platform_label() {
    return "Win32 x86_32 X";
}

// A slash is an ordinary character in a base name here.
bool platform_is_separator(char c) {
    return c == '\\';
}

// "C:" names the current directory of drive C, so "C:" + "a.htm" is a path.
bool platform_ends_directory(char c) {
    return c == '\\' || c == ':';
}

char platform_separator() {
    return '\\';
}

// Under wine the console window may need resizing before the first line
// appears; ZO_FWINE=resize gives the user the chance. Other values do nothing.
void platform_startup_prompt() {
    const char* wine = getenv("ZO_FWINE");
    if (wine == nullptr || strcmp(wine, "resize") != 0) return;
    fputs("Resize window, then press ENTER \a", stderr);
    fflush(stderr);
    wait_for_line();
}

// The C runtime keeps descriptors 0 to 2 for the standard streams even when
// they have no handle, so no file can take one over.
void platform_hold_standard_streams() {}

int64_t platform_clock_frequency() {
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency)) return 0;
    return int64_t(frequency.QuadPart);
}

int64_t platform_clock_count() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return int64_t(count.QuadPart);
}

// The C runtime's ctime takes no negative time (time() gives -1 when it
// fails), so such times get a text of their own. Its day of the month has a
// leading zero ("Sun Dec 06"), where the banner wants a blank as on Linux.
char* platform_ctime(time_t when) {
    if (when < 0) return utc_plus_one_text(when);
    char* text = ctime(&when);
    if (text != nullptr && text[8] == '0') text[8] = ' ';
    return text;
}

// The C runtime's fopen knows no 'x': create the file with _O_EXCL and hand
// the descriptor to a stream opened with the rest of the mode.
FILE* platform_fopen(const char* path, const char* mode) {
    if (strchr(mode, 'x') == nullptr) return fopen(path, mode);
    char stream_mode[16];
    size_t length = 0;
    for (const char* m = mode; *m != 0 && length + 1 < sizeof stream_mode; ++m)
        if (*m != 'x') stream_mode[length++] = *m;
    stream_mode[length] = 0;
    int fd = _open(path, _O_CREAT | _O_EXCL | _O_BINARY | _O_RDWR, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    FILE* stream = _fdopen(fd, stream_mode);
    if (stream == nullptr) {
        int error = errno;
        _close(fd);
        errno = error;
    }
    return stream;
}

// The C runtime's tmpfile creates its file in the root folder of the drive,
// where a user may not write. This one lies in the user's folder for
// temporary files, and the system deletes it when its one handle closes,
// also when the process is ended from outside.
FILE* platform_temporary_file() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"plr", 0, path) == 0) {
        errno = EACCES;
        return nullptr;
    }
    HANDLE handle = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DeleteFileW(path);
        errno = EACCES;
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* stream = _fdopen(descriptor, "w+b");
    if (stream == nullptr) _close(descriptor);
    return stream;
}

int platform_descriptor(FILE* stream) {
    return _fileno(stream);
}

namespace {

const char* volatile signal_removed_path = nullptr;

// Windows runs a SIGINT handler on a thread of its own and SIGTERM's where it
// is raised. An open file can not be removed here, so the streams are closed
// first; then the signal's default action ends the program.
extern "C" void remove_and_reraise(int signal_number) {
    if (const char* path = signal_removed_path) {
        _fcloseall();
        remove(path);
    }
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

} // namespace

void platform_remove_on_signal(const char* path) {
    signal_removed_path = path;
    if (path == nullptr) return;
    for (int signal_number : {SIGINT, SIGTERM}) {
        void (*previous)(int) = signal(signal_number, remove_and_reraise);
        if (previous == SIG_IGN) signal(signal_number, SIG_IGN);
    }
}

// calloc of a large block takes fresh zero pages from the system, committed
// as they are touched.
void* platform_table_memory(size_t size) {
    void* block = std::calloc(1, size);
    if (block == nullptr) zo_error("[re]alloc", "no memory");
    return block;
}

void platform_prefer_large_pages(void*, size_t) {}
