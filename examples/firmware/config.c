/* Persistent settings: a key table kept in the EEPROM with a CRC. */
#include "fw.h"

#define CONFIG_MAGIC 0x43464731u
#define CONFIG_EEPROM_ADDR 0x0100

struct config_key {
    const char *name;
    u32 default_value;
    u32 min, max;
    const char *help;
};

static const struct config_key config_keys[] = {
    {"baud", 115200, 1200, 921600, "console baud rate"},
    {"loglevel", 1, 0, 4, "0=debug .. 4=fatal"},
    {"led", 1, 0, 1, "heartbeat LED"},
    {"sample_ms", 1000, 10, 60000, "sensor sample period"},
    {"watchdog", 1, 0, 1, "hardware watchdog"},
    {"flash_wp", 1, 0, 1, "flash write protect"},
    {"i2c_khz", 100, 10, 400, "I2C bus clock"},
    {"spi_mhz", 25, 1, 50, "SPI bus clock"},
    {"node_id", 1, 1, 254, "address on the bus"},
    {"retries", 3, 0, 10, "protocol retries"},
};

#define CONFIG_COUNT (sizeof config_keys / sizeof config_keys[0])

static struct {
    u32 magic;
    u32 values[CONFIG_COUNT];
    u32 crc;
} config_image;

static int config_dirty;

static int config_index(const char *key) {
    for (unsigned i = 0; i < CONFIG_COUNT; ++i)
        if (!strcasecmp(config_keys[i].name, key)) return (int)i;
    return -1;
}

const char *config_key(int i) { return i >= 0 && i < (int)CONFIG_COUNT ? config_keys[i].name : NULL; }

void config_defaults(void) {
    config_image.magic = CONFIG_MAGIC;
    for (unsigned i = 0; i < CONFIG_COUNT; ++i) config_image.values[i] = config_keys[i].default_value;
    config_dirty = 1;
}

int config_load(void) {
    if (eeprom_read(CONFIG_EEPROM_ADDR, (u8 *)&config_image, sizeof config_image) ||
        config_image.magic != CONFIG_MAGIC ||
        crc32(0, &config_image, sizeof config_image - 4) != config_image.crc) {
        log_msg(2, "config: using defaults\n");
        config_defaults();
        return -1;
    }
    config_dirty = 0;
    return 0;
}

int config_save(void) {
    if (!config_dirty) return 0;
    config_image.crc = crc32(0, &config_image, sizeof config_image - 4);
    if (eeprom_write(CONFIG_EEPROM_ADDR, (const u8 *)&config_image, sizeof config_image)) return -1;
    config_dirty = 0;
    return 0;
}

int config_get(const char *key, u32 *value) {
    int i = config_index(key);
    if (i < 0) return -1;
    *value = config_image.values[i];
    return 0;
}

int config_set(const char *key, u32 value) {
    int i = config_index(key);
    if (i < 0) return -1;
    if (value < config_keys[i].min || value > config_keys[i].max) return -2;
    config_image.values[i] = value;
    config_dirty = 1;
    return 0;
}

void config_print(void) {
    for (unsigned i = 0; i < CONFIG_COUNT; ++i)
        printf("%-10s %8u  %s\n", config_keys[i].name, config_image.values[i], config_keys[i].help);
    if (config_dirty) printf("(not saved)\n");
}
