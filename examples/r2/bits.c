/* Release 2 bit operations (rotations, byte swaps, sign extension, bit
 * fields, leading zeros), privileged CP0 helpers and main. */
#include "r2.h"

unsigned rotr7(unsigned x) { return (x >> 7) | (x << 25); }
unsigned rotl(unsigned x, unsigned n) { return (x << (n & 31)) | (x >> (-n & 31)); }
unsigned bswap32(unsigned x) { return __builtin_bswap32(x); }
unsigned short bswap16(unsigned short x) { return __builtin_bswap16(x); }
int sext8(unsigned x) { return (signed char)x; }
int sext16(unsigned x) { return (short)x; }

/* Bit fields of a made-up status register: extract and insert. */
unsigned field_get(unsigned reg) { return (reg >> 5) & 0x3ff; }
unsigned field_set(unsigned reg, unsigned v) { return (reg & ~(0xffu << 12)) | ((v & 0xff) << 12); }

struct ctrl { unsigned mode : 3, speed : 6, en : 1, chan : 4; };
unsigned ctrl_pack(struct ctrl *c, unsigned chan, unsigned speed)
{
    c->chan = chan;
    c->speed = speed;
    return c->mode + c->en;
}

unsigned log2u(unsigned x) { return x ? 31 - __builtin_clz(x) : 0; }
unsigned leading_ones(unsigned x) { return x == ~0u ? 32 : __builtin_clz(~x); }

/* Privileged helpers: interrupts off/on, CP0 Count/Compare and Status. */
unsigned irq_save(void)
{
    unsigned s;
    __asm__ volatile("di %0\n\tehb" : "=r"(s) : : "memory");
    return s & 1;
}

void irq_restore(unsigned s)
{
    if (s)
        __asm__ volatile("ei\n\tehb" : : : "memory");
}

void timer_arm(unsigned ticks)
{
    unsigned now;
    __asm__ volatile("mfc0 %0, $9" : "=r"(now));
    __asm__ volatile("mtc0 %0, $11\n\tehb" : : "r"(now + ticks));
}

unsigned cpu_ebase(void)
{
    unsigned prid, ebase;
    __asm__ volatile("mfc0 %0, $15, 0" : "=r"(prid));
    __asm__ volatile("mfc0 %0, $15, 1" : "=r"(ebase));
    return (prid >> 8 & 0xff) << 24 | (ebase & 0x3ffff000);
}

void cpu_idle(void) { __asm__ volatile("wait"); }

static const float probe[4] = { 1.0f, 2.0f, 3.0f, 4.0f };

int main(void)
{
    fpu_set_rounding(0);
    unsigned s = irq_save();
    samples[0] = vec_dot(probe, window, 4) + clampf(vec_len(3.0f, 4.0f), 0.0f, 4.5f);
    filter_step(axpy_s(0.5f, 2.0f, 1.0f));
    irq_restore(s);
    return (int)(bswap32(rotl(log2u(to_q16(samples[0])), 3)) + count_above(history, 8, poly_cos(0.5)));
}
