/* A small program with one symbol of every kind the loader places: functions
   in .text, initialised data, local and global bss, a common block, undefined
   externals, a string constant and calls through the global offset table. */
extern int printf(const char *format, ...);
extern int limit;

int counter = 7;                 /* .data, global */
const char *banner = "pelorin";  /* .data, a pointer to .rodata */
static int history[8];           /* .bss, local */
int totals[4] = {0};             /* .bss, global */
int shared_block[16];            /* common (compiled with -fcommon) */

static int scale(int x) { return x * counter + limit; }

int record(int value)
{
    history[value & 7] = value;
    totals[0] += scale(value);
    shared_block[1] = value;
    return totals[0] + history[(value + 1) & 7];
}

void report(void)
{
    printf("%s: %d\n", banner, record(counter));
}
