/* A small shared library: an exported counter and table, two functions
   that call the C library. */
#include <stdio.h>
#include <string.h>
#include "demo.h"

int demo_counter = 3;
const char *const demo_names[] = {"zero", "one", "two", "three"};

int demo_add(int a, int b)
{
    return a + b + demo_counter;
}

void demo_greet(const char *who)
{
    printf("hello, %s (%u)\n", who, (unsigned)strlen(who));
    puts(demo_names[demo_counter & 3]);
    demo_counter++;
}
