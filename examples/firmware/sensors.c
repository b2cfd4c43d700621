/* I2C peripherals: temperature/humidity sensor, EEPROM, real-time clock. */
#include "fw.h"

#define SENSOR_BUS 0
#define SENSOR_ADDR 0x40
#define EEPROM_ADDR 0x50
#define RTC_ADDR 0x68

struct sensor_calibration {
    s32 offset;
    s32 scale;
};

static struct sensor_calibration temp_cal = {-4685, 17572};
static struct sensor_calibration hum_cal = {-60, 1250};
static int sensor_ready;

int sensor_init(void) {
    i2c_init(SENSOR_BUS);
    if (!i2c_probe(SENSOR_BUS, SENSOR_ADDR)) {
        log_msg(2, "sensor: not found\n");
        return -1;
    }
    i2c_write_reg(SENSOR_BUS, SENSOR_ADDR, 0xe6, 0x3a);
    sensor_ready = 1;
    return 0;
}

static int sensor_raw(u8 cmd, u16 *raw) {
    u8 data[3];
    if (!sensor_ready) return -1;
    if (i2c_write(SENSOR_BUS, SENSOR_ADDR, &cmd, 1)) return -1;
    delay_ms(20);
    if (i2c_read(SENSOR_BUS, SENSOR_ADDR, data, 3)) return -1;
    if (crc8(0, data, 2) != data[2]) return -1;
    *raw = (u16)(data[0] << 8 | (data[1] & 0xfc));
    return 0;
}

int sensor_read_temp(int *centi) {
    u16 raw;
    if (sensor_raw(0xf3, &raw)) return -1;
    *centi = temp_cal.offset + (int)(((s32)raw * temp_cal.scale) >> 16);
    return 0;
}

int sensor_read_humidity(int *permille) {
    u16 raw;
    if (sensor_raw(0xf5, &raw)) return -1;
    *permille = hum_cal.offset + (int)(((s32)raw * hum_cal.scale) >> 16);
    return 0;
}

int eeprom_read(u16 addr, u8 *buf, size_t n) {
    u8 a[2] = {(u8)(addr >> 8), (u8)addr};
    if (i2c_write(SENSOR_BUS, EEPROM_ADDR, a, 2)) return -1;
    return i2c_read(SENSOR_BUS, EEPROM_ADDR, buf, n);
}

int eeprom_write(u16 addr, const u8 *buf, size_t n) {
    u8 page[34];
    while (n) {
        size_t chunk = 32 - (addr & 31);
        if (chunk > n) chunk = n;
        page[0] = (u8)(addr >> 8);
        page[1] = (u8)addr;
        memcpy(page + 2, buf, chunk);
        if (i2c_write(SENSOR_BUS, EEPROM_ADDR, page, chunk + 2)) return -1;
        delay_ms(5);
        addr += chunk;
        buf += chunk;
        n -= chunk;
    }
    return 0;
}

static u8 bcd_to_bin(u8 v) { return (u8)((v >> 4) * 10 + (v & 15)); }
static u8 bin_to_bcd(u8 v) { return (u8)((v / 10) << 4 | v % 10); }

int rtc_get(u32 *seconds) {
    u8 r[3];
    u8 reg = 0;
    if (i2c_write(SENSOR_BUS, RTC_ADDR, &reg, 1) || i2c_read(SENSOR_BUS, RTC_ADDR, r, 3)) return -1;
    *seconds = bcd_to_bin(r[0] & 0x7f) + 60 * bcd_to_bin(r[1]) + 3600 * bcd_to_bin(r[2] & 0x3f);
    return 0;
}

int rtc_set(u32 seconds) {
    u8 msg[4] = {0, bin_to_bcd(seconds % 60), bin_to_bcd(seconds / 60 % 60),
                 bin_to_bcd(seconds / 3600 % 24)};
    return i2c_write(SENSOR_BUS, RTC_ADDR, msg, 4);
}
