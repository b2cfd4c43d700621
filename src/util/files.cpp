#include "util/zo.h"
