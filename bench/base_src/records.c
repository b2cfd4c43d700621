/* A small records tool: reads "name,city,score" lines from a file (or writes
   a sample one first), sorts them with qsort by score or by name, prints a
   table and per-city totals, and writes a report file. */
#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct record {
    char name[32];
    char city[24];
    double score;
};

struct total {
    char city[24];
    int count;
    double sum;
};

static int by_score(const void *a, const void *b)
{
    const struct record *x = a, *y = b;
    return (x->score < y->score) - (x->score > y->score);
}

static int by_name(const void *a, const void *b)
{
    return strcasecmp(((const struct record *)a)->name, ((const struct record *)b)->name);
}

static char *trim(char *s)
{
    while (isspace((unsigned char)*s))
        s++;
    char *end = s + strlen(s);
    while (end > s && isspace((unsigned char)end[-1]))
        *--end = '\0';
    return s;
}

static int parse(char *line, struct record *r)
{
    char *save, *name = strtok_r(line, ",", &save);
    char *city = strtok_r(NULL, ",", &save);
    char *score = strtok_r(NULL, ",", &save);
    if (!name || !city || !score)
        return -1;
    snprintf(r->name, sizeof r->name, "%s", trim(name));
    strncpy(r->city, trim(city), sizeof r->city - 1);
    r->city[sizeof r->city - 1] = '\0';
    r->score = strtod(score, NULL);
    return 0;
}

static void write_sample(const char *path)
{
    static const char *names[] = {"Ada", "Grace", "Linus", "Ken", "Barbara", "Dennis", "Edsger"};
    static const char *cities[] = {"Paris", "Oslo", "Lima", "Kyoto"};
    FILE *f = fopen(path, "w");
    if (!f)
        return;
    for (int i = 0; i < 40; i++)
        fprintf(f, "%s %d, %s, %.2f\n", names[i % 7], i, cities[i % 4], (i * 37 % 101) / 3.0);
    fclose(f);
}

int main(int argc, char **argv)
{
    const char *path = argc > 1 ? argv[1] : "records.csv";
    int sort_names = argc > 2 && strcmp(argv[2], "--name") == 0;
    if (argc < 2)
        write_sample(path);
    FILE *in = fopen(path, "r");
    if (!in) {
        fprintf(stderr, "%s: %s\n", path, strerror(errno));
        return 1;
    }
    size_t n = 0, cap = 16;
    struct record *recs = malloc(cap * sizeof *recs);
    char line[256];
    while (recs && fgets(line, sizeof line, in)) {
        if (line[0] == '#' || strchr(line, ',') == NULL)
            continue;
        if (n == cap)
            recs = realloc(recs, (cap *= 2) * sizeof *recs);
        if (recs && parse(line, &recs[n]) == 0)
            n++;
    }
    fclose(in);
    if (!recs)
        return 1;
    qsort(recs, n, sizeof *recs, sort_names ? by_name : by_score);

    struct total totals[16];
    int cities = 0;
    printf("%-4s %-20s %-10s %8s\n", "#", "name", "city", "score");
    for (size_t i = 0; i < n; i++) {
        printf("%-4zu %-20s %-10s %8.2f\n", i + 1, recs[i].name, recs[i].city, recs[i].score);
        int c = 0;
        while (c < cities && strcmp(totals[c].city, recs[i].city) != 0)
            c++;
        if (c == cities && cities < 16) {
            memset(&totals[c], 0, sizeof totals[c]);
            strcpy(totals[cities++].city, recs[i].city);
        }
        if (c < cities) {
            totals[c].count++;
            totals[c].sum += recs[i].score;
        }
    }
    char out[300];
    snprintf(out, sizeof out, "%s.report", path);
    FILE *rep = fopen(out, "w");
    for (int c = 0; c < cities; c++) {
        printf("%s: %d records, mean %.3f\n", totals[c].city, totals[c].count, totals[c].sum / totals[c].count);
        if (rep)
            fprintf(rep, "%s\t%d\t%g\n", totals[c].city, totals[c].count, totals[c].sum);
    }
    if (rep)
        fclose(rep);
    free(recs);
    return 0;
}
