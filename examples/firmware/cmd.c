/* The console shell: a line editor and a table of commands. */
#include "fw.h"

#define MAX_ARGS 8
#define LINE_MAX 80

struct command {
    const char *name;
    const char *usage;
    int (*run)(int argc, char **argv);
};

static const struct command commands[];
static char history[LINE_MAX];
static u32 command_count;

static int parse_u32(const char *s, u32 *v) {
    char *end;
    *v = strtoul(s, &end, 0);
    return *end ? -1 : 0;
}

static int cmd_help(int argc, char **argv);

static int cmd_version(int argc, char **argv) {
    (void)argc, (void)argv;
    printf("%s\n%s\n", firmware_version, build_banner);
    return 0;
}

static int cmd_uptime(int argc, char **argv) {
    u32 s = uptime_seconds();
    (void)argc, (void)argv;
    printf("up %u:%02u:%02u, %u ticks\n", s / 3600, s / 60 % 60, s % 60, jiffies);
    return 0;
}

static int cmd_md(int argc, char **argv) {
    u32 addr, len = 64;
    if (argc < 2 || parse_u32(argv[1], &addr)) return -1;
    if (argc > 2 && parse_u32(argv[2], &len)) return -1;
    hexdump((const void *)addr, len, addr);
    return 0;
}

static int cmd_mw(int argc, char **argv) {
    u32 addr, value;
    if (argc < 3 || parse_u32(argv[1], &addr) || parse_u32(argv[2], &value)) return -1;
    REG32(addr) = value;
    return 0;
}

static int cmd_crc(int argc, char **argv) {
    u32 addr, len;
    if (argc < 3 || parse_u32(argv[1], &addr) || parse_u32(argv[2], &len)) return -1;
    printf("crc32 %08x  crc16 %04x  adler %08x\n", crc32(0, (const void *)addr, len),
           crc16_ccitt(0xffff, (const void *)addr, len), adler32(1, (const void *)addr, len));
    return 0;
}

static int cmd_tasks(int argc, char **argv) {
    (void)argc, (void)argv;
    sched_list();
    return 0;
}

static int cmd_heap(int argc, char **argv) {
    (void)argc, (void)argv;
    heap_stats();
    return 0;
}

static int cmd_led(int argc, char **argv) {
    u32 led, on;
    if (argc < 3 || parse_u32(argv[1], &led) || parse_u32(argv[2], &on)) return -1;
    led_set((int)led, (int)on);
    return 0;
}

static int cmd_gpio(int argc, char **argv) {
    u32 pin, value;
    if (argc < 2 || parse_u32(argv[1], &pin)) return -1;
    if (argc == 2) {
        printf("gpio%u = %d\n", pin, gpio_read((int)pin));
        return 0;
    }
    if (parse_u32(argv[2], &value)) return -1;
    gpio_set_dir((int)pin, 1);
    gpio_write((int)pin, (int)value);
    return 0;
}

static int cmd_temp(int argc, char **argv) {
    int t, h;
    (void)argc, (void)argv;
    if (sensor_read_temp(&t) || sensor_read_humidity(&h)) {
        printf("sensor error\n");
        return 1;
    }
    printf("%d.%02d C  %d.%d %%rh\n", t / 100, t % 100, h / 10, h % 10);
    return 0;
}

static int cmd_flash(int argc, char **argv) {
    u32 addr, len = 64;
    static u8 page[256];
    if (argc < 2) {
        u32 id = flash_read_id();
        printf("flash id %06x (%s)\n", id, flash_part_name(id));
        return 0;
    }
    if (!strcmp(argv[1], "erase") && argc > 2 && !parse_u32(argv[2], &addr))
        return flash_erase_sector(addr);
    if (parse_u32(argv[1], &addr) || (argc > 2 && parse_u32(argv[2], &len))) return -1;
    if (len > sizeof page) len = sizeof page;
    if (flash_read(addr, page, len)) return 1;
    hexdump(page, len, addr);
    return 0;
}

static int cmd_i2c(int argc, char **argv) {
    int found = 0;
    (void)argc, (void)argv;
    for (u8 a = 8; a < 0x78; ++a)
        if (i2c_probe(0, a)) {
            if (!found++) printf("i2c0:");
            printf(" %02x", a);
        }
    if (found) printf("\n");
    else printf("no devices\n");
    return 0;
}

static int cmd_eeprom(int argc, char **argv) {
    u32 addr, len = 32;
    u8 buf[64];
    if (argc < 2 || parse_u32(argv[1], &addr)) return -1;
    if (argc > 2 && parse_u32(argv[2], &len)) return -1;
    if (len > sizeof buf) len = sizeof buf;
    if (eeprom_read((u16)addr, buf, len)) return 1;
    hexdump(buf, len, addr);
    return 0;
}

static int cmd_rtc(int argc, char **argv) {
    u32 s;
    if (argc > 1) {
        if (parse_u32(argv[1], &s)) return -1;
        return rtc_set(s);
    }
    if (rtc_get(&s)) return 1;
    printf("%02u:%02u:%02u\n", s / 3600, s / 60 % 60, s % 60);
    return 0;
}

