/* The DSP ASE (Release 2) in C, compiled with -mdspr2: saturating byte and
 * halfword arithmetic through the compiler's builtins, and the indexed loads
 * (lbux, lwx) that the compiler chooses for plain array reads. */
typedef unsigned char v4u8 __attribute__((vector_size(4)));
typedef short v2i16 __attribute__((vector_size(4)));

/* Mixes two rows of 8-bit samples, four at a time, saturating at 255. */
void mix_rows(unsigned *out, const unsigned *a, const unsigned *b, int n)
{
    for (int i = 0; i < n; i++)
        out[i] = (unsigned)__builtin_mips_addu_s_qb((v4u8)a[i], (v4u8)b[i]);
}

/* Sums halfword pairs picked by an index table, saturating. */
int sum_pairs(const int *table, const unsigned char *index, int n)
{
    v2i16 acc = {0, 0};
    for (int i = 0; i < n; i++)
        acc = __builtin_mips_addq_s_ph(acc, (v2i16)table[index[i]]);
    return acc[0] + acc[1];
}

/* Plain indexed reads. */
int pick(const unsigned char *p, int i, int j) { return p[i] + p[j]; }
int word_at(const int *t, int i) { return t[i]; }
