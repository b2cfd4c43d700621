// The ring of the last listed words, read by the look-backs of the labels
// and of the special comments, and the same kind of ring for a pass that
// reads the range ahead of the listing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Words the look-backs of the listing reach: the labels' and -B's.
constexpr int recent_word_count = 50;
// Words a ring holds: more, for the walks of a switch dispatch, whose bound
// check may stand far above the jr.
constexpr int history_capacity = 256;

// The last words a pass has handled, newest first, and for each register the
// count at the last stored word that set it to a constant's high half or
// from a slot of $gp (a lui, or a lw rt,offset($gp)), 0 for none: the
// look-back finds that word at once.
struct word_history {
    std::array<uint32_t, history_capacity> words{};
    int index = 0;       // entry of the newest word
    uint32_t stored = 0; // words stored so far
    std::array<uint32_t, 32> set_at{};

    // The word stored k + 1 steps before the one being handled (k from 0 to
    // history_capacity - 1).
    uint32_t word(int k) const { return words[size_t(index + k) % history_capacity]; }
    // Stores a handled word: the index steps backwards, so entry (index + k)
    // holds the word stored k + 1 steps back.
    void remember(uint32_t w) {
        index = index == 0 ? history_capacity - 1 : index - 1;
        words[size_t(index)] = w;
        ++stored;
        // 001111 00000 ttttt iiiiiiiiiiiiiiii   lui rt, imm
        // 100011 11100 ttttt iiiiiiiiiiiiiiii   lw rt, offset($gp)
        const uint32_t top = w & 0xffe00000;
        if (top == 0x3c000000 || top == 0x8f800000) set_at[w >> 16 & 31] = stored;
    }
};

// The listing's ring.
extern word_history listed_history;
// Its words and index under the names the labels and the listing loop use.
inline std::array<uint32_t, history_capacity>& recent_words = listed_history.words;
inline int& recent_index = listed_history.index;

// The word listed k + 1 steps before the one being handled (k from 0 to 49).
inline uint32_t recent_word(int k) {
    return listed_history.word(k);
}

// Stores a listed word.
inline void remember_word(uint32_t word) {
    listed_history.remember(word);
}

// Empties the ring.
void reset_recent_words();
