/* Log ring kept in memory, echoed to the console above the log level. */
#include "fw.h"

#define LOG_LINES 16
#define LOG_WIDTH 80

int log_level = 1;
static char log_ring[LOG_LINES][LOG_WIDTH];
static int log_next;
static u32 log_dropped;
static const char *const level_names[] = {"debug", "info", "warn", "error", "fatal"};

void log_init(int level) {
    log_level = level;
    log_next = 0;
    memset(log_ring, 0, sizeof log_ring);
}

const char *log_level_name(int level) { return level >= 0 && level <= 4 ? level_names[level] : "?"; }

void log_msg(int level, const char *fmt, ...) {
    va_list ap;
    char *line = log_ring[log_next];
    int n = snprintf(line, LOG_WIDTH, "%6u %s: ", jiffies, log_level_name(level));
    va_start(ap, fmt);
    vsnprintf(line + n, LOG_WIDTH - n, fmt, ap);
    va_end(ap);
    log_next = (log_next + 1) % LOG_LINES;
    if (level >= log_level) printf("%s", line);
    else ++log_dropped;
}

void log_dump(void) {
    for (int i = 0; i < LOG_LINES; ++i) {
        const char *line = log_ring[(log_next + i) % LOG_LINES];
        if (line[0]) printf("%s", line);
    }
    printf("%u lines below level %s\n", log_dropped, log_level_name(log_level));
}

void panic(const char *msg) {
    irq_save();
    printf("\n*** PANIC: %s (task %s, uptime %us)\n", msg, task_name(task_current()), uptime_seconds());
    for (;;) {
        led_blink(0);
        delay_ms(100);
    }
}

void assert_failed(const char *file, int line) {
    char msg[64];
    snprintf(msg, sizeof msg, "assertion failed at %s:%d", file, line);
    panic(msg);
}
