/* Freestanding string and character routines. */
#include "fw.h"

void *memcpy(void *d, const void *s, size_t n) {
    u8 *dp = d;
    const u8 *sp = s;
    if ((((u32)dp | (u32)sp | n) & 3) == 0) {
        u32 *dw = (u32 *)dp;
        const u32 *sw = (const u32 *)sp;
        for (; n >= 4; n -= 4) *dw++ = *sw++;
        return d;
    }
    while (n--) *dp++ = *sp++;
    return d;
}

void *memmove(void *d, const void *s, size_t n) {
    u8 *dp = d;
    const u8 *sp = s;
    if (dp == sp || n == 0) return d;
    if (dp < sp || dp >= sp + n) return memcpy(d, s, n);
    dp += n;
    sp += n;
    while (n--) *--dp = *--sp;
    return d;
}

void *memset(void *d, int c, size_t n) {
    u8 *p = d;
    while (n--) *p++ = (u8)c;
    return d;
}

int memcmp(const void *a, const void *b, size_t n) {
    const u8 *x = a, *y = b;
    for (; n; --n, ++x, ++y)
        if (*x != *y) return *x - *y;
    return 0;
}

size_t strlen(const char *s) {
    const char *p = s;
    while (*p) ++p;
    return p - s;
}

size_t strnlen(const char *s, size_t n) {
    size_t i = 0;
    while (i < n && s[i]) ++i;
    return i;
}

char *strcpy(char *d, const char *s) {
    char *r = d;
    while ((*d++ = *s++) != 0) {
    }
    return r;
}

char *strncpy(char *d, const char *s, size_t n) {
    size_t i = 0;
    for (; i < n && s[i]; ++i) d[i] = s[i];
    for (; i < n; ++i) d[i] = 0;
    return d;
}

size_t strlcpy(char *d, const char *s, size_t n) {
    size_t len = strlen(s);
    if (n) {
        size_t c = len >= n ? n - 1 : len;
        memcpy(d, s, c);
        d[c] = 0;
    }
    return len;
}

char *strcat(char *d, const char *s) {
    strcpy(d + strlen(d), s);
    return d;
}

int strcmp(const char *a, const char *b) {
    while (*a && *a == *b) ++a, ++b;
    return (u8)*a - (u8)*b;
}

int strncmp(const char *a, const char *b, size_t n) {
    for (; n; --n, ++a, ++b) {
        if (*a != *b) return (u8)*a - (u8)*b;
        if (!*a) break;
    }
    return 0;
}

int strcasecmp(const char *a, const char *b) {
    int x, y;
    do {
        x = tolower((u8)*a++);
        y = tolower((u8)*b++);
    } while (x && x == y);
    return x - y;
}

char *strchr(const char *s, int c) {
    for (; *s; ++s)
        if (*s == (char)c) return (char *)s;
    return c ? NULL : (char *)s;
}

char *strrchr(const char *s, int c) {
    const char *last = NULL;
    do {
        if (*s == (char)c) last = s;
    } while (*s++);
    return (char *)last;
}

char *strstr(const char *h, const char *n) {
    size_t len = strlen(n);
    if (!len) return (char *)h;
    for (; *h; ++h)
        if (*h == *n && !strncmp(h, n, len)) return (char *)h;
    return NULL;
}

char *strtok_r(char *s, const char *delim, char **save) {
    char *tok;
    if (!s) s = *save;
    while (*s && strchr(delim, *s)) ++s;
    if (!*s) {
        *save = s;
        return NULL;
    }
    tok = s;
    while (*s && !strchr(delim, *s)) ++s;
    if (*s) *s++ = 0;
    *save = s;
    return tok;
}

