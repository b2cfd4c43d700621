#include "listing/recent_words.h"

std::array<uint32_t, recent_word_count> recent_words{};
int recent_index = 0;

void reset_recent_words() {
    recent_words.fill(0);
    recent_index = 0;
}
