/* Checksums: CRC-32 by table, CRC-16/CCITT, CRC-8, Adler-32, Fletcher-16. */
#include "fw.h"

static u32 crc32_table[256];
static int crc32_ready;

static void crc32_make_table(void) {
    for (u32 i = 0; i < 256; ++i) {
        u32 c = i;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
        crc32_table[i] = c;
    }
    crc32_ready = 1;
}

u32 crc32(u32 crc, const void *buf, size_t len) {
    const u8 *p = buf;
    if (!crc32_ready) crc32_make_table();
    crc = ~crc;
    while (len--) crc = crc32_table[(crc ^ *p++) & 0xff] ^ (crc >> 8);
    return ~crc;
}

u16 crc16_ccitt(u16 crc, const void *buf, size_t len) {
    const u8 *p = buf;
    while (len--) {
        crc ^= (u16)(*p++ << 8);
        for (int i = 0; i < 8; ++i) crc = crc & 0x8000 ? (u16)(crc << 1) ^ 0x1021 : (u16)(crc << 1);
    }
    return crc;
}

static const u8 crc8_table[16] = {0x00, 0x07, 0x0e, 0x09, 0x1c, 0x1b, 0x12, 0x15,
                                  0x38, 0x3f, 0x36, 0x31, 0x24, 0x23, 0x2a, 0x2d};

u8 crc8(u8 crc, const void *buf, size_t len) {
    const u8 *p = buf;
    while (len--) {
        crc ^= *p++;
        crc = (u8)(crc << 4) ^ crc8_table[crc >> 4];
        crc = (u8)(crc << 4) ^ crc8_table[crc >> 4];
    }
    return crc;
}

u32 adler32(u32 adler, const void *buf, size_t len) {
    const u8 *p = buf;
    u32 a = adler & 0xffff, b = adler >> 16;
    while (len) {
        size_t n = len > 3800 ? 3800 : len;
        len -= n;
        while (n--) {
            a += *p++;
            b += a;
        }
        a %= 65521;
        b %= 65521;
    }
    return b << 16 | a;
}

u16 fletcher16(const void *buf, size_t len) {
    const u8 *p = buf;
    u16 s1 = 0, s2 = 0;
    while (len--) {
        s1 = (s1 + *p++) % 255;
        s2 = (s2 + s1) % 255;
    }
    return (u16)(s2 << 8 | s1);
}

u8 checksum8(const void *buf, size_t len) {
    const u8 *p = buf;
    u8 sum = 0;
    while (len--) sum += *p++;
    return (u8)-sum;
}
