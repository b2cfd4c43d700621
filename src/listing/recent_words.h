// The ring of the last listed words, read by the look-backs of the labels
// and of the special comments.
#pragma once

#include <array>
#include <cstdint>

constexpr int recent_word_count = 50;

// Ring of the last listed words and its index (see recent_word).
extern std::array<uint32_t, recent_word_count> recent_words;
extern int recent_index;

// The word listed k + 1 steps before the one being handled (k from 0 to 49).
inline uint32_t recent_word(int k) {
    return recent_words[(recent_index + k) % recent_word_count];
}

// Stores a handled word: the index steps backwards, so entry (index + k)
// holds the word listed k + 1 steps back.
inline void remember_word(uint32_t word) {
    recent_index = recent_index == 0 ? recent_word_count - 1 : recent_index - 1;
    recent_words[recent_index] = word;
}

// Empties the ring.
void reset_recent_words();
