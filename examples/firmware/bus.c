/* SPI and I2C controllers, described by register tables. */
#include "fw.h"

struct spi_regs {
    u32 ctrl, status, data, cs, clkdiv;
};
struct i2c_regs {
    u32 ctrl, status, addr, data, count;
};

static volatile struct spi_regs *const spi_buses[2] = {
    (volatile struct spi_regs *)0xbf000c00,
    (volatile struct spi_regs *)0xbf000d00,
};
static volatile struct i2c_regs *const i2c_buses[2] = {
    (volatile struct i2c_regs *)0xbf000e00,
    (volatile struct i2c_regs *)0xbf000f00,
};
static u32 i2c_errors[2];
static const char *const i2c_status_text[] = {"ok", "nack", "arbitration lost", "timeout"};

void spi_init(int bus, u32 hz) {
    volatile struct spi_regs *r = spi_buses[bus];
    r->clkdiv = 50000000 / (2 * hz) - 1;
    r->ctrl = 0x41;
    r->cs = 0xff;
}

u8 spi_transfer(int bus, u8 out) {
    volatile struct spi_regs *r = spi_buses[bus];
    r->data = out;
    while (r->status & 1) {
    }
    return (u8)r->data;
}

void spi_select(int bus, int cs) { spi_buses[bus]->cs = ~(1u << cs) & 0xff; }
void spi_deselect(int bus) { spi_buses[bus]->cs = 0xff; }

void spi_read_block(int bus, u8 *buf, size_t n) {
    while (n--) *buf++ = spi_transfer(bus, 0xff);
}

void spi_write_block(int bus, const u8 *buf, size_t n) {
    while (n--) spi_transfer(bus, *buf++);
}

void i2c_init(int bus) {
    i2c_buses[bus]->ctrl = 0x80 | 124;
    i2c_errors[bus] = 0;
}

static int i2c_wait(int bus) {
    volatile struct i2c_regs *r = i2c_buses[bus];
    for (u32 spin = 0; spin < 100000; ++spin) {
        u32 s = r->status;
        if (!(s & 0x80)) {
            if (s & 3) {
                ++i2c_errors[bus];
                log_msg(2, "i2c%d: %s\n", bus, i2c_status_text[s & 3]);
                return -1;
            }
            return 0;
        }
    }
    log_msg(2, "i2c%d: %s\n", bus, i2c_status_text[3]);
    return -1;
}

int i2c_write(int bus, u8 addr, const u8 *buf, size_t n) {
    volatile struct i2c_regs *r = i2c_buses[bus];
    r->addr = (u32)addr << 1;
    r->count = n;
    while (n--) {
        r->data = *buf++;
        if (i2c_wait(bus)) return -1;
    }
    return 0;
}

int i2c_read(int bus, u8 addr, u8 *buf, size_t n) {
    volatile struct i2c_regs *r = i2c_buses[bus];
    r->addr = (u32)addr << 1 | 1;
    r->count = n;
    while (n--) {
        if (i2c_wait(bus)) return -1;
        *buf++ = (u8)r->data;
    }
    return 0;
}

int i2c_write_reg(int bus, u8 addr, u8 reg, u8 value) {
    u8 msg[2] = {reg, value};
    return i2c_write(bus, addr, msg, 2);
}

int i2c_read_reg(int bus, u8 addr, u8 reg, u8 *value) {
    if (i2c_write(bus, addr, &reg, 1)) return -1;
    return i2c_read(bus, addr, value, 1);
}

int i2c_probe(int bus, u8 addr) { return i2c_write(bus, addr, NULL, 0) == 0; }
