/* First-fit heap with coalescing free list. */
#include "fw.h"

struct block {
    size_t size;
    struct block *next;
};

static struct block *free_list;
static size_t heap_total;
static u32 alloc_count, free_count, alloc_failures;

void heap_init(void *base, size_t size) {
    free_list = base;
    free_list->size = size & ~7u;
    free_list->next = NULL;
    heap_total = free_list->size;
}

void *malloc(size_t n) {
    struct block **link = &free_list;
    n = (n + sizeof(struct block) + 7) & ~7u;
    for (struct block *b = free_list; b; link = &b->next, b = b->next) {
        if (b->size < n) continue;
        if (b->size - n >= 32) {
            struct block *rest = (struct block *)((u8 *)b + n);
            rest->size = b->size - n;
            rest->next = b->next;
            b->size = n;
            *link = rest;
        } else {
            *link = b->next;
        }
        ++alloc_count;
        return b + 1;
    }
    ++alloc_failures;
    return NULL;
}

void free(void *p) {
    struct block *b, *prev = NULL, *cur;
    if (!p) return;
    b = (struct block *)p - 1;
    for (cur = free_list; cur && cur < b; prev = cur, cur = cur->next) {
    }
    b->next = cur;
    if (cur && (u8 *)b + b->size == (u8 *)cur) {
        b->size += cur->size;
        b->next = cur->next;
    }
    if (prev) {
        prev->next = b;
        if ((u8 *)prev + prev->size == (u8 *)b) {
            prev->size += b->size;
            prev->next = b->next;
        }
    } else {
        free_list = b;
    }
    ++free_count;
}

void *calloc(size_t n, size_t size) {
    void *p = malloc(n * size);
    if (p) memset(p, 0, n * size);
    return p;
}

void *realloc(void *p, size_t n) {
    struct block *b;
    void *q;
    if (!p) return malloc(n);
    b = (struct block *)p - 1;
    if (b->size - sizeof *b >= n) return p;
    q = malloc(n);
    if (q) {
        memcpy(q, p, b->size - sizeof *b);
        free(p);
    }
    return q;
}

size_t heap_free_bytes(void) {
    size_t total = 0;
    for (struct block *b = free_list; b; b = b->next) total += b->size;
    return total;
}

void heap_stats(void) {
    printf("heap: %u of %u bytes free, %u allocs, %u frees, %u failures\n", heap_free_bytes(),
           heap_total, alloc_count, free_count, alloc_failures);
}
