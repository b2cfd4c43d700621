/* A small printf: %d %i %u %x %X %o %c %s %p %%, flags '-', '0', width, 'l'. */
#include "fw.h"

struct buffer_ctx {
    char *buf;
    size_t size, len;
};

static const char lower_digits[] = "0123456789abcdef";
static const char upper_digits[] = "0123456789ABCDEF";
static const char null_text[] = "(null)";

static int emit_padding(void (*put)(void *, char), void *ctx, int n, char c) {
    int written = 0;
    while (n-- > 0) put(ctx, c), ++written;
    return written;
}

static int format_number(void (*put)(void *, char), void *ctx, unsigned long v, int base,
                         int upper, int neg, int width, int zero, int left) {
    char tmp[24];
    int n = 0, written = 0;
    const char *digits = upper ? upper_digits : lower_digits;
    do {
        tmp[n++] = digits[v % base];
        v /= base;
    } while (v);
    if (neg) {
        if (zero) put(ctx, '-'), ++written;
        else tmp[n++] = '-';
        --width;
    }
    if (!left) written += emit_padding(put, ctx, width - n - (neg && zero ? 0 : 0), zero ? '0' : ' ');
    while (n) put(ctx, tmp[--n]), ++written;
    if (left) written += emit_padding(put, ctx, width - written, ' ');
    return written;
}

static int format_string(void (*put)(void *, char), void *ctx, const char *s, int width, int left) {
    int n = (int)strlen(s), written = 0;
    if (!left) written += emit_padding(put, ctx, width - n, ' ');
    while (*s) put(ctx, *s++), ++written;
    if (left) written += emit_padding(put, ctx, width - n, ' ');
    return written;
}

int vformat(void (*put)(void *, char), void *ctx, const char *fmt, va_list ap) {
    int written = 0;
    for (; *fmt; ++fmt) {
        int width = 0, zero = 0, left = 0, is_long = 0;
        if (*fmt != '%') {
            put(ctx, *fmt);
            ++written;
            continue;
        }
        ++fmt;
        for (;; ++fmt) {
            if (*fmt == '-') left = 1;
            else if (*fmt == '0') zero = 1;
            else break;
        }
        while (isdigit((u8)*fmt)) width = width * 10 + (*fmt++ - '0');
        if (*fmt == 'l') is_long = 1, ++fmt;
        (void)is_long;
        switch (*fmt) {
        case 'd':
        case 'i': {
            long v = va_arg(ap, long);
            written += format_number(put, ctx, v < 0 ? -(unsigned long)v : (unsigned long)v, 10, 0,
                                     v < 0, width, zero, left);
            break;
        }
        case 'u':
            written += format_number(put, ctx, va_arg(ap, unsigned long), 10, 0, 0, width, zero, left);
            break;
        case 'x':
        case 'X':
            written += format_number(put, ctx, va_arg(ap, unsigned long), 16, *fmt == 'X', 0, width,
                                     zero, left);
            break;
        case 'o':
            written += format_number(put, ctx, va_arg(ap, unsigned long), 8, 0, 0, width, zero, left);
            break;
        case 'p':
            put(ctx, '0'), put(ctx, 'x');
            written += 2 + format_number(put, ctx, (unsigned long)va_arg(ap, void *), 16, 0, 0, 8, 1, 0);
            break;
        case 'c':
            put(ctx, (char)va_arg(ap, int));
            ++written;
            break;
        case 's': {
            const char *s = va_arg(ap, const char *);
            written += format_string(put, ctx, s ? s : null_text, width, left);
            break;
        }
        case '%':
            put(ctx, '%');
            ++written;
            break;
        case 0: return written;
        default:
            put(ctx, '%'), put(ctx, *fmt);
            written += 2;
        }
    }
    return written;
}

static void buffer_put(void *ctx, char c) {
    struct buffer_ctx *b = ctx;
    if (b->len + 1 < b->size) b->buf[b->len] = c;
    ++b->len;
}

int vsnprintf(char *buf, size_t size, const char *fmt, va_list ap) {
    struct buffer_ctx b = {buf, size, 0};
    int n = vformat(buffer_put, &b, fmt, ap);
    if (size) buf[b.len < size ? b.len : size - 1] = 0;
    return n;
}

int snprintf(char *buf, size_t size, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    return n;
}

int sprintf(char *buf, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, 0x7fffffff, fmt, ap);
    va_end(ap);
    return n;
}

static void console_put(void *ctx, char c) {
    (void)ctx;
    if (c == '\n') console_putc('\r');
    console_putc(c);
}

int printf(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = vformat(console_put, NULL, fmt, ap);
    va_end(ap);
    return n;
}

int puts(const char *s) {
    while (*s) console_put(NULL, *s++);
    console_put(NULL, '\n');
    return 0;
}

void hexdump(const void *buf, size_t len, u32 base) {
    const u8 *p = buf;
    for (size_t off = 0; off < len; off += 16) {
        printf("%08x: ", base + off);
        for (size_t i = 0; i < 16; ++i) {
            if (off + i < len) printf("%02x ", p[off + i]);
            else printf("   ");
        }
        printf(" |");
        for (size_t i = 0; i < 16 && off + i < len; ++i) console_putc(isprint(p[off + i]) ? p[off + i] : '.');
        printf("|\n");
    }
}
