/* Switches as C programs have them, most compiled to a table of code
   addresses: a small interpreter (12 cases), a weekday (7), a colour (5),
   cases that call functions, a default between the cases, a nested switch,
   one over the characters of a string, and a sparse one that gcc makes a
   tree of comparisons. */
#include <stdio.h>

int acc;
static int (*volatile hook)(int);     /* read at each call: never folded */

static __attribute__((noinline)) int trace(const char *what, int v)
{
    return printf("%s %d\n", what, v) + v;
}

int __attribute__((noinline)) run(const unsigned char *code, int n)
{
    int sp = 0, stack[16] = {0};
    for (int pc = 0; pc < n; pc++) {
        switch (code[pc]) {
        case 0: stack[sp++ & 15] = code[++pc]; break;
        case 1: sp--; stack[(sp - 1) & 15] += stack[sp & 15]; break;
        case 2: sp--; stack[(sp - 1) & 15] -= stack[sp & 15]; break;
        case 3: sp--; stack[(sp - 1) & 15] *= stack[sp & 15]; break;
        case 4: stack[(sp - 1) & 15] = -stack[(sp - 1) & 15]; break;
        case 5: stack[sp & 15] = stack[(sp - 1) & 15]; sp++; break;
        case 6: sp--; break;
        case 7: trace("top", stack[(sp - 1) & 15]); break;
        case 8: if (stack[(sp - 1) & 15] == 0) pc += code[pc + 1]; pc++; break;
        case 9: pc -= code[pc + 1] + 1; break;
        case 10: acc = stack[--sp & 15]; break;
        case 11: stack[sp++ & 15] = acc; break;
        default: return -1;
        }
    }
    return sp ? stack[(sp - 1) & 15] : 0;
}

const char *__attribute__((noinline)) weekday(int d)
{
    switch (d) {
    case 1: trace("mon", d); return "Monday";
    case 2: return "Tuesday";
    case 3: trace("wed", d); return "Wednesday";
    case 4: return "Thursday";
    case 5: puts("almost"); return "Friday";
    case 6: return hook ? "Saturday!" : "Saturday";
    case 7: return "Sunday";
    }
    return "?";
}

int __attribute__((noinline)) colour(int c, int v)
{
    switch (c) {
    case 0: return trace("red", v);
    case 1: return v * 3 + 1;
    case 2: return hook(v);
    case 3: return trace("blue", v >> 2);
    case 4: return v ^ 0x55;
    }
    return 0;
}

int __attribute__((noinline)) mode(int m, int v)
{
    switch (m) {
    case 2: v += 7; break;
    case 3: v <<= 2; break;
    default: v = trace("mode", v); /* fall through */
    case 4: v -= acc; break;
    case 5: v = hook(v); break;
    case 6: v |= 1; break;
    }
    return v;
}

int __attribute__((noinline)) nested(int kind, int sub)
{
    switch (kind) {
    case 0: return sub;
    case 1:
        switch (sub) {
        case 0: return trace("1.0", sub);
        case 1: return acc + 4;
        case 2: return acc * sub;
        case 3: return hook(acc);
        case 4: return trace("1.4", acc);
        case 5: return -acc;
        }
        return 11;
    case 2: return trace("2", sub);
    case 3: return sub * sub;
    case 4: return hook(sub) + 2;
    }
    return -1;
}

int __attribute__((noinline)) count_classes(const char *s)
{
    int n = 0;
    for (; *s; s++)
        switch (*s) {
        case 'a': case 'e': case 'i': case 'o': case 'u': n += 1; break;
        case 'b': case 'c': case 'd': n += 10; break;
        case 'f': acc++; break;
        case 'g': case 'h': n += trace("gh", n); break;
        case 'k': n += 100; break;
        case 'l': case 'm': n -= 3; break;
        }
    return n;
}

int __attribute__((noinline)) port(int p)
{
    switch (p) {
    case 21: return trace("ftp", p);
    case 22: return 2;
    case 80: return trace("http", p);
    case 443: return 4;
    case 8080: return hook(p);
    }
    return 0;
}

int main(int argc, char **argv)
{
    static const unsigned char prog[] = {0, 6, 0, 7, 3, 7, 10, 11, 4, 7};
    hook = argc > 1 ? putchar : 0;
    acc = run(prog, sizeof prog) + mode(argc, argc) + nested(argc, argc + 1);
    puts(weekday(argc + 2));
    return colour(argc, acc) + count_classes(argv[0]) + port(argc * 21);
}