static int cmd_config(int argc, char **argv) {
    u32 v;
    if (argc == 1) {
        config_print();
        return 0;
    }
    if (!strcmp(argv[1], "save")) return config_save();
    if (!strcmp(argv[1], "load")) return config_load();
    if (!strcmp(argv[1], "defaults")) {
        config_defaults();
        return 0;
    }
    if (argc == 2) {
        if (config_get(argv[1], &v)) return 1;
        printf("%s = %u\n", argv[1], v);
        return 0;
    }
    if (parse_u32(argv[2], &v)) return -1;
    return config_set(argv[1], v);
}

static int cmd_log(int argc, char **argv) {
    u32 level;
    if (argc > 1) {
        if (parse_u32(argv[1], &level) || level > 4) return -1;
        log_level = (int)level;
    }
    log_dump();
    return 0;
}

static int cmd_irq(int argc, char **argv) {
    (void)argc, (void)argv;
    for (int i = 0; i < 16; ++i)
        if (irq_count(i)) printf("irq %2d: %u\n", i, irq_count(i));
    return 0;
}

static int cmd_echo(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        printf("%s", argv[i]);
        console_putc(i + 1 < argc ? ' ' : '\n');
    }
    return 0;
}

static int cmd_sleep(int argc, char **argv) {
    u32 ms;
    if (argc < 2 || parse_u32(argv[1], &ms)) return -1;
    task_sleep(ms / 10);
    return 0;
}

static int cmd_reboot(int argc, char **argv) {
    (void)argc, (void)argv;
    printf("rebooting...\n");
    delay_ms(10);
    REG32(0xbf000100) = 0xdead0001;
    return 0;
}

static int cmd_history(int argc, char **argv) {
    (void)argc, (void)argv;
    printf("%u commands, last: %s\n", command_count, history);
    return 0;
}

static const struct command commands[] = {
    {"help", "", cmd_help},
    {"version", "", cmd_version},
    {"uptime", "", cmd_uptime},
    {"md", "addr [len]", cmd_md},
    {"mw", "addr value", cmd_mw},
    {"crc", "addr len", cmd_crc},
    {"tasks", "", cmd_tasks},
    {"heap", "", cmd_heap},
    {"led", "n on", cmd_led},
    {"gpio", "pin [value]", cmd_gpio},
    {"temp", "", cmd_temp},
    {"flash", "[addr [len] | erase addr]", cmd_flash},
    {"i2c", "", cmd_i2c},
    {"eeprom", "addr [len]", cmd_eeprom},
    {"rtc", "[seconds]", cmd_rtc},
    {"config", "[key [value] | save | load | defaults]", cmd_config},
    {"log", "[level]", cmd_log},
    {"irq", "", cmd_irq},
    {"echo", "text...", cmd_echo},
    {"sleep", "ms", cmd_sleep},
    {"history", "", cmd_history},
    {"reboot", "", cmd_reboot},
    {NULL, NULL, NULL},
};

static int cmd_help(int argc, char **argv) {
    (void)argc, (void)argv;
    for (const struct command *c = commands; c->name; ++c) printf("  %-8s %s\n", c->name, c->usage);
    return 0;
}

static const struct command *find_command(const char *name) {
    for (const struct command *c = commands; c->name; ++c)
        if (!strcmp(c->name, name)) return c;
    return NULL;
}

int shell_execute(char *line) {
    char *argv[MAX_ARGS], *save;
    int argc = 0;
    const struct command *c;
    strlcpy(history, line, sizeof history);
    for (char *tok = strtok_r(line, " \t", &save); tok && argc < MAX_ARGS; tok = strtok_r(NULL, " \t", &save))
        argv[argc++] = tok;
    if (!argc) return 0;
    ++command_count;
    c = find_command(argv[0]);
    if (!c) {
        printf("unknown command '%s', try help\n", argv[0]);
        return -1;
    }
    int rc = c->run(argc, argv);
    if (rc < 0) printf("usage: %s %s\n", c->name, c->usage);
    else if (rc > 0) printf("%s: failed (%d)\n", c->name, rc);
    return rc;
}

int shell_readline(char *buf, int max) {
    int n = 0;
    for (;;) {
        int c = console_getc();
        if (c == '\r' || c == '\n') {
            printf("\n");
            buf[n] = 0;
            return n;
        }
        if ((c == 8 || c == 127) && n > 0) {
            --n;
            printf("\b \b");
        } else if (c == 3) {
            printf("^C\n");
            n = 0;
            buf[0] = 0;
            return 0;
        } else if (isprint(c) && n < max - 1) {
            buf[n++] = (char)c;
            console_putc((char)c);
        }
    }
}

void shell_init(void) {
    command_count = 0;
    history[0] = 0;
}

void shell_task(void *arg) {
    char line[LINE_MAX];
    (void)arg;
    printf("\ntinyrtos shell, type help\n");
    for (;;) {
        printf("> ");
        if (shell_readline(line, sizeof line) > 0) shell_execute(line);
    }
}
