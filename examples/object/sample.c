/* A small word-statistics module: a few functions that use globals, a
   string table and calls, to show how pelorin lists an object file. */
extern int printf(const char *format, ...);
extern unsigned int strlen(const char *text);

struct word_stats {
    int words;
    int letters;
    int longest;
};

struct word_stats stats;                 /* .bss */
int report_count = 0;                    /* .bss */
int minimum_length = 3;                  /* .data */
static const char *labels[] = {          /* pointers to strings */
    "words", "letters", "longest",
};

static int is_letter(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void count_word(const char *word)
{
    int length = 0;
    while (is_letter(word[length]))
        length++;
    if (length < minimum_length)
        return;
    stats.words++;
    stats.letters += length;
    if (length > stats.longest)
        stats.longest = length;
}

void count_text(const char *text)
{
    while (*text) {
        count_word(text);
        while (is_letter(*text))
            text++;
        while (*text && !is_letter(*text))
            text++;
    }
}

void print_stats(void)
{
    report_count++;
    printf("%s: %d\n", labels[0], stats.words);
    printf("%s: %d\n", labels[1], stats.letters);
    printf("%s: %d (of %d chars)\n", labels[2], stats.longest, (int)strlen(labels[2]));
}
