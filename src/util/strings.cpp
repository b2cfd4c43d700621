// Temporary minimal helpers; replaced by the full utility library.
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "util/zo.h"

void* zo_alloc(int64_t size) {
    void* p = malloc(static_cast<size_t>(size));
    if (!p) zo_error("[re]alloc", "no memory");
    return p;
}
void zo_free(void* block) { free(block); }
char* zo_strjoin(const char* first, const char* second) {
    if (!second) second = "";
    char* s = static_cast<char*>(zo_alloc(int64_t(strlen(first) + strlen(second) + 1)));
    strcpy(s, first);
    strcat(s, second);
    return s;
}
char* zo_pathjoin(const char* directory, const char* name) {
    size_t n = strlen(directory);
    bool sep = n > 0 && directory[n - 1] != '/';
    char* s = static_cast<char*>(zo_alloc(int64_t(n + sep + strlen(name) + 1)));
    strcpy(s, directory);
    if (sep) strcat(s, "/");
    strcat(s, name);
    return s;
}
const char* zo_basename(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}
char* zo_progname(const char* path) {
    char* s = zo_strjoin(zo_basename(path), nullptr);
    if (char* dot = strrchr(s, '.')) *dot = 0;
    return s;
}
char* zo_strcopy(char* destination, const char* source, int n) {
    int i = 0;
    while (source[i] && i < n) destination[i] = source[i], ++i;
    if (i < n) destination[i] = 0;
    return destination + i;
}
char* zo_strcopy_start(char* destination, const char* source, int n) {
    zo_strcopy(destination, source, n);
    return destination;
}
int zo_snprintf(char* buffer, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, static_cast<size_t>(size), format, args);
    va_end(args);
    return n;
}
