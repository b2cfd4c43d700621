#include "util/version.h"

#include "util/platform.h"
#include "util/zo.h"

namespace {

// Made at the first call; the same text for the whole run.
char banner[64];

} // namespace

const char* version_banner() {
    if (banner[0] == 0) zo_snprintf(banner, sizeof banner, "%s / %s", platform_label(), __DATE__);
    return banner;
}
