/* Floating-point routines for the R2 sample: single and double arithmetic,
 * square roots, conversions, comparisons and moves between GPRs and the FPU. */
#include "r2.h"

const float window[8] = { 0.0f, 0.125f, 0.375f, 0.625f, 0.875f, 1.0f, 0.5f, 0.25f };
const double poly_coef[5] = { 1.0, -0.5, 0.041666666666666664, -0.001388888888888889,
                              2.48015873015873e-05 };
float samples[16] = { 0.5f, -0.25f, 0.75f, -1.0f };
double history[8] = { 1.0 };

/* Dot product of two float vectors: indexed loads, mul.s and add.s. */
float vec_dot(const float *a, const float *b, int n)
{
    float s = 0.0f;
    for (int i = 0; i < n; i++)
        s += a[i] * window[i & 7] * b[i];
    return s;
}

/* Horner evaluation of a polynomial in x*x with double coefficients. */
double poly_cos(double x)
{
    double x2 = x * x, r = poly_coef[4];
    for (int i = 3; i >= 0; i--)
        r = r * x2 + poly_coef[i];
    return r;
}

/* Length of a 2-D vector in float and its double-precision distance. */
float vec_len(float x, float y) { return __builtin_sqrtf(x * x + y * y); }

float normalize(float x, float y)
{
    float l = vec_len(x, y);
    return l > 0.0f ? x / l : 0.0f;
}

double dist(double x0, double y0, double x1, double y1)
{
    double dx = x1 - x0, dy = y1 - y0;
    return __builtin_sqrt(dx * dx + dy * dy);
}

/* Fixed point (Q16) <-> float, with the division, truncation and rounding. */
int to_q16(float x) { return (int)(x * 65536.0f); }
float from_q16(int q) { return (float)q / 65536.0f; }
double mean_ratio(int num, int den, float scale) { return (double)num / (double)den * (double)scale; }
float narrow(double d) { return (float)d - (float)(int)d; }

/* Clamp with comparisons and branches on the FPU condition. */
float clampf(float x, float lo, float hi)
{
    if (x < lo)
        return lo;
    if (x > hi)
        return hi;
    return x;
}

/* Reciprocal by Newton iteration until the error is small. */
float recip(float a)
{
    float x = 1.0f, e;
    int i = 0;
    do {
        e = 1.0f - a * x;
        x = x + x * e;
    } while (__builtin_fabsf(e) >= 1e-7f && ++i < 20);
    return x;
}

/* Count of samples above a threshold, and the first one past a limit. */
int count_above(const double *v, int n, double t)
{
    int c = 0;
    for (int i = 0; i < n; i++)
        if (v[i] > t)
            c++;
    return c;
}

int find_over(const float *v, int n, float limit)
{
    for (int i = 0; i < n; i++)
        if (!(v[i] <= limit))
            return i;
    return -1;
}

/* Fused multiply-add steps (clang does not form madd.s itself). */
float axpy_s(float a, float x, float y)
{
    float r;
    __asm__("madd.s %0, %3, %1, %2" : "=f"(r) : "f"(a), "f"(x), "f"(y));
    return r;
}

double axpy_d(double a, double x, double y)
{
    double r, t;
    __asm__("msub.d %0, %3, %1, %2" : "=f"(t) : "f"(a), "f"(x), "f"(y));
    __asm__("nmadd.d %0, %3, %1, %2" : "=f"(r) : "f"(a), "f"(t), "f"(y));
    return r;
}

/* Filters the samples into the history: stores of floats and doubles. */
void filter_step(float gain)
{
    double acc = history[7];
    for (int i = 7; i > 0; i--)
        history[i] = history[i - 1];
    for (int i = 0; i < 16; i++) {
        float s = samples[i] * gain;
        samples[i] = s < 0.0f ? -s : s;
        acc = acc * 0.5 + (double)samples[i];
    }
    history[0] = acc;
}

/* Raw bit patterns of floats through the GPRs. */
unsigned float_bits(float f)
{
    union { float f; unsigned u; } v = { .f = f };
    return v.u;
}

float neg_abs(float f)
{
    union { float f; unsigned u; } v = { .f = f };
    v.u |= 0x80000000u;
    return v.f;
}

unsigned fpu_status(void)
{
    unsigned r;
    __asm__ volatile("cfc1 %0, $31" : "=r"(r));
    return r;
}

void fpu_set_rounding(unsigned mode)
{
    unsigned r = fpu_status();
    r = (r & ~3u) | (mode & 3u);
    __asm__ volatile("ctc1 %0, $31" : : "r"(r));
}
