// The ring of the last listed words, read by the look-backs of the labels
// and of the special comments.
#pragma once

#include <array>
#include <cstdint>

constexpr int recent_word_count = 50;

// Ring of the last listed words and its index (see recent_word).
extern std::array<uint32_t, recent_word_count> recent_words;
extern int recent_index;
// Words stored so far, and for each register the count at the last stored
// word that set it to a constant's high half or from a slot of $gp (a lui,
// or a lw rt,offset($gp)), 0 for none: the look-back finds that word at
// once.
extern uint32_t stored_words;
extern std::array<uint32_t, 32> register_set_at;

// The word listed k + 1 steps before the one being handled (k from 0 to 49).
inline uint32_t recent_word(int k) {
    return recent_words[(recent_index + k) % recent_word_count];
}

// Stores a handled word: the index steps backwards, so entry (index + k)
// holds the word listed k + 1 steps back.
inline void remember_word(uint32_t word) {
    recent_index = recent_index == 0 ? recent_word_count - 1 : recent_index - 1;
    recent_words[recent_index] = word;
    ++stored_words;
    // 001111 00000 ttttt iiiiiiiiiiiiiiii   lui rt, imm
    // 100011 11100 ttttt iiiiiiiiiiiiiiii   lw rt, offset($gp)
    const uint32_t top = word & 0xffe00000;
    if (top == 0x3c000000 || top == 0x8f800000) register_set_at[word >> 16 & 31] = stored_words;
}

// Empties the ring.
void reset_recent_words();
