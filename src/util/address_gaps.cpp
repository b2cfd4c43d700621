#include "util/address_gaps.h"

gap_list listed_gaps{};

void reset_address_gaps() {
    listed_gaps = gap_list{};
}
