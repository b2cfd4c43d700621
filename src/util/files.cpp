// Temporary minimal file helpers; replaced by the full utility library.
#include <cstring>

#include "util/zo.h"

int zo_lineno = 0;

FILE* zo_fopen(const char* path, const char* mode) {
    FILE* f = fopen(path, mode);
    if (!f) zo_error(path, "*can't open");
    zo_lineno = 0;
    return f;
}
int zo_fclose(FILE* stream) {
    if (stream && fclose(stream) != 0) zo_error("unknown file", "*closing error");
    return 0;
}
int zo_fread(FILE* stream, int n, void* buffer) {
    return static_cast<int>(fread(buffer, 1, static_cast<size_t>(n), stream));
}
int zo_fseek(FILE* stream, int32_t offset) {
    if (fseek(stream, offset, offset < 0 ? SEEK_END : SEEK_SET) != 0)
        zo_error("unknown file", "*fseek error");
    return 0;
}
const char* zo_fname(FILE*) { return "unknown file"; }
int zo_getline(FILE* stream, int n, char* buffer) {
    for (;;) {
        if (!fgets(buffer, n, stream)) return 0;
        ++zo_lineno;
        size_t len = strlen(buffer);
        while (len > 0 && (buffer[len - 1] == '\n' || buffer[len - 1] == '\r')) buffer[--len] = 0;
        if (len > 0) return static_cast<int>(len);
    }
}
