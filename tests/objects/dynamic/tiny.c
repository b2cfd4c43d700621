/* A tiny statically linked PIC program: no C library, its own system
   calls. Its functions are called through the GOT, and its strings and its
   table are reached through the GOT's page entries. */
#define SYS_exit 4001
#define SYS_write 4004

static const char *const words[] = {"alpha\n", "beta\n", "gamma\n"};
int calls;

long tiny_write(int fd, const char *s, unsigned long n)
{
    register long v0 __asm__("$2") = SYS_write;
    register long a0 __asm__("$4") = fd;
    register const char *a1 __asm__("$5") = s;
    register unsigned long a2 __asm__("$6") = n;
    register long a3 __asm__("$7");
    __asm__ volatile("syscall" : "+r"(v0), "=r"(a3) : "r"(a0), "r"(a1), "r"(a2)
                     : "$1", "$3", "$8", "$9", "$10", "$11", "$12", "$13", "$14",
                       "$15", "$24", "$25", "hi", "lo", "memory");
    calls++;
    return a3 ? -v0 : v0;
}

void tiny_exit(int status)
{
    register long v0 __asm__("$2") = SYS_exit;
    register long a0 __asm__("$4") = status;
    __asm__ volatile("syscall" : "+r"(v0) : "r"(a0) : "memory");
    for (;;)
        ;
}

unsigned long tiny_len(const char *s)
{
    unsigned long n = 0;
    while (s[n])
        n++;
    return n;
}

int main(void)
{
    int i;
    tiny_write(1, "tiny static\n", 12);
    for (i = 0; i < 3; i++)
        if (tiny_write(1, words[i], tiny_len(words[i])) < 0)
            tiny_write(2, "tiny: write failed\n", 19);
    return calls >= 4 ? 0 : 1;
}
