/* Watchdog, PWM, ADC and DMA, each described by a table of its registers. */
#include "fw.h"

struct reg_field {
    const char *name;
    u32 offset;
    u32 reset_value;
};

struct device {
    const char *name;
    u32 base;
    const struct reg_field *regs;
    int reg_count;
};

static const struct reg_field wdt_regs[] = {
    {"WDT_CTRL", 0x00, 0x00000000}, {"WDT_LOAD", 0x04, 0x0000ffff}, {"WDT_FEED", 0x08, 0},
    {"WDT_STAT", 0x0c, 0},
};
static const struct reg_field pwm_regs[] = {
    {"PWM_CTRL", 0x00, 0}, {"PWM_PERIOD", 0x04, 1000}, {"PWM_DUTY0", 0x08, 0},
    {"PWM_DUTY1", 0x0c, 0}, {"PWM_DUTY2", 0x10, 0}, {"PWM_DUTY3", 0x14, 0},
};
static const struct reg_field adc_regs[] = {
    {"ADC_CTRL", 0x00, 0}, {"ADC_START", 0x04, 0}, {"ADC_STAT", 0x08, 0}, {"ADC_DATA0", 0x10, 0},
    {"ADC_DATA1", 0x14, 0}, {"ADC_DATA2", 0x18, 0}, {"ADC_DATA3", 0x1c, 0},
};
static const struct reg_field dma_regs[] = {
    {"DMA_SRC", 0x00, 0}, {"DMA_DST", 0x04, 0}, {"DMA_LEN", 0x08, 0}, {"DMA_CTRL", 0x0c, 0},
    {"DMA_STAT", 0x10, 0},
};

static const struct device devices[] = {
    {"watchdog", 0xbf000100, wdt_regs, ARRAY_SIZE(wdt_regs)},
    {"pwm", 0xbf001000, pwm_regs, ARRAY_SIZE(pwm_regs)},
    {"adc", 0xbf001100, adc_regs, ARRAY_SIZE(adc_regs)},
    {"dma", 0xbf001200, dma_regs, ARRAY_SIZE(dma_regs)},
};

static u32 wdt_feeds;
static u32 dma_transfers;
static u16 adc_last[4];

const char *device_name(int i) { return i >= 0 && i < (int)ARRAY_SIZE(devices) ? devices[i].name : NULL; }

static const struct device *find_device(const char *name) {
    for (unsigned i = 0; i < ARRAY_SIZE(devices); ++i)
        if (!strcmp(devices[i].name, name)) return &devices[i];
    return NULL;
}

void device_dump(const char *name) {
    const struct device *d = find_device(name);
    if (!d) {
        printf("no device %s\n", name);
        return;
    }
    for (int i = 0; i < d->reg_count; ++i) {
        u32 addr = d->base + d->regs[i].offset;
        printf("  %-10s %08x = %08x (reset %08x)\n", d->regs[i].name, addr, REG32(addr),
               d->regs[i].reset_value);
    }
}

void device_reset_all(void) {
    for (unsigned i = 0; i < ARRAY_SIZE(devices); ++i)
        for (int r = 0; r < devices[i].reg_count; ++r)
            REG32(devices[i].base + devices[i].regs[r].offset) = devices[i].regs[r].reset_value;
}

void wdt_start(u32 timeout_ms) {
    REG32(0xbf000104) = timeout_ms * 32;
    REG32(0xbf000100) = 1;
}

void wdt_feed(void) {
    REG32(0xbf000108) = 0x5a5a;
    ++wdt_feeds;
}

void wdt_stop(void) { REG32(0xbf000100) = 0; }
int wdt_expired(void) { return REG32(0xbf00010c) & 1; }

void pwm_init(u32 period) {
    REG32(0xbf001004) = period;
    REG32(0xbf001000) = 1;
}

void pwm_set_duty(int channel, u32 permille) {
    u32 period = REG32(0xbf001004);
    if (channel < 0 || channel > 3) return;
    if (permille > 1000) permille = 1000;
    REG32(0xbf001008 + 4 * channel) = period * permille / 1000;
}

void led_fade(int channel, int steps) {
    for (int i = 0; i <= steps; ++i) {
        pwm_set_duty(channel, (u32)(1000 * i / steps));
        delay_ms(10);
    }
}

int adc_read(int channel) {
    if (channel < 0 || channel > 3) return -1;
    REG32(0xbf001104) = 1u << channel;
    for (u32 spin = 0; spin < 10000; ++spin) {
        if (REG32(0xbf001108) & (1u << channel)) {
            adc_last[channel] = (u16)REG32(0xbf001110 + 4 * channel);
            return adc_last[channel];
        }
    }
    return -1;
}

int adc_read_average(int channel, int samples) {
    int sum = 0;
    for (int i = 0; i < samples; ++i) {
        int v = adc_read(channel);
        if (v < 0) return -1;
        sum += v;
    }
    return sum / samples;
}

u32 adc_to_millivolts(int raw) { return (u32)raw * 3300 / 4095; }

int dma_copy(void *dst, const void *src, size_t n) {
    REG32(0xbf001200) = (u32)src & 0x1fffffff;
    REG32(0xbf001204) = (u32)dst & 0x1fffffff;
    REG32(0xbf001208) = n;
    REG32(0xbf00120c) = 1;
    while (REG32(0xbf001210) & 1) {
    }
    ++dma_transfers;
    return REG32(0xbf001210) & 2 ? -1 : 0;
}

void device_stats(void) {
    printf("watchdog feeds %u, dma transfers %u, adc %u %u %u %u\n", wdt_feeds, dma_transfers,
           adc_last[0], adc_last[1], adc_last[2], adc_last[3]);
}
