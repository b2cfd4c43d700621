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

// A dispatch whose index is checked and scaled after its jr, as gcc -Os
// writes it: "X: ... addu rB,rTable,rS; lw; [addu $gp]; jr" and later
// "sltiu rT,rI,N; bnez rT,X; sll rS,rI,2". At the jr the table is known.
struct pending_dispatch {
    uint32_t jump;  // address of the jr
    uint32_t table; // address of the first entry
    int8_t scaled;  // the register the index comes in, scaled
    bool gp_relative;
};

// For a jr d that find_dispatch does not take: the load and the table of
// the form above, the index register not set before it; false for any
// other word.
bool find_pending_dispatch(const word_history& history, const decoded_instruction& d,
                           pending_dispatch& out);

// Completes p where history index 0 is the sll in the delay slot of the
// bnez (point: the address after it): the check right before the bnez, the
// bnez leading back to a word at or before the jr, the words from there to
// the jr straight and not writing the scaled index, every entry inside
// [first, end) as for find_dispatch.
bool complete_dispatch(const word_history& history, uint32_t point, const pending_dispatch& p,
                       uint32_t first, uint32_t end, switch_dispatch& out);

// The case target of entry word e of a dispatch.
inline uint32_t case_target(const switch_dispatch& s, uint32_t e, uint32_t gp) {
    return s.gp_relative ? e + gp : e;
}
