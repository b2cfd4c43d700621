/* A cooperative scheduler: a task table of function pointers in .data, a
   state machine per task (a switch on the state), tick counters as small
   data, an idle hook through a pointer, and the platform's interrupt and
   timer routines as extern functions. */
extern unsigned irq_save(void);
extern void irq_restore(unsigned flags);
extern unsigned timer_now(void);
extern void cpu_wait(void);
extern void watchdog_kick(void);
extern void panic(const char *why) __attribute__((noreturn));
extern struct board_config {
    unsigned clock_hz;
    unsigned ticks_per_second;
    unsigned char task_slots[16];
} board_config;

enum state { READY, RUNNING, BLOCKED, SLEEPING, SUSPENDED, ZOMBIE, DEAD };

struct task {
    const char *name;
    void (*entry)(struct task *self);
    enum state state;
    unsigned wake_at;
    unsigned runs;
};

static void task_blink(struct task *self);
static void task_poll(struct task *self);
static void task_stats(struct task *self);
static void idle_default(void);

static struct task tasks[] = {              /* .data */
    { "blink", task_blink, READY, 0, 0 },
    { "poll",  task_poll,  READY, 0, 0 },
    { "stats", task_stats, SLEEPING, 100, 0 },
};
#define NTASKS (int)(sizeof tasks / sizeof tasks[0])

static const char *const state_names[] = {  /* .rodata (non-PIC) */
    "ready", "running", "blocked", "sleeping", "suspended", "zombie", "dead",
};

unsigned sched_ticks;                       /* .sbss under -G 8 */
static unsigned switches;                   /* .sbss under -G 8 */
int sched_quantum = 4;                      /* .sdata under -G 8 */
void (*sched_idle_hook)(void) = idle_default;  /* .sdata under -G 8 */
static unsigned run_log[64];                /* .bss */
static unsigned run_log_at;                 /* .sbss */
static const unsigned short backoff[8] = { 1, 2, 4, 8, 16, 32, 64, 128 };

static unsigned blink_phase;

static void task_blink(struct task *self)
{
    blink_phase ^= 1;
    self->state = SLEEPING;
    self->wake_at = sched_ticks + backoff[blink_phase * 3];
}

static void task_poll(struct task *self)
{
    if (timer_now() & 1)
        self->state = BLOCKED;
    watchdog_kick();
}

static void task_stats(struct task *self)
{
    self->wake_at = sched_ticks + board_config.ticks_per_second;
    self->state = SLEEPING;
}

static void idle_default(void)
{
    cpu_wait();
}

const char *sched_state_name(int task)
{
    if (task < 0 || task >= NTASKS)
        return "none";
    return state_names[tasks[task].state];
}

static void step(struct task *t)
{
    switch (t->state) {
    case READY:
        t->state = RUNNING;
        /* fall through */
    case RUNNING:
        t->runs++;
        switches++;
        run_log[run_log_at++ & 63] = (unsigned)(t - tasks);
        t->entry(t);
        if (t->state == RUNNING)
            t->state = READY;
        break;
    case BLOCKED:
        if (timer_now() & 2)
            t->state = READY;
        break;
    case SLEEPING:
        if ((int)(sched_ticks - t->wake_at) >= 0)
            t->state = READY;
        break;
    case SUSPENDED:
        watchdog_kick();
        break;
    case ZOMBIE:
        t->entry = 0;
        t->state = DEAD;
        break;
    case DEAD:
        break;
    default:
        panic("task state corrupt");
    }
}

void sched_tick(void)
{
    unsigned flags = irq_save();
    sched_ticks++;
    irq_restore(flags);
}

void sched_run(int rounds)
{
    while (rounds-- > 0) {
        int ran = 0;
        for (int i = 0; i < NTASKS; i++) {
            if (tasks[i].state <= RUNNING)
                ran = 1;
            if (board_config.task_slots[i])
                step(&tasks[i]);
        }
        if (!ran)
            sched_idle_hook();
    }
}

unsigned sched_switches(void)
{
    return switches + (unsigned)sched_quantum;
}
