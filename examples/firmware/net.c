/* A tiny framed protocol over the second UART. */
#include "fw.h"

#define FRAME_START 0x7e
#define TYPE_PING 1
#define TYPE_READ 2
#define TYPE_WRITE 3
#define TYPE_STATUS 4
#define TYPE_REBOOT 5

struct frame_header {
    u8 start;
    u8 node;
    u16 type;
    u16 length;
    u16 checksum;
};

struct proto_entry {
    u16 type;
    const char *name;
    int (*handler)(const u8 *payload, size_t n);
};

static u32 frames_ok, frames_bad;
static u8 reply[64];

u16 htons(u16 v) { return v; }
u32 htonl(u32 v) { return v; }

u16 ip_checksum(const void *buf, size_t len) {
    const u8 *p = buf;
    u32 sum = 0;
    for (; len > 1; len -= 2, p += 2) sum += (u32)(p[0] << 8 | p[1]);
    if (len) sum += (u32)p[0] << 8;
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return (u16)~sum;
}

static int handle_ping(const u8 *payload, size_t n) {
    int len = packet_build(reply, TYPE_PING, payload, n);
    uart_write(1, (const char *)reply, len);
    return 0;
}

static int handle_read(const u8 *payload, size_t n) {
    u32 addr, count;
    if (n < 8) return -1;
    memcpy(&addr, payload, 4);
    memcpy(&count, payload + 4, 4);
    if (count > 48) count = 48;
    int len = packet_build(reply, TYPE_READ, (const void *)addr, count);
    uart_write(1, (const char *)reply, len);
    return 0;
}

static int handle_write(const u8 *payload, size_t n) {
    u32 addr;
    if (n < 4) return -1;
    memcpy(&addr, payload, 4);
    memcpy((void *)addr, payload + 4, n - 4);
    return 0;
}

static int handle_status(const u8 *payload, size_t n) {
    u32 status[4] = {jiffies, frames_ok, frames_bad, heap_free_bytes()};
    (void)payload, (void)n;
    int len = packet_build(reply, TYPE_STATUS, status, sizeof status);
    uart_write(1, (const char *)reply, len);
    return 0;
}

static int handle_reboot(const u8 *payload, size_t n) {
    (void)payload, (void)n;
    REG32(0xbf000100) = 0xdead0001;
    return 0;
}

static const struct proto_entry proto_table[] = {
    {TYPE_PING, "ping", handle_ping},       {TYPE_READ, "read", handle_read},
    {TYPE_WRITE, "write", handle_write},    {TYPE_STATUS, "status", handle_status},
    {TYPE_REBOOT, "reboot", handle_reboot},
};

const char *proto_name(u16 type) {
    for (unsigned i = 0; i < ARRAY_SIZE(proto_table); ++i)
        if (proto_table[i].type == type) return proto_table[i].name;
    return "unknown";
}

int packet_build(u8 *buf, u16 type, const void *payload, size_t n) {
    struct frame_header *h = (struct frame_header *)buf;
    h->start = FRAME_START;
    h->node = 1;
    h->type = htons(type);
    h->length = htons((u16)n);
    h->checksum = 0;
    memcpy(buf + sizeof *h, payload, n);
    h->checksum = ip_checksum(buf, sizeof *h + n);
    return (int)(sizeof *h + n);
}

int packet_parse(const u8 *pkt, size_t len) {
    const struct frame_header *h = (const struct frame_header *)pkt;
    if (len < sizeof *h || h->start != FRAME_START) return -1;
    if (sizeof *h + h->length > len) return -1;
    if (ip_checksum(pkt, sizeof *h + h->length) != 0) return -2;
    return h->type;
}

int proto_handle(const u8 *pkt, size_t len) {
    int type = packet_parse(pkt, len);
    if (type < 0) {
        ++frames_bad;
        return type;
    }
    ++frames_ok;
    for (unsigned i = 0; i < ARRAY_SIZE(proto_table); ++i)
        if (proto_table[i].type == type)
            return proto_table[i].handler(pkt + sizeof(struct frame_header),
                                          ((const struct frame_header *)pkt)->length);
    log_msg(2, "net: no handler for %s (%d)\n", proto_name((u16)type), type);
    return -3;
}
