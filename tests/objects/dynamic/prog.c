/* A small program that uses the C library and libdemo: calls to imported
   functions, a call through a pointer, imported data (stdout, environ,
   demo_counter), string literals, a global array and a switch. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "demo.h"

extern char **environ;
int counts[8];
void (*hook)(const char *) = demo_greet;

static int pick(int k, int v)
{
    switch (k) {
    case 0: return v + 11;
    case 1: return v * 3;
    case 2: return v - 7;
    case 3: return v << 4;
    case 4: return v ^ 0x55;
    case 5: return v / 5;
    default: return -1;
    }
}

int main(int argc, char **argv)
{
    char buf[24];
    size_t n = strlen(argv[0]);

    if (n >= sizeof buf)
        n = sizeof buf - 1;
    memcpy(buf, argv[0], n);
    buf[n] = 0;
    puts("pelorin dynamic demo");
    counts[argc & 7] += pick(argc, (int)n);
    printf("%s: %d\n", buf, demo_add(argc, counts[argc & 7]));
    fputs(environ[0] ? environ[0] : "(no environment)", stdout);
    demo_counter += 2;
    hook("via pointer");
    exit(demo_counter);
}
