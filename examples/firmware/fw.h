/* Shared declarations of the sample firmware "tinyrtos". */
#ifndef FW_H
#define FW_H

typedef unsigned int u32;
typedef unsigned short u16;
typedef unsigned char u8;
typedef int s32;
typedef unsigned long size_t;
typedef __builtin_va_list va_list;
#define va_start(ap, last) __builtin_va_start(ap, last)
#define va_arg(ap, type) __builtin_va_arg(ap, type)
#define va_end(ap) __builtin_va_end(ap)
#define NULL ((void *)0)
#define ARRAY_SIZE(a) (sizeof(a) / sizeof((a)[0]))

#define REG32(addr) (*(volatile u32 *)(addr))

/* string.c */
void *memcpy(void *d, const void *s, size_t n);
void *memmove(void *d, const void *s, size_t n);
void *memset(void *d, int c, size_t n);
int memcmp(const void *a, const void *b, size_t n);
size_t strlen(const char *s);
size_t strnlen(const char *s, size_t n);
char *strcpy(char *d, const char *s);
char *strncpy(char *d, const char *s, size_t n);
size_t strlcpy(char *d, const char *s, size_t n);
char *strcat(char *d, const char *s);
int strcmp(const char *a, const char *b);
int strncmp(const char *a, const char *b, size_t n);
int strcasecmp(const char *a, const char *b);
char *strchr(const char *s, int c);
char *strrchr(const char *s, int c);
char *strstr(const char *h, const char *n);
char *strtok_r(char *s, const char *delim, char **save);
unsigned long strtoul(const char *s, char **end, int base);
long strtol(const char *s, char **end, int base);
int atoi(const char *s);
int isdigit(int c);
int isxdigit(int c);
int isspace(int c);
int isalpha(int c);
int isprint(int c);
int toupper(int c);
int tolower(int c);

/* crc.c */
u32 crc32(u32 crc, const void *buf, size_t len);
u16 crc16_ccitt(u16 crc, const void *buf, size_t len);
u8 crc8(u8 crc, const void *buf, size_t len);
u32 adler32(u32 adler, const void *buf, size_t len);
u16 fletcher16(const void *buf, size_t len);
u8 checksum8(const void *buf, size_t len);

/* format.c */
int vformat(void (*put)(void *, char), void *ctx, const char *fmt, va_list ap);
int vsnprintf(char *buf, size_t size, const char *fmt, va_list ap);
int snprintf(char *buf, size_t size, const char *fmt, ...);
int sprintf(char *buf, const char *fmt, ...);
int printf(const char *fmt, ...);
int puts(const char *s);
void hexdump(const void *buf, size_t len, u32 base);

/* uart.c */
void uart_init(int port, u32 baud);
void uart_putc(int port, char c);
int uart_getc(int port);
int uart_poll(int port);
void uart_write(int port, const char *s, size_t n);
void uart_puts(int port, const char *s);
void uart_set_baud(int port, u32 baud);
void uart_irq(int port);
int uart_rx_count(int port);
int console_getc(void);
void console_putc(char c);

/* timer.c */
void timer_init(void);
u32 timer_ticks(void);
void timer_irq(void);
void delay_us(u32 us);
void delay_ms(u32 ms);
int timer_start(int id, u32 period, void (*fn)(void *), void *arg);
void timer_stop(int id);
void timer_run_expired(void);
u32 uptime_seconds(void);

/* gpio.c */
void gpio_init(void);
void gpio_set_dir(int pin, int out);
void gpio_write(int pin, int value);
int gpio_read(int pin);
void gpio_toggle(int pin);
void led_set(int led, int on);
void led_blink(int led);
int button_pressed(int button);
void gpio_irq(void);

