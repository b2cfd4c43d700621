/* Start-up after the assembly entry: devices, tasks, scheduler. */
#include "fw.h"

const char firmware_version[] = "tinyrtos 1.4.2";
const char build_banner[] = "built for the MIPS32 demo board, big-endian";

extern u8 _heap_start[], _heap_end[];

static u32 sample_count;
static int last_temp;

static void heartbeat(void *arg) {
    (void)arg;
    led_blink(0);
}

static void sensor_task(void *arg) {
    u32 period = 100;
    (void)arg;
    config_get("sample_ms", &period);
    for (;;) {
        int t;
        if (!sensor_read_temp(&t)) {
            last_temp = t;
            ++sample_count;
            mbox_post(0, (u32)t);
        }
        task_sleep(period / 10);
    }
}

static void net_task(void *arg) {
    static u8 frame[64];
    size_t n = 0;
    (void)arg;
    for (;;) {
        int c = uart_getc(1);
        if (c == 0x7e) n = 0;
        if (n < sizeof frame) frame[n++] = (u8)c;
        if (n >= 8 && proto_handle(frame, n) != -1) n = 0;
    }
}

static void monitor_task(void *arg) {
    u32 msg;
    (void)arg;
    for (;;) {
        if (!mbox_fetch(0, &msg, 500) && (int)msg > 5000) log_msg(2, "temperature high: %d\n", (int)msg);
        if (button_pressed(0)) log_msg(1, "button, %u samples, last %d\n", sample_count, last_temp);
    }
}

int main(void) {
    u32 baud = 115200;
    heap_init(_heap_start, (size_t)(_heap_end - _heap_start));
    irq_init();
    log_init(1);
    gpio_init();
    timer_init();
    uart_init(0, baud);
    printf("\n%s\n", firmware_version);
    flash_init();
    sensor_init();
    config_load();
    if (!config_get("baud", &baud) && baud != 115200) uart_set_baud(0, baud);
    uart_init(1, 0);
    shell_init();
    timer_start(0, 50, heartbeat, NULL);
    task_create("shell", shell_task, NULL, 1);
    task_create("sensor", sensor_task, NULL, 2);
    task_create("net", net_task, NULL, 3);
    task_create("monitor", monitor_task, NULL, 1);
    sched_start();
    return 0;
}