static int digit_value(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

unsigned long strtoul(const char *s, char **end, int base) {
    unsigned long v = 0;
    while (isspace((u8)*s)) ++s;
    if ((base == 0 || base == 16) && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s += 2;
        base = 16;
    } else if (base == 0) {
        base = s[0] == '0' ? 8 : 10;
    }
    for (;; ++s) {
        int d = digit_value((u8)*s);
        if (d >= base) break;
        v = v * base + d;
    }
    if (end) *end = (char *)s;
    return v;
}

long strtol(const char *s, char **end, int base) {
    while (isspace((u8)*s)) ++s;
    if (*s == '-') return -(long)strtoul(s + 1, end, base);
    if (*s == '+') ++s;
    return (long)strtoul(s, end, base);
}

int atoi(const char *s) { return (int)strtol(s, NULL, 10); }

/* Character classes from one table, as small C libraries do. */
#define C_DIGIT 1
#define C_UPPER 2
#define C_LOWER 4
#define C_SPACE 8
#define C_HEX 16
#define C_PUNCT 32

static const u8 char_class[128] = {
    [' '] = C_SPACE, ['\t'] = C_SPACE, ['\n'] = C_SPACE, ['\r'] = C_SPACE, ['\f'] = C_SPACE,
    ['\v'] = C_SPACE, ['0'] = C_DIGIT | C_HEX, ['1'] = C_DIGIT | C_HEX, ['2'] = C_DIGIT | C_HEX,
    ['3'] = C_DIGIT | C_HEX, ['4'] = C_DIGIT | C_HEX, ['5'] = C_DIGIT | C_HEX,
    ['6'] = C_DIGIT | C_HEX, ['7'] = C_DIGIT | C_HEX, ['8'] = C_DIGIT | C_HEX,
    ['9'] = C_DIGIT | C_HEX, ['A'] = C_UPPER | C_HEX, ['B'] = C_UPPER | C_HEX,
    ['C'] = C_UPPER | C_HEX, ['D'] = C_UPPER | C_HEX, ['E'] = C_UPPER | C_HEX,
    ['F'] = C_UPPER | C_HEX, ['G'] = C_UPPER, ['H'] = C_UPPER, ['I'] = C_UPPER, ['J'] = C_UPPER,
    ['K'] = C_UPPER, ['L'] = C_UPPER, ['M'] = C_UPPER, ['N'] = C_UPPER, ['O'] = C_UPPER,
    ['P'] = C_UPPER, ['Q'] = C_UPPER, ['R'] = C_UPPER, ['S'] = C_UPPER, ['T'] = C_UPPER,
    ['U'] = C_UPPER, ['V'] = C_UPPER, ['W'] = C_UPPER, ['X'] = C_UPPER, ['Y'] = C_UPPER,
    ['Z'] = C_UPPER, ['a'] = C_LOWER | C_HEX, ['b'] = C_LOWER | C_HEX, ['c'] = C_LOWER | C_HEX,
    ['d'] = C_LOWER | C_HEX, ['e'] = C_LOWER | C_HEX, ['f'] = C_LOWER | C_HEX, ['g'] = C_LOWER,
    ['h'] = C_LOWER, ['i'] = C_LOWER, ['j'] = C_LOWER, ['k'] = C_LOWER, ['l'] = C_LOWER,
    ['m'] = C_LOWER, ['n'] = C_LOWER, ['o'] = C_LOWER, ['p'] = C_LOWER, ['q'] = C_LOWER,
    ['r'] = C_LOWER, ['s'] = C_LOWER, ['t'] = C_LOWER, ['u'] = C_LOWER, ['v'] = C_LOWER,
    ['w'] = C_LOWER, ['x'] = C_LOWER, ['y'] = C_LOWER, ['z'] = C_LOWER, ['!'] = C_PUNCT,
    ['"'] = C_PUNCT, ['#'] = C_PUNCT, ['%'] = C_PUNCT, ['&'] = C_PUNCT, ['('] = C_PUNCT,
    [')'] = C_PUNCT, ['*'] = C_PUNCT, ['+'] = C_PUNCT, [','] = C_PUNCT, ['-'] = C_PUNCT,
    ['.'] = C_PUNCT, ['/'] = C_PUNCT, [':'] = C_PUNCT, [';'] = C_PUNCT, ['<'] = C_PUNCT,
    ['='] = C_PUNCT, ['>'] = C_PUNCT, ['?'] = C_PUNCT, ['@'] = C_PUNCT, ['_'] = C_PUNCT,
};

static int has_class(int c, int mask) { return c >= 0 && c < 128 && (char_class[c] & mask); }
int isdigit(int c) { return has_class(c, C_DIGIT); }
int isxdigit(int c) { return has_class(c, C_HEX); }
int isspace(int c) { return has_class(c, C_SPACE); }
int isalpha(int c) { return has_class(c, C_UPPER | C_LOWER); }
int isprint(int c) { return c >= 0x20 && c < 0x7f; }
int toupper(int c) { return has_class(c, C_LOWER) ? c - 32 : c; }
int tolower(int c) { return has_class(c, C_UPPER) ? c + 32 : c; }