/* spi.c / i2c.c / flash.c */
void spi_init(int bus, u32 hz);
u8 spi_transfer(int bus, u8 out);
void spi_select(int bus, int cs);
void spi_deselect(int bus);
void spi_read_block(int bus, u8 *buf, size_t n);
void spi_write_block(int bus, const u8 *buf, size_t n);
void i2c_init(int bus);
int i2c_write(int bus, u8 addr, const u8 *buf, size_t n);
int i2c_read(int bus, u8 addr, u8 *buf, size_t n);
int i2c_write_reg(int bus, u8 addr, u8 reg, u8 value);
int i2c_read_reg(int bus, u8 addr, u8 reg, u8 *value);
int i2c_probe(int bus, u8 addr);
void flash_init(void);
u32 flash_read_id(void);
int flash_read(u32 addr, void *buf, size_t n);
int flash_write(u32 addr, const void *buf, size_t n);
int flash_erase_sector(u32 addr);
int flash_wait_ready(void);
int flash_verify(u32 addr, const void *buf, size_t n);
const char *flash_part_name(u32 id);

/* sensors.c */
int sensor_init(void);
int sensor_read_temp(int *centi);
int sensor_read_humidity(int *permille);
int eeprom_read(u16 addr, u8 *buf, size_t n);
int eeprom_write(u16 addr, const u8 *buf, size_t n);
int rtc_get(u32 *seconds);
int rtc_set(u32 seconds);

/* irq.c */
typedef void (*irq_handler)(void);
void irq_init(void);
void irq_register(int line, irq_handler fn);
void irq_enable(int line);
void irq_disable(int line);
u32 irq_save(void);
void irq_restore(u32 flags);
void irq_dispatch(u32 pending);
u32 irq_count(int line);
void exception_handler(u32 cause, u32 epc, u32 badvaddr);
void uart0_irq(void);
void uart1_irq(void);
const char *exception_name(u32 code);

/* sched.c */
typedef void (*task_entry)(void *);
int task_create(const char *name, task_entry entry, void *arg, int prio);
void task_yield(void);
void task_sleep(u32 ticks);
void task_exit(void);
int task_current(void);
const char *task_name(int id);
void sched_start(void);
void sched_tick(void);
int sched_pick_next(void);
void sched_list(void);
int sem_init(int id, int count);
int sem_take(int id, u32 timeout);
void sem_give(int id);
int mbox_post(int id, u32 msg);
int mbox_fetch(int id, u32 *msg, u32 timeout);
void context_switch(u32 *old_sp, u32 new_sp);

/* heap.c */
void heap_init(void *base, size_t size);
void *malloc(size_t n);
void free(void *p);
void *calloc(size_t n, size_t size);
void *realloc(void *p, size_t n);
size_t heap_free_bytes(void);
void heap_stats(void);

/* ring.c */
struct ring {
    u8 *buf;
    u16 size, head, tail;
};
void ring_init(struct ring *r, u8 *buf, u16 size);
int ring_put(struct ring *r, u8 c);
int ring_get(struct ring *r);
int ring_count(const struct ring *r);
int ring_space(const struct ring *r);
void ring_flush(struct ring *r);
int ring_peek(const struct ring *r);

/* config.c */
int config_load(void);
int config_save(void);
int config_get(const char *key, u32 *value);
int config_set(const char *key, u32 value);
void config_defaults(void);
void config_print(void);
const char *config_key(int i);

/* cmd.c */
void shell_init(void);
void shell_task(void *arg);
int shell_execute(char *line);
int shell_readline(char *buf, int max);

/* log.c */
void log_init(int level);
void log_msg(int level, const char *fmt, ...);
void log_dump(void);
const char *log_level_name(int level);
void panic(const char *msg) __attribute__((noreturn));
void assert_failed(const char *file, int line) __attribute__((noreturn));

/* net.c */
u16 ip_checksum(const void *buf, size_t len);
int packet_parse(const u8 *pkt, size_t len);
int packet_build(u8 *buf, u16 type, const void *payload, size_t n);
u16 htons(u16 v);
u32 htonl(u32 v);
int proto_handle(const u8 *pkt, size_t len);
const char *proto_name(u16 type);

extern volatile u32 jiffies;
extern int log_level;
extern const char firmware_version[];
extern const char build_banner[];

#endif
