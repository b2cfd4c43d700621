/* Error codes of a storage driver: a table of their names, a switch that
   turns a controller status into an error code (dense enough for a jump
   table), counters per code in .data, and a log through extern routines. */
extern void log_write(int level, const char *fmt, ...);
extern void *memcpy(void *dst, const void *src, unsigned n);
extern unsigned timer_read(void);

enum error {
    E_OK, E_TIMEOUT, E_CRC, E_NOMEDIA, E_WRPROT, E_BADBLOCK, E_RANGE,
    E_BUSY, E_PARITY, E_ALIGN, E_RESET, E_UNKNOWN, E_COUNT
};

const char *const error_names[E_COUNT] = {
    "ok", "timeout", "checksum mismatch", "no medium", "write protected",
    "bad block", "address out of range", "device busy", "parity error",
    "misaligned transfer", "device reset", "unknown error",
};

static const char *const level_names[] = { "debug", "info", "warn", "error" };

/* .rodata: the retry budget per code. */
static const unsigned char retry_budget[E_COUNT] = {
    0, 5, 3, 0, 0, 1, 0, 20, 3, 0, 2, 1,
};

unsigned error_counts[E_COUNT] = { 0 };      /* .bss (zero) */
unsigned error_first_seen[E_COUNT] = { 1 };  /* .data */
unsigned short error_last;                   /* .sbss under -G 8 */
long long error_total = 0x100000000LL;       /* .sdata under -G 8 */
static struct {
    unsigned when;
    int code;
    unsigned status;
} history[16];                               /* .bss */
static int history_next;                     /* .sbss under -G 8 */

const char *error_name(int code)
{
    if ((unsigned)code >= E_COUNT)
        code = E_UNKNOWN;
    return error_names[code];
}

static void note(int code, unsigned status)
{
    int i = history_next;
    history[i].when = timer_read();
    history[i].code = code;
    history[i].status = status;
    history_next = (i + 1) & 15;
    error_counts[code]++;
    error_total++;
    error_last = (unsigned short)code;
    if (error_first_seen[code] == 0)
        error_first_seen[code] = history[i].when;
}

int error_from_status(unsigned status)
{
    int code;
    switch (status & 0x1f) {
    case 0:
        return E_OK;
    case 1:
        log_write(1, "status %x: command timed out\n", status);
        code = E_TIMEOUT;
        break;
    case 2:
        log_write(2, "status %x: crc\n", status);
        code = E_CRC;
        break;
    case 3:
        code = (status & 0x100) ? E_NOMEDIA : E_RESET;
        break;
    case 4:
        log_write(3, "write to a protected medium\n");
        code = E_WRPROT;
        break;
    case 5:
        code = E_BADBLOCK;
        log_write(2, "bad block at %x\n", status >> 8);
        break;
    case 6:
        code = E_RANGE;
        break;
    case 7:
        code = E_BUSY;
        log_write(0, "busy\n");
        break;
    case 8:
        code = (status >> 16) ? E_PARITY : E_ALIGN;
        log_write(1, "parity/alignment %x\n", status >> 16);
        break;
    case 9:
        code = E_ALIGN;
        break;
    case 10:
        code = E_RESET;
        log_write(3, "device reset\n");
        break;
    default:
        code = E_UNKNOWN;
        break;
    }
    note(code, status);
    return code;
}

int error_retries(int code)
{
    return (unsigned)code < E_COUNT ? retry_budget[code] : 0;
}

void error_report(int level)
{
    if ((unsigned)level > 3)
        level = 3;
    for (int i = 0; i < E_COUNT; i++)
        if (error_counts[i])
            log_write(level, "%s: %s x%u\n", level_names[level],
                      error_names[i], error_counts[i]);
}

void error_snapshot(void *dst)
{
    memcpy(dst, history, sizeof history);
}
