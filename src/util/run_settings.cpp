#include "util/run_settings.h"

run_settings settings{};
