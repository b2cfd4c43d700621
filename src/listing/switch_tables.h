// Switch dispatches: a bound check, an index scaled by 4, a load from a
// table of code addresses and a jr through the loaded register; found by the
// look-back of register values.
#pragma once

#include <cstdint>

#include "listing/recent_words.h"
#include "mips/decode.h"

struct switch_dispatch {
    uint32_t jump;      // address of the jr
    uint32_t table;     // address of the first entry
    uint32_t count;     // entries: the bound of the check
    bool gp_relative;   // .gpword entries: each target is entry + $gp
    uint32_t last_case; // the highest case target
    uint32_t function;  // start of the function it lies in; 0 when not known
};

// Words before a jr that the recogniser looks at.
constexpr int dispatch_reach = history_capacity;

// Recognises the dispatch that ends in d, a jr other than jr $ra that
// follows history index 0:
//   sltiu rT,rI,N (and the branch on rT) ... sll rI',rI,2
//   table address: lui/addiu, a GOT page and addiu, or addiu rB,$gp,...
//   addu rB,rI',rTable; lw rA,offset(rB); [addu rA,rA,$gp]; jr rA
// Every entry must lead into [first, end) on a word of the range (first's
// word grid); false for any other word, a form it does not know, or a table
// it can not read.
bool find_dispatch(const word_history& history, const decoded_instruction& d, uint32_t first,
                   uint32_t end, switch_dispatch& out);

// The case target of entry word e of a dispatch.
inline uint32_t case_target(const switch_dispatch& s, uint32_t e, uint32_t gp) {
    return s.gp_relative ? e + gp : e;
}
