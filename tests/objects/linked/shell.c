/* A serial console's command shell: a table of commands with their handlers
   (static functions, through pointers), help strings, a line editor whose
   escape handling is a switch, and calls to the board's console routines. */
extern void uart_putc(int c);
extern int uart_getc(void);
extern void uart_puts(const char *s);
extern void uart_puthex(unsigned value, int digits);
extern void board_reset(void) __attribute__((noreturn));
extern unsigned char console_scratch[];

struct command {
    const char *name;
    int (*handler)(int argc, char **argv);
    const char *help;
};

static char line[128];               /* .bss */
static char *args[8];                /* .bss */
static int cursor;                   /* .sbss under -G 8 */
int shell_echo = 1;                  /* .sdata under -G 8 */
int shell_history_depth = 16;        /* .sdata under -G 8 */
const char shell_prompt[] = "pelorin> ";

static unsigned parse_hex(const char *s)
{
    unsigned v = 0;
    for (; *s; s++) {
        int c = *s;
        if (c >= '0' && c <= '9')
            v = (v << 4) | (unsigned)(c - '0');
        else if (c >= 'a' && c <= 'f')
            v = (v << 4) | (unsigned)(c - 'a' + 10);
        else
            break;
    }
    return v;
}

static int streq(const char *a, const char *b)
{
    while (*a && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}

static int cmd_help(int argc, char **argv);

static int cmd_peek(int argc, char **argv)
{
    if (argc < 2)
        return -1;
    unsigned addr = parse_hex(argv[1]);
    uart_puthex(addr, 8);
    uart_puts(": ");
    uart_puthex(*(volatile unsigned *)addr, 8);
    uart_putc('\n');
    return 0;
}

static int cmd_poke(int argc, char **argv)
{
    if (argc < 3)
        return -1;
    *(volatile unsigned *)parse_hex(argv[1]) = parse_hex(argv[2]);
    return 0;
}

static int cmd_echo(int argc, char **argv)
{
    if (argc > 1)
        shell_echo = streq(argv[1], "on");
    uart_puts(shell_echo ? "echo on\n" : "echo off\n");
    return 0;
}

static int cmd_reset(int argc, char **argv)
{
    (void)argc;
    (void)argv;
    uart_puts("resetting...\n");
    board_reset();
}

static int cmd_dump(int argc, char **argv)
{
    unsigned n = argc > 1 ? parse_hex(argv[1]) : 16;
    for (unsigned i = 0; i < n && i < 64; i++) {
        if ((i & 15) == 0)
            uart_putc('\n');
        uart_puthex(console_scratch[i], 2);
        uart_putc(' ');
    }
    uart_putc('\n');
    return 0;
}

static const struct command commands[] = {
    { "help",  cmd_help,  "list the commands" },
    { "peek",  cmd_peek,  "peek ADDR: read a word" },
    { "poke",  cmd_poke,  "poke ADDR VALUE: write a word" },
    { "echo",  cmd_echo,  "echo on|off: local echo" },
    { "dump",  cmd_dump,  "dump [N]: the scratch buffer" },
    { "reset", cmd_reset, "restart the board" },
};

#define NCOMMANDS (sizeof commands / sizeof commands[0])

static int cmd_help(int argc, char **argv)
{
    (void)argc;
    (void)argv;
    for (unsigned i = 0; i < NCOMMANDS; i++) {
        uart_puts(commands[i].name);
        uart_puts("  ");
        uart_puts(commands[i].help);
        uart_putc('\n');
    }
    return 0;
}

static int split(char *s)
{
    int n = 0;
    while (*s && n < 8) {
        while (*s == ' ')
            *s++ = 0;
        if (!*s)
            break;
        args[n++] = s;
        while (*s && *s != ' ')
            s++;
    }
    return n;
}

int shell_execute(char *text)
{
    int argc = split(text);
    if (argc == 0)
        return 0;
    for (unsigned i = 0; i < NCOMMANDS; i++)
        if (streq(args[0], commands[i].name))
            return commands[i].handler(argc, args);
    uart_puts("unknown command: ");
    uart_puts(args[0]);
    uart_putc('\n');
    return -1;
}

/* One key of the line editor; returns 1 when a line is complete. */
int shell_key(int c)
{
    switch (c) {
    case 1:   /* ^A: start of line */
        while (cursor > 0) {
            uart_putc('\b');
            cursor--;
        }
        break;
    case 3:   /* ^C: drop the line */
        uart_puts("^C\n");
        cursor = 0;
        line[0] = 0;
        break;
    case 4:   /* ^D */
        uart_puts("logout\n");
        return -1;
    case 8:   /* backspace */
    case 127:
        if (cursor > 0) {
            cursor--;
            uart_puts("\b \b");
        }
        break;
    case 9:   /* tab: complete nothing, ring */
        uart_putc(7);
        break;
    case 10:
    case 13:
        line[cursor] = 0;
        uart_putc('\n');
        cursor = 0;
        return 1;
    case 11:  /* ^K: kill to end */
        line[cursor] = 0;
        break;
    case 12:  /* ^L: redraw */
        uart_puts("\033[2J");
        uart_puts(shell_prompt);
        uart_puts(line);
        break;
    default:
        if (c >= ' ' && cursor < (int)sizeof line - 1) {
            line[cursor++] = (char)c;
            if (shell_echo)
                uart_putc(c);
        }
        break;
    }
    return 0;
}

void shell_run(void)
{
    for (;;) {
        uart_puts(shell_prompt);
        int r;
        while ((r = shell_key(uart_getc())) == 0)
            ;
        if (r < 0)
            return;
        shell_execute(line);
    }
}
