// Temporary minimal clock; replaced by the full utility library.
#include "util/zo.h"

int64_t zo_milsec() { return 0; }
char* zo_ctime(time_t when) {
    if (when == 0) when = time(nullptr);
    char* text = ctime(&when);
    text[24] = 0;
    return text;
}
