#include "driver/listing.h"

std::array<uint32_t, recent_word_count> recent_words{};
int recent_index = 0;

uint32_t assemble_word(const unsigned char bytes[4]) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

void list_words() {}
