/* Byte rings for the UART receivers. */
#include "fw.h"

void ring_init(struct ring *r, u8 *buf, u16 size) {
    r->buf = buf;
    r->size = size;
    r->head = r->tail = 0;
}

int ring_put(struct ring *r, u8 c) {
    u16 next = (u16)((r->head + 1) % r->size);
    if (next == r->tail) return -1;
    r->buf[r->head] = c;
    r->head = next;
    return 0;
}

int ring_get(struct ring *r) {
    int c;
    if (r->head == r->tail) return -1;
    c = r->buf[r->tail];
    r->tail = (u16)((r->tail + 1) % r->size);
    return c;
}

int ring_peek(const struct ring *r) { return r->head == r->tail ? -1 : r->buf[r->tail]; }
int ring_count(const struct ring *r) { return (r->head - r->tail + r->size) % r->size; }
int ring_space(const struct ring *r) { return r->size - 1 - ring_count(r); }
void ring_flush(struct ring *r) { r->tail = r->head; }
