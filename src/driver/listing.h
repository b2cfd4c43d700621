// The listing loop: the input word by word, one line per word.
#pragma once

#include <array>
#include <cstdint>

#include "driver/run_settings.h"

constexpr int recent_word_count = 50;

// Ring of the last listed words and its index (see recent_word).
extern std::array<uint32_t, recent_word_count> recent_words;
extern int recent_index;

// The word listed k + 1 steps before the one being handled (k from 0 to 49).
inline uint32_t recent_word(int k) {
    return recent_words[(recent_index + k) % recent_word_count];
}

// Assembles 4 input bytes in file order into a word by the run's byte order.
inline uint32_t assemble_word(const unsigned char bytes[4]) {
    if (has_flag(flag::little_endian))
        return uint32_t(bytes[3]) << 24 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[1]) << 8 |
               bytes[0];
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

// Lists the range, then ends the run (closing pages, input, image file).
void list_words();
// Clears the ring and the fold counter (for tests; the program never calls it).
void reset_listing_state();
