#include "util/output.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "util/run_settings.h"

namespace {

// The listing writes a few short pieces per word, millions of times for a
// large dump; one thread writes, so the per-call stream locking is skipped.
#if defined(_WIN32)
inline void put_byte(char c, FILE* f) {
    _putc_nolock(c, f);
}
// msvcrt.dll has no _fwrite_nolock (only the later runtimes do).
inline void put_bytes(const char* p, size_t n, FILE* f) {
    fwrite(p, 1, n, f);
}
#else
inline void put_byte(char c, FILE* f) {
    putc_unlocked(c, f);
}
#if defined(__GNUC__) && !defined(__clang__)
// Inlined for a short source of known length (a 12-byte buffer, say), GCC
// judges the 8-to-16-byte branch by the source alone and warns; both words
// lie within the n bytes the caller gives. (The same holds for the long
// copy, which it judges reachable for any short source.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
inline void put_bytes(const char* p, size_t n, FILE* f) {
#if defined(__GLIBC__)
    // What putc_unlocked does for one byte, done for a few: while the
    // stream's buffer has room the pieces go straight into it, without the
    // library's general write path (about a third of a listing's cost). A
    // line-buffered or unbuffered stream shows no room, so its writes all
    // take the library's path and keep their flushing.
    if (static_cast<size_t>(f->_IO_write_end - f->_IO_write_ptr) >= n) {
        char* to = f->_IO_write_ptr;
        f->_IO_write_ptr += n;
        // Most pieces are a few bytes long: copied here as two words that
        // may overlap, rather than through a call of the library's memcpy.
        if (n >= 8 && n <= 16) {
            uint64_t head, tail;
            std::memcpy(&head, p, 8);
            std::memcpy(&tail, p + n - 8, 8);
            std::memcpy(to, &head, 8);
            std::memcpy(to + n - 8, &tail, 8);
        } else if (n >= 4 && n < 8) {
            uint32_t head, tail;
            std::memcpy(&head, p, 4);
            std::memcpy(&tail, p + n - 4, 4);
            std::memcpy(to, &head, 4);
            std::memcpy(to + n - 4, &tail, 4);
        } else if (n < 4) {
            for (size_t i = 0; i < n; ++i) to[i] = p[i];
        } else {
            std::memcpy(to, p, n);
        }
        return;
    }
#endif
    fwrite_unlocked(p, 1, n, f);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

} // namespace

void out_char(char c) {
    put_byte(c, settings.output);
}

int out_text(std::string_view text) {
    put_bytes(text.data(), text.size(), settings.output);
    return static_cast<int>(text.size());
}

int out_format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vfprintf(settings.output, format, args);
    va_end(args);
    return n;
}

int out_hex(uint32_t value, int min_digits) {
    char text[40];
    const int n = static_cast<int>(put_hex_digits(text, value, min_digits) - text);
    put_bytes(text, static_cast<size_t>(n), settings.output);
    return n;
}

int out_decimal(int32_t value) {
    char text[12];
    const int n = static_cast<int>(put_decimal(text, value) - text);
    put_bytes(text, static_cast<size_t>(n), settings.output);
    return n;
}

int out_input_text(std::string_view text) {
    if (!html_output()) return out_text(text);
    for (char c : text) {
        switch (c) {
        case '<': out_text("&lt;"); break;
        case '>': out_text("&gt;"); break;
        case '&': out_text("&amp;"); break;
        case '"': out_text("&quot;"); break;
        default: out_char(c);
        }
    }
    return static_cast<int>(text.size());
}
