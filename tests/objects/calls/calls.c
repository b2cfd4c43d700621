/* Calls of every kind that the call comments name: C library functions given
   string literals (system, popen, printf), a static helper called from
   several functions, a call through a function pointer, a tail call, a
   recursive function and a global array that two functions use. */
#include <stdio.h>
#include <stdlib.h>

int table[16];                        /* used by fill and sum */
static int (*volatile step)(int);     /* read at each call: never folded */

static __attribute__((noinline)) int clamp(int v)
{
    return v < 0 ? 0 : v > 15 ? 15 : v;
}

static __attribute__((noinline)) int twice(int v)
{
    return clamp(v) * 2;
}

int __attribute__((noinline)) fib(int n)
{
    return n < 2 ? n : fib(n - 1) + fib(n - 2);
}

void __attribute__((noinline)) fill(int n)
{
    for (int i = 0; i < 16; i++)
        table[i] = clamp(n + i);
}

int __attribute__((noinline)) sum(void)
{
    int s = 0;
    for (int i = 0; i < 16; i++)
        s += table[i];
    return s;
}

int __attribute__((noinline)) listing(void)
{
    return system("ls /tmp");
}

int __attribute__((noinline)) first_line(char *buf, int size)
{
    FILE *f = popen("uname -a", "r");
    if (!f)
        return -1;
    if (!fgets(buf, size, f))
        buf[0] = 0;
    return pclose(f);
}

int __attribute__((noinline)) apply(int v)
{
    return step(v) + clamp(v);
}

/* Its call of sum is its last act: -O2 makes it a jump. */
int __attribute__((noinline)) report(int n)
{
    printf("fib(%d) = %d, table %d\n", n, fib(n), table[n & 15]);
    return sum();
}

int main(int argc, char **argv)
{
    char buf[64];

    step = twice;
    fill(argc);
    if (argc > 2)
        listing();
    if (first_line(buf, sizeof buf) == 0)
        printf("%s: %s", argv[0], buf);
    return apply(argc) + report(argc + 5);
}
