/* Intrusive doubly linked lists and a sorted timer queue built on them. */
#include "fw.h"

struct list_node {
    struct list_node *next, *prev;
};

void list_init(struct list_node *head) { head->next = head->prev = head; }
int list_empty(const struct list_node *head) { return head->next == head; }

void list_insert_after(struct list_node *pos, struct list_node *n) {
    n->next = pos->next;
    n->prev = pos;
    pos->next->prev = n;
    pos->next = n;
}

void list_add_tail(struct list_node *head, struct list_node *n) { list_insert_after(head->prev, n); }
void list_add_head(struct list_node *head, struct list_node *n) { list_insert_after(head, n); }

void list_remove(struct list_node *n) {
    n->prev->next = n->next;
    n->next->prev = n->prev;
    n->next = n->prev = n;
}

struct list_node *list_pop_head(struct list_node *head) {
    struct list_node *n = head->next;
    if (n == head) return NULL;
    list_remove(n);
    return n;
}

int list_length(const struct list_node *head) {
    int n = 0;
    for (const struct list_node *p = head->next; p != head; p = p->next) ++n;
    return n;
}

void list_splice(struct list_node *to, struct list_node *from) {
    if (list_empty(from)) return;
    from->next->prev = to->prev;
    to->prev->next = from->next;
    from->prev->next = to;
    to->prev = from->prev;
    list_init(from);
}

struct event {
    struct list_node node;
    u32 when;
    u32 code;
};

static struct list_node event_queue = {&event_queue, &event_queue};
static struct event event_pool[16];
static u32 events_posted, events_lost;

static struct event *event_alloc(void) {
    for (unsigned i = 0; i < ARRAY_SIZE(event_pool); ++i)
        if (event_pool[i].node.next == NULL || event_pool[i].node.next == &event_pool[i].node)
            return &event_pool[i];
    return NULL;
}

int event_post(u32 when, u32 code) {
    struct event *e = event_alloc();
    struct list_node *p;
    if (!e) {
        ++events_lost;
        return -1;
    }
    e->when = when;
    e->code = code;
    for (p = event_queue.next; p != &event_queue; p = p->next)
        if ((s32)(((struct event *)p)->when - when) > 0) break;
    list_insert_after(p->prev, &e->node);
    ++events_posted;
    return 0;
}

int event_next(u32 now, u32 *code) {
    struct event *e;
    if (list_empty(&event_queue)) return 0;
    e = (struct event *)event_queue.next;
    if ((s32)(now - e->when) < 0) return 0;
    *code = e->code;
    list_remove(&e->node);
    return 1;
}

void event_stats(void) {
    printf("events: %d queued, %u posted, %u lost\n", list_length(&event_queue), events_posted, events_lost);
}
