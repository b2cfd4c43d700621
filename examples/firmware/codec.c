/* Text encodings: hex, base64, BCD, UTF-8, and a run-length packer. */
#include "fw.h"

static const char hex_chars[] = "0123456789abcdef";
static const char b64_chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

size_t hex_encode(char *out, const u8 *in, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = hex_chars[in[i] >> 4];
        out[2 * i + 1] = hex_chars[in[i] & 15];
    }
    out[2 * n] = 0;
    return 2 * n;
}

static int hex_nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = (char)tolower((u8)c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int hex_decode(u8 *out, const char *in, size_t max) {
    size_t n = 0;
    while (in[0] && in[1] && n < max) {
        int hi = hex_nibble(in[0]), lo = hex_nibble(in[1]);
        if (hi < 0 || lo < 0) return -1;
        out[n++] = (u8)(hi << 4 | lo);
        in += 2;
    }
    return (int)n;
}

size_t base64_encode(char *out, const u8 *in, size_t n) {
    size_t o = 0;
    for (size_t i = 0; i < n; i += 3) {
        u32 v = (u32)in[i] << 16;
        if (i + 1 < n) v |= (u32)in[i + 1] << 8;
        if (i + 2 < n) v |= in[i + 2];
        out[o++] = b64_chars[v >> 18 & 63];
        out[o++] = b64_chars[v >> 12 & 63];
        out[o++] = i + 1 < n ? b64_chars[v >> 6 & 63] : '=';
        out[o++] = i + 2 < n ? b64_chars[v & 63] : '=';
    }
    out[o] = 0;
    return o;
}

static int b64_value(char c) {
    const char *p = strchr(b64_chars, c);
    return p && c ? (int)(p - b64_chars) : -1;
}

int base64_decode(u8 *out, const char *in, size_t max) {
    size_t n = 0;
    u32 acc = 0;
    int bits = 0;
    for (; *in && *in != '='; ++in) {
        int v = b64_value(*in);
        if (v < 0) return -1;
        acc = acc << 6 | (u32)v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            if (n >= max) return -1;
            out[n++] = (u8)(acc >> bits);
        }
    }
    return (int)n;
}

u32 bcd_encode(u32 v) {
    u32 r = 0;
    for (int shift = 0; v && shift < 32; shift += 4, v /= 10) r |= (v % 10) << shift;
    return r;
}

u32 bcd_decode(u32 v) {
    u32 r = 0, scale = 1;
    for (; v; v >>= 4, scale *= 10) r += (v & 15) * scale;
    return r;
}

int utf8_encode(char *out, u32 cp) {
    if (cp < 0x80) {
        out[0] = (char)cp;
        return 1;
    }
    if (cp < 0x800) {
        out[0] = (char)(0xc0 | cp >> 6);
        out[1] = (char)(0x80 | (cp & 63));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = (char)(0xe0 | cp >> 12);
        out[1] = (char)(0x80 | (cp >> 6 & 63));
        out[2] = (char)(0x80 | (cp & 63));
        return 3;
    }
    out[0] = (char)(0xf0 | cp >> 18);
    out[1] = (char)(0x80 | (cp >> 12 & 63));
    out[2] = (char)(0x80 | (cp >> 6 & 63));
    out[3] = (char)(0x80 | (cp & 63));
    return 4;
}

int utf8_decode(const char *in, u32 *cp) {
    const u8 *p = (const u8 *)in;
    if (p[0] < 0x80) return *cp = p[0], 1;
    if ((p[0] & 0xe0) == 0xc0) return *cp = (u32)(p[0] & 31) << 6 | (p[1] & 63), 2;
    if ((p[0] & 0xf0) == 0xe0) return *cp = (u32)(p[0] & 15) << 12 | (u32)(p[1] & 63) << 6 | (p[2] & 63), 3;
    *cp = (u32)(p[0] & 7) << 18 | (u32)(p[1] & 63) << 12 | (u32)(p[2] & 63) << 6 | (p[3] & 63);
    return 4;
}

size_t rle_pack(u8 *out, const u8 *in, size_t n) {
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && run < 255 && in[i + run] == in[i]) ++run;
        out[o++] = (u8)run;
        out[o++] = in[i];
        i += run;
    }
    return o;
}

size_t rle_unpack(u8 *out, const u8 *in, size_t n, size_t max) {
    size_t o = 0;
    for (size_t i = 0; i + 1 < n; i += 2)
        for (u8 k = 0; k < in[i] && o < max; ++k) out[o++] = in[i + 1];
    return o;
}
