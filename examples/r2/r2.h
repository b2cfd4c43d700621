/* Shared declarations of the R2 sample. */
#ifndef R2_H
#define R2_H
extern const float window[8];
extern const double poly_coef[5];
extern float samples[16];
extern double history[8];
float vec_dot(const float *a, const float *b, int n);
double poly_cos(double x);
float vec_len(float x, float y);
double dist(double x0, double y0, double x1, double y1);
int to_q16(float x);
float from_q16(int q);
float clampf(float x, float lo, float hi);
int count_above(const double *v, int n, double t);
int find_over(const float *v, int n, float limit);
float axpy_s(float a, float x, float y);
void filter_step(float gain);
void fpu_set_rounding(unsigned mode);
unsigned bswap32(unsigned x);
unsigned rotl(unsigned x, unsigned n);
unsigned log2u(unsigned x);
void cpu_idle(void);
#endif
