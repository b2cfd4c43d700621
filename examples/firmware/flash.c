/* SPI NOR flash: identification table, read, program, erase. */
#include "fw.h"

#define FLASH_BUS 0
#define FLASH_CS 0
#define CMD_READ 0x03
#define CMD_PROGRAM 0x02
#define CMD_WREN 0x06
#define CMD_RDSR 0x05
#define CMD_ERASE_4K 0x20
#define CMD_RDID 0x9f
#define PAGE_SIZE 256

struct flash_part {
    u32 id;
    u32 size;
    const char *name;
};

static const struct flash_part flash_parts[] = {
    {0xef4016, 4u << 20, "W25Q32"},   {0xef4017, 8u << 20, "W25Q64"},
    {0xef4018, 16u << 20, "W25Q128"}, {0xc22016, 4u << 20, "MX25L3205"},
    {0xc22017, 8u << 20, "MX25L6405"}, {0x202016, 4u << 20, "M25P32"},
    {0x1f4701, 4u << 20, "AT25DF321"}, {0, 0, NULL},
};

static const struct flash_part *flash_found;
static u32 flash_ops;

static void flash_command(u8 cmd, u32 addr, int with_addr) {
    spi_select(FLASH_BUS, FLASH_CS);
    spi_transfer(FLASH_BUS, cmd);
    if (with_addr) {
        spi_transfer(FLASH_BUS, (u8)(addr >> 16));
        spi_transfer(FLASH_BUS, (u8)(addr >> 8));
        spi_transfer(FLASH_BUS, (u8)addr);
    }
    ++flash_ops;
}

u32 flash_read_id(void) {
    u8 id[3];
    flash_command(CMD_RDID, 0, 0);
    spi_read_block(FLASH_BUS, id, 3);
    spi_deselect(FLASH_BUS);
    return (u32)id[0] << 16 | id[1] << 8 | id[2];
}

const char *flash_part_name(u32 id) {
    for (const struct flash_part *p = flash_parts; p->name; ++p)
        if (p->id == id) return p->name;
    return "unknown";
}

void flash_init(void) {
    u32 id;
    spi_init(FLASH_BUS, 25000000);
    id = flash_read_id();
    for (const struct flash_part *p = flash_parts; p->name; ++p)
        if (p->id == id) flash_found = p;
    log_msg(1, "flash: %06x %s\n", id, flash_part_name(id));
}

int flash_wait_ready(void) {
    for (u32 spin = 0; spin < 1000000; ++spin) {
        u8 sr;
        flash_command(CMD_RDSR, 0, 0);
        sr = spi_transfer(FLASH_BUS, 0);
        spi_deselect(FLASH_BUS);
        if (!(sr & 1)) return 0;
    }
    return -1;
}

int flash_read(u32 addr, void *buf, size_t n) {
    if (!flash_found || addr + n > flash_found->size) return -1;
    flash_command(CMD_READ, addr, 1);
    spi_read_block(FLASH_BUS, buf, n);
    spi_deselect(FLASH_BUS);
    return 0;
}

static int flash_write_enable(void) {
    flash_command(CMD_WREN, 0, 0);
    spi_deselect(FLASH_BUS);
    return 0;
}

int flash_write(u32 addr, const void *buf, size_t n) {
    const u8 *p = buf;
    if (!flash_found || addr + n > flash_found->size) return -1;
    while (n) {
        size_t chunk = PAGE_SIZE - (addr & (PAGE_SIZE - 1));
        if (chunk > n) chunk = n;
        flash_write_enable();
        flash_command(CMD_PROGRAM, addr, 1);
        spi_write_block(FLASH_BUS, p, chunk);
        spi_deselect(FLASH_BUS);
        if (flash_wait_ready()) return -1;
        addr += chunk;
        p += chunk;
        n -= chunk;
    }
    return 0;
}

int flash_erase_sector(u32 addr) {
    flash_write_enable();
    flash_command(CMD_ERASE_4K, addr & ~0xfffu, 1);
    spi_deselect(FLASH_BUS);
    return flash_wait_ready();
}

int flash_verify(u32 addr, const void *buf, size_t n) {
    u8 tmp[32];
    const u8 *p = buf;
    while (n) {
        size_t chunk = n > sizeof tmp ? sizeof tmp : n;
        if (flash_read(addr, tmp, chunk) || memcmp(tmp, p, chunk)) return -1;
        addr += chunk;
        p += chunk;
        n -= chunk;
    }
    return 0;
}
