#include "object/object_symbols.h"
