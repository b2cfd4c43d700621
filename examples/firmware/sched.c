/* A small priority scheduler with semaphores and mailboxes. */
#include "fw.h"

#define MAX_TASKS 8
#define STACK_WORDS 512
#define MAX_SEMS 8
#define MAX_MBOX 4
#define MBOX_DEPTH 8

enum task_state { TASK_FREE, TASK_READY, TASK_SLEEPING, TASK_BLOCKED, TASK_DONE };

struct task {
    u32 sp;
    enum task_state state;
    int prio;
    u32 wake;
    const char *name;
    task_entry entry;
    void *arg;
    u32 switches;
};

struct semaphore {
    int count;
    u32 waiters;
};

struct mailbox {
    u32 msgs[MBOX_DEPTH];
    u8 head, count;
};

static struct task tasks[MAX_TASKS];
static u32 stacks[MAX_TASKS][STACK_WORDS];
static struct semaphore sems[MAX_SEMS];
static struct mailbox mboxes[MAX_MBOX];
static int current_task;
static int sched_running;
static u32 idle_ticks;

static const char *const state_names[] = {"free", "ready", "sleep", "block", "done"};

static void task_trampoline(void) {
    struct task *t = &tasks[current_task];
    t->entry(t->arg);
    task_exit();
}

int task_create(const char *name, task_entry entry, void *arg, int prio) {
    for (int i = 0; i < MAX_TASKS; ++i) {
        struct task *t = &tasks[i];
        if (t->state != TASK_FREE) continue;
        u32 *sp = &stacks[i][STACK_WORDS - 16];
        sp[15] = (u32)task_trampoline;
        t->sp = (u32)sp;
        t->name = name;
        t->entry = entry;
        t->arg = arg;
        t->prio = prio;
        t->state = TASK_READY;
        t->switches = 0;
        return i;
    }
    return -1;
}

int sched_pick_next(void) {
    int best = -1;
    for (int n = 1; n <= MAX_TASKS; ++n) {
        int i = (current_task + n) % MAX_TASKS;
        if (tasks[i].state == TASK_READY && (best < 0 || tasks[i].prio > tasks[best].prio)) best = i;
    }
    return best;
}

static void reschedule(void) {
    int next;
    if (!sched_running) return;
    next = sched_pick_next();
    if (next < 0) {
        ++idle_ticks;
        return;
    }
    if (next != current_task) {
        int prev = current_task;
        current_task = next;
        ++tasks[next].switches;
        context_switch(&tasks[prev].sp, tasks[next].sp);
    }
}

void task_yield(void) {
    u32 flags = irq_save();
    reschedule();
    irq_restore(flags);
}

void task_sleep(u32 ticks) {
    u32 flags = irq_save();
    tasks[current_task].wake = jiffies + ticks;
    tasks[current_task].state = TASK_SLEEPING;
    reschedule();
    irq_restore(flags);
}

void task_exit(void) {
    irq_save();
    tasks[current_task].state = TASK_DONE;
    reschedule();
    for (;;) {
    }
}

int task_current(void) { return current_task; }

const char *task_name(int id) {
    if (id < 0 || id >= MAX_TASKS || tasks[id].state == TASK_FREE) return "?";
    return tasks[id].name;
}

void sched_tick(void) {
    for (int i = 0; i < MAX_TASKS; ++i)
        if (tasks[i].state == TASK_SLEEPING && (s32)(jiffies - tasks[i].wake) >= 0)
            tasks[i].state = TASK_READY;
    timer_run_expired();
}

void sched_start(void) {
    sched_running = 1;
    current_task = sched_pick_next();
    if (current_task < 0) panic("no tasks");
    context_switch(NULL, tasks[current_task].sp);
}

void sched_list(void) {
    printf("id  name        state prio  switches\n");
    for (int i = 0; i < MAX_TASKS; ++i) {
        struct task *t = &tasks[i];
        if (t->state == TASK_FREE) continue;
        printf("%2d  %-10s  %-5s %4d  %8u\n", i, t->name, state_names[t->state], t->prio, t->switches);
    }
    printf("idle ticks: %u\n", idle_ticks);
}

int sem_init(int id, int count) {
    if (id < 0 || id >= MAX_SEMS) return -1;
    sems[id].count = count;
    sems[id].waiters = 0;
    return 0;
}

int sem_take(int id, u32 timeout) {
    u32 deadline = jiffies + timeout;
    for (;;) {
        u32 flags = irq_save();
        if (sems[id].count > 0) {
            --sems[id].count;
            irq_restore(flags);
            return 0;
        }
        sems[id].waiters |= 1u << current_task;
        irq_restore(flags);
        if (timeout && (s32)(jiffies - deadline) >= 0) return -1;
        task_yield();
    }
}

void sem_give(int id) {
    u32 flags = irq_save();
    ++sems[id].count;
    sems[id].waiters = 0;
    irq_restore(flags);
}

int mbox_post(int id, u32 msg) {
    struct mailbox *m = &mboxes[id];
    u32 flags = irq_save();
    if (m->count == MBOX_DEPTH) {
        irq_restore(flags);
        return -1;
    }
    m->msgs[(m->head + m->count++) % MBOX_DEPTH] = msg;
    irq_restore(flags);
    return 0;
}

int mbox_fetch(int id, u32 *msg, u32 timeout) {
    struct mailbox *m = &mboxes[id];
    u32 deadline = jiffies + timeout;
    for (;;) {
        u32 flags = irq_save();
        if (m->count) {
            *msg = m->msgs[m->head];
            m->head = (u8)((m->head + 1) % MBOX_DEPTH);
            --m->count;
            irq_restore(flags);
            return 0;
        }
        irq_restore(flags);
        if (timeout && (s32)(jiffies - deadline) >= 0) return -1;
        task_yield();
    }
}
