/* Integer and fixed-point helpers (no FPU on the board). */
#include "fw.h"

typedef s32 q16; /* 16.16 fixed point */

/* Quarter-wave sine table, 65 entries of Q15 from 0 to 90 degrees. */
static const u16 sine_quarter[65] = {
    0,     804,   1608,  2410,  3212,  4011,  4808,  5602,  6393,  7179,  7962,  8739,  9512,
    10278, 11039, 11793, 12539, 13279, 14010, 14732, 15446, 16151, 16846, 17530, 18204, 18868,
    19519, 20159, 20787, 21403, 22005, 22594, 23170, 23731, 24279, 24811, 25329, 25832, 26319,
    26790, 27245, 27683, 28105, 28510, 28898, 29268, 29621, 29956, 30273, 30571, 30852, 31113,
    31356, 31580, 31785, 31971, 32137, 32285, 32412, 32521, 32609, 32678, 32728, 32757, 32767,
};

u32 isqrt(u32 v) {
    u32 root = 0, bit = 1u << 30;
    while (bit > v) bit >>= 2;
    while (bit) {
        if (v >= root + bit) {
            v -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
        bit >>= 2;
    }
    return root;
}

q16 q16_mul(q16 a, q16 b) { return (q16)(((long long)a * b) >> 16); }

/* 16.16 division by restoring long division (no 64-bit divide helper). */
q16 q16_div(q16 a, q16 b) {
    int negative = (a < 0) != (b < 0);
    u32 n = (u32)(a < 0 ? -a : a), d = (u32)(b < 0 ? -b : b);
    u32 quotient, remainder;
    if (!b) return a < 0 ? (q16)0x80000000 : 0x7fffffff;
    quotient = n / d;
    remainder = n % d;
    for (int i = 0; i < 16; ++i) {
        remainder <<= 1;
        quotient <<= 1;
        if (remainder >= d) {
            remainder -= d;
            quotient |= 1;
        }
    }
    return negative ? -(q16)quotient : (q16)quotient;
}

q16 q16_from_int(int v) { return (q16)v << 16; }
int q16_to_int(q16 v) { return (v + 0x8000) >> 16; }

/* Sine of an angle in 1/256 turns, Q15. */
int sin_q15(u32 angle) {
    u32 quadrant = (angle >> 6) & 3, index = angle & 63;
    int v;
    switch (quadrant) {
    case 0: v = sine_quarter[index]; break;
    case 1: v = sine_quarter[64 - index]; break;
    case 2: v = -sine_quarter[index]; break;
    default: v = -sine_quarter[64 - index]; break;
    }
    return v;
}

int cos_q15(u32 angle) { return sin_q15(angle + 64); }

int popcount32(u32 v) {
    v = v - ((v >> 1) & 0x55555555);
    v = (v & 0x33333333) + ((v >> 2) & 0x33333333);
    return (int)((((v + (v >> 4)) & 0x0f0f0f0f) * 0x01010101) >> 24);
}

int clz32(u32 v) {
    int n = 0;
    if (!v) return 32;
    while (!(v & 0x80000000u)) v <<= 1, ++n;
    return n;
}

int ctz32(u32 v) {
    int n = 0;
    if (!v) return 32;
    while (!(v & 1)) v >>= 1, ++n;
    return n;
}

u32 bswap32(u32 v) { return v >> 24 | (v >> 8 & 0xff00) | (v << 8 & 0xff0000) | v << 24; }
u16 bswap16(u16 v) { return (u16)(v >> 8 | v << 8); }
u32 rotl32(u32 v, int n) { return v << (n & 31) | v >> ((32 - n) & 31); }
int ilog2(u32 v) { return 31 - clz32(v); }
u32 round_up_pow2(u32 v) { return v <= 1 ? 1 : 1u << (32 - clz32(v - 1)); }
int abs_int(int v) { return v < 0 ? -v : v; }
int clamp_int(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

u32 gcd(u32 a, u32 b) {
    while (b) {
        u32 t = a % b;
        a = b;
        b = t;
    }
    return a;
}

/* Park-Miller minimal standard generator. */
static u32 random_state = 1;

void srand32(u32 seed) { random_state = seed ? seed : 1; }

u32 rand32(void) {
    u32 hi = random_state / 127773, lo = random_state % 127773;
    s32 t = (s32)(16807 * lo) - (s32)(2836 * hi);
    random_state = t > 0 ? (u32)t : (u32)(t + 0x7fffffff);
    return random_state;
}

/* Exponential moving average with a shift as weight. */
int ema_update(int *state, int sample, int shift) {
    *state += (sample - *state) >> shift;
    return *state;
}

/* Linear interpolation in a table of (x, y) points sorted by x. */
int interpolate(const s32 (*points)[2], int count, int x) {
    if (x <= points[0][0]) return points[0][1];
    for (int i = 1; i < count; ++i) {
        if (x <= points[i][0]) {
            s32 x0 = points[i - 1][0], y0 = points[i - 1][1];
            s32 x1 = points[i][0], y1 = points[i][1];
            return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
        }
    }
    return points[count - 1][1];
}

static const s32 ntc_curve[][2] = {
    {200, 12500}, {450, 8500}, {900, 5000}, {1500, 2500}, {2300, 0}, {3100, -2000}, {3800, -4000},
};

int ntc_to_centi(int adc) { return interpolate(ntc_curve, ARRAY_SIZE(ntc_curve), adc); }
