/* Interrupt controller and exception reporting. */
#include "fw.h"

#define INTC_BASE 0xbf000400
#define INTC_PENDING (INTC_BASE + 0x0)
#define INTC_MASK (INTC_BASE + 0x4)
#define IRQ_LINES 16

static irq_handler irq_handlers[IRQ_LINES];
static u32 irq_counts[IRQ_LINES];
static u32 spurious_irqs;

static const char *const exception_names[32] = {
    "interrupt", "tlb modified", "tlb load", "tlb store", "address load", "address store",
    "bus fetch", "bus data", "syscall", "breakpoint", "reserved instruction",
    "coprocessor unusable", "overflow", "trap", "msa fpe", "fpe", "impl 16", "impl 17", "c2e",
    "tlb ri", "tlb xi", "msa disabled", "mdmx", "watch", "mcheck", "thread", "dsp disabled",
    "gues exit", "reserved 28", "reserved 29", "cache error", "reserved 31",
};

void irq_init(void) {
    REG32(INTC_MASK) = 0;
    for (int i = 0; i < IRQ_LINES; ++i) irq_handlers[i] = NULL;
    irq_register(2, uart0_irq);
    irq_register(3, uart1_irq);
}

void irq_register(int line, irq_handler fn) {
    if (line >= 0 && line < IRQ_LINES) irq_handlers[line] = fn;
}

void irq_enable(int line) { REG32(INTC_MASK) |= 1u << line; }
void irq_disable(int line) { REG32(INTC_MASK) &= ~(1u << line); }

u32 irq_save(void) {
    u32 status;
    __asm__ volatile("mfc0 %0, $12\n\tnop" : "=r"(status));
    __asm__ volatile("mtc0 %0, $12\n\tnop" ::"r"(status & ~1u));
    return status;
}

void irq_restore(u32 flags) { __asm__ volatile("mtc0 %0, $12\n\tnop" ::"r"(flags)); }

void irq_dispatch(u32 pending) {
    pending &= REG32(INTC_MASK);
    if (!pending) {
        ++spurious_irqs;
        return;
    }
    for (int line = 0; line < IRQ_LINES; ++line) {
        if (pending & (1u << line)) {
            ++irq_counts[line];
            if (irq_handlers[line]) irq_handlers[line]();
        }
    }
}

u32 irq_count(int line) { return line >= 0 && line < IRQ_LINES ? irq_counts[line] : 0; }

const char *exception_name(u32 code) { return exception_names[code & 31]; }

void exception_handler(u32 cause, u32 epc, u32 badvaddr) {
    u32 code = (cause >> 2) & 31;
    if (code == 0) {
        irq_dispatch(REG32(INTC_PENDING));
        return;
    }
    printf("\nexception %u (%s) at %08x, badvaddr %08x\n", code, exception_name(code), epc, badvaddr);
    panic("unhandled exception");
}
