#include "listing/recent_words.h"

std::array<uint32_t, recent_word_count> recent_words{};
int recent_index = 0;
uint32_t stored_words = 0;
std::array<uint32_t, 32> register_set_at{};

void reset_recent_words() {
    recent_words.fill(0);
    recent_index = 0;
    stored_words = 0;
    register_set_at.fill(0);
}
