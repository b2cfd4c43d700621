#include "symbols/symbol_table.h"

std::array<symbol_entry, symbol_capacity> symbol_table{};
int symbol_count = 0;
int comment_only_count = 0;

void add_symbol(uint32_t, const char*, const char*, bool) {}
int find_symbol(const char*, bool) { return -1; }
int parse_address(const char*, uint32_t*) { return -1; }
void sort_symbols() {}
int first_symbol_at(uint32_t) { return symbol_count; }
void print_address(uint32_t, const char*, bool) {}
