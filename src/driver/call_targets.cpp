#include "driver/call_targets.h"

std::array<call_target, call_target_capacity> call_targets{};
int call_target_count = 0;

void record_call_target(uint32_t) {}
void link_call_targets() {}
void sort_call_targets() {}
