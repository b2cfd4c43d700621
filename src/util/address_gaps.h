// Stretches of the listed range that no input lies behind: the space between
// the segments of an executable. The image holds zeros there; the listing
// and the HTML pre-pass read over them without listing a word.
#pragma once

#include <array>
#include <cstdint>

struct address_gap {
    uint32_t start; // first address of the gap, a multiple of 4
    uint32_t end;   // first address after it, a multiple of 4
};

// The gaps in address order, none touching another.
struct gap_list {
    static constexpr int capacity = 63;
    std::array<address_gap, capacity> gaps;
    int count;
};

extern gap_list listed_gaps;

// No gap at all: the gap that the cursors wait for when none follows.
constexpr address_gap no_gap{0xffffffff, 0xffffffff};

// The first gap that ends after address, or no_gap.
inline address_gap gap_after(uint32_t address) {
    for (int i = 0; i < listed_gaps.count; ++i)
        if (listed_gaps.gaps[i].end > address) return listed_gaps.gaps[i];
    return no_gap;
}

// The end of the gap that holds address; address itself when none does.
inline uint32_t past_gap(uint32_t address) {
    const address_gap gap = gap_after(address);
    return gap.start <= address ? gap.end : address;
}

void reset_address_gaps();
