/* 16550-style UARTs: two ports, interrupt-driven receive into rings. */
#include "fw.h"

#define UART_RBR 0x00
#define UART_THR 0x00
#define UART_IER 0x04
#define UART_IIR 0x08
#define UART_LCR 0x0c
#define UART_MCR 0x10
#define UART_LSR 0x14
#define UART_DLL 0x00
#define UART_DLM 0x04
#define LSR_DR 0x01
#define LSR_THRE 0x20
#define UART_CLOCK 50000000u

struct uart_port {
    u32 base;
    u32 baud;
    u8 irq;
    const char *name;
};

static const struct uart_port uart_ports[2] = {
    {0xbf000800, 115200, 2, "uart0"},
    {0xbf000900, 9600, 3, "uart1"},
};

static u8 rx_memory[2][128];
static struct ring rx_rings[2];
static u32 rx_overruns[2];
int console_port;

static inline u32 uart_reg(int port, u32 reg) { return uart_ports[port].base + reg; }

void uart_set_baud(int port, u32 baud) {
    u32 div = (UART_CLOCK + baud * 8) / (baud * 16);
    REG32(uart_reg(port, UART_LCR)) = 0x83;
    REG32(uart_reg(port, UART_DLL)) = div & 0xff;
    REG32(uart_reg(port, UART_DLM)) = div >> 8;
    REG32(uart_reg(port, UART_LCR)) = 0x03;
}

void uart_init(int port, u32 baud) {
    if (!baud) baud = uart_ports[port].baud;
    uart_set_baud(port, baud);
    REG32(uart_reg(port, UART_MCR)) = 0x0b;
    ring_init(&rx_rings[port], rx_memory[port], sizeof rx_memory[port]);
    REG32(uart_reg(port, UART_IER)) = 0x01;
    irq_enable(uart_ports[port].irq);
}

void uart_putc(int port, char c) {
    while (!(REG32(uart_reg(port, UART_LSR)) & LSR_THRE)) {
    }
    REG32(uart_reg(port, UART_THR)) = (u8)c;
}

int uart_poll(int port) { return (REG32(uart_reg(port, UART_LSR)) & LSR_DR) != 0; }

int uart_getc(int port) {
    int c;
    while ((c = ring_get(&rx_rings[port])) < 0) task_yield();
    return c;
}

void uart_write(int port, const char *s, size_t n) {
    while (n--) uart_putc(port, *s++);
}

void uart_puts(int port, const char *s) { uart_write(port, s, strlen(s)); }

void uart_irq(int port) {
    while (uart_poll(port)) {
        u8 c = (u8)REG32(uart_reg(port, UART_RBR));
        if (ring_put(&rx_rings[port], c) < 0) ++rx_overruns[port];
    }
}

int uart_rx_count(int port) { return ring_count(&rx_rings[port]); }

void uart0_irq(void) { uart_irq(0); }
void uart1_irq(void) { uart_irq(1); }

int console_getc(void) { return uart_getc(console_port); }
void console_putc(char c) { uart_putc(console_port, c); }
