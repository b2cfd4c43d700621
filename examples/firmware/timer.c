/* The system tick and software timers. */
#include "fw.h"

#define TIMER_BASE 0xbf000a00
#define TIMER_LOAD (TIMER_BASE + 0x0)
#define TIMER_COUNT (TIMER_BASE + 0x4)
#define TIMER_CTRL (TIMER_BASE + 0x8)
#define TIMER_ACK (TIMER_BASE + 0xc)
#define TICKS_PER_SECOND 100
#define MAX_TIMERS 8

volatile u32 jiffies;

struct soft_timer {
    u32 expires;
    u32 period;
    void (*fn)(void *);
    void *arg;
};

static struct soft_timer timers[MAX_TIMERS];

void timer_init(void) {
    REG32(TIMER_LOAD) = 50000000 / TICKS_PER_SECOND;
    REG32(TIMER_CTRL) = 3;
    irq_register(7, timer_irq);
    irq_enable(7);
}

u32 timer_ticks(void) { return jiffies; }

void timer_irq(void) {
    REG32(TIMER_ACK) = 1;
    ++jiffies;
    sched_tick();
}

void delay_us(u32 us) {
    u32 start = REG32(TIMER_COUNT);
    u32 cycles = us * 50;
    while (start - REG32(TIMER_COUNT) < cycles) {
    }
}

void delay_ms(u32 ms) {
    while (ms--) delay_us(1000);
}

int timer_start(int id, u32 period, void (*fn)(void *), void *arg) {
    if (id < 0 || id >= MAX_TIMERS || !fn) return -1;
    u32 flags = irq_save();
    timers[id].period = period;
    timers[id].expires = jiffies + period;
    timers[id].fn = fn;
    timers[id].arg = arg;
    irq_restore(flags);
    return 0;
}

void timer_stop(int id) {
    if (id >= 0 && id < MAX_TIMERS) timers[id].fn = NULL;
}

void timer_run_expired(void) {
    for (int i = 0; i < MAX_TIMERS; ++i) {
        struct soft_timer *t = &timers[i];
        if (t->fn && (s32)(jiffies - t->expires) >= 0) {
            t->fn(t->arg);
            if (t->period) t->expires += t->period;
            else t->fn = NULL;
        }
    }
}

u32 uptime_seconds(void) { return jiffies / TICKS_PER_SECOND; }
