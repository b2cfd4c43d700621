// Guarded stream operations with display names, and the line reader of the
// map files. Open, close and seek failures end the program here, so callers
// never check for them.
#include <cerrno>
#include <cstring>

#include "util/platform.h"
#include "util/zo.h"

int zo_lineno = 0;

namespace {

// Display names by file descriptor; only the copies zo_fopen made are owned.
// A stream opened for writing is checked for failed writes when it is closed.
struct stream_name {
    const char* text;
    bool owned;
    bool writing;
};
constexpr int name_slots = 20;
stream_name names[name_slots] = {
    {"stdin", false, false}, {"stdout", false, true}, {"stderr", false, true}};

// The slot of a stream's descriptor, or null when it has none.
stream_name* slot_of(FILE* stream) {
    if (stream == nullptr) return nullptr;
    int fd = platform_descriptor(stream);
    return fd >= 0 && fd < name_slots ? &names[fd] : nullptr;
}

void release(stream_name& slot) {
    if (slot.owned) zo_free(const_cast<char*>(slot.text));
    slot = {nullptr, false, false};
}

// True for a mode that writes: "w", "a" or an update mode with '+'.
bool writes(const char* mode) {
    return mode[0] == 'w' || mode[0] == 'a' || std::strchr(mode, '+') != nullptr;
}

} // namespace

FILE* zo_fopen(const char* path, const char* mode) {
    // Cleared so that a failure without an error number reads "can't open".
    errno = 0;
    FILE* stream = platform_fopen(path, mode);
    if (stream == nullptr) zo_error(path, "*can't open");
    if (stream_name* slot = slot_of(stream)) {
        release(*slot);
        *slot = {zo_strjoin(path, nullptr), true, writes(mode)};
    }
    zo_lineno = 0;
    return stream;
}

FILE* zo_ftemp(const char* name) {
    errno = 0;
    FILE* stream = platform_temporary_file();
    if (stream == nullptr) zo_error(name, "*can't open");
    if (stream_name* slot = slot_of(stream)) {
        release(*slot);
        *slot = {zo_strjoin(name, nullptr), true, true};
    }
    return stream;
}

int zo_fclose(FILE* stream) {
    if (stream == nullptr) return 0;
    const char* name = zo_fname(stream);
    // The copy is taken out of the table first and released only after the
    // close: it is the name of the message if the close fails.
    char* taken = nullptr;
    int fd = platform_descriptor(stream);
    // A stream without a slot (descriptor 20 or more) is checked as one
    // written to. On a stream opened for reading the error flag means only
    // that its input ended early, which the readers handle themselves.
    stream_name* slot = slot_of(stream);
    bool writing = slot == nullptr || slot->writing;
    if (fd >= 3 && fd < name_slots) {
        if (names[fd].owned) taken = const_cast<char*>(names[fd].text);
        names[fd] = {nullptr, false, false};
    }
    // An earlier buffered write that failed leaves only the error flag; the
    // close may then succeed, and the page would pass for complete.
    bool lost = writing && ferror(stream) != 0;
    errno = 0;
    bool closed = fclose(stream) == 0;
    if (lost || (!closed && writing)) zo_error(name, "*write error");
    if (!closed) zo_error(name, "*closing error");
    zo_free(taken);
    return 0;
}

void zo_fflush(FILE* stream) {
    errno = 0;
    if (fflush(stream) != 0 || ferror(stream) != 0) zo_error(zo_fname(stream), "*write error");
}

int zo_fread(FILE* stream, int n, void* buffer) {
    if (n <= 0) return 0;
    return int(fread(buffer, 1, size_t(n), stream));
}

int zo_fseek(FILE* stream, int32_t offset) {
    errno = 0;
    if (fseek(stream, offset, offset < 0 ? SEEK_END : SEEK_SET) != 0)
        zo_error(zo_fname(stream), "*fseek error");
    return 0;
}

const char* zo_fname(FILE* stream) {
    stream_name* slot = slot_of(stream);
    return slot != nullptr && slot->text != nullptr ? slot->text : "unknown file";
}

int zo_getline(FILE* stream, int n, char* buffer) {
    // fgets with room for no character would return empty lines for ever.
    if (n < 2) return 0;
    for (;;) {
        // fgets writes the last byte of the buffer only as the terminator of
        // a line that filled it: the length of the text up to its first zero
        // byte can not tell, as a zero byte inside a line cuts it short, and
        // the rest of an over-long line would come back as a line of its own.
        buffer[n - 1] = 1;
        if (fgets(buffer, n, stream) == nullptr) return 0;
        ++zo_lineno;
        int length = int(strlen(buffer));
        if (buffer[n - 1] == 0 && buffer[n - 2] != '\n') length = n - 1;
        if (length >= n - 1 && buffer[length - 1] != '\n')
            zo_message("%s: line %d too long (max %d chars, but %d / last 0x%02x)\n'%s'",
                       zo_fname(stream), zo_lineno, n, length,
                       unsigned(static_cast<unsigned char>(buffer[length - 1])), buffer);
        if (length > 0 && buffer[length - 1] == '\n') --length;
        while (length > 0 && buffer[length - 1] == '\r') --length;
        buffer[length] = 0;
        if (length > 0) return length;
    }
}

void zo_reset_files() {
    for (int fd = 3; fd < name_slots; ++fd) release(names[fd]);
    names[0] = {"stdin", false, false};
    names[1] = {"stdout", false, true};
    names[2] = {"stderr", false, true};
    zo_lineno = 0;
}
