// The HTML page set: pre-pass, page switch, summary pages.
#pragma once

#include <array>
#include <cstdint>
#include <span>

constexpr int page_capacity = 10000;
// Calls.htm lists at most this many targets.
constexpr int listed_call_target_limit = 500;

struct page_set {
    std::array<uint32_t, page_capacity> starts; // page start addresses, ascending
    int count;                                  // valid entries of starts
    uint32_t paged_end;                         // end of the paged range
    int current;                                // index of the page the next switch opens
    // The words of the listed range that hold an address the pages link to
    // (a jump target, a page start, a name inside a word), one bit a word
    // from the start address on: such a word gets the anchors that no label
    // line gives it. Null without HTML output.
    uint64_t* linked_words;
    uint32_t linked_base;  // address of the word of bit 0
    uint32_t linked_count; // number of words the bits cover
    // The address of the next word to be listed that has its bit set, or of
    // the word past the range: the listing compares each word's address with
    // it rather than looking up the bit.
    uint32_t next_linked;
};

extern page_set pages;
// Function ends counted by the pre-pass.
extern int total_functions;

// A jump whose cases reach to last (a switch dispatch that -X found): the
// function-end rule does not end its function before it.
struct case_reach {
    uint32_t jump;
    uint32_t last;
};

// Reads the range once to place the page starts, then rewinds. Reads the bytes
// to list from settings.size and the page size from settings.line_budget;
// reaches, in ascending order of their jumps, keep cases in their functions.
void html_prepass(std::span<const case_reach> reaches = {});
// Opens the next page when a is the next page start (HTML output only).
void html_page_switch(uint32_t a);
// The listing has passed a gap that ends at end: a word linked to inside it
// is not waited for.
void html_pass_gap(uint32_t end);
// Closes the last page and writes calls.htm and symbols.htm.
void html_close_pages();
// Page start of the page holding a, when a is in the paged range; else false.
bool html_page_of(uint32_t a, uint32_t* page_start);
// The listing has reached the word at next_linked: next_linked moves on to
// the following word whose bit is set.
void html_pass_linked_word();
// True when the listed word at a holds an address that the pages link to.
inline bool html_links_to(uint32_t a) {
    const uint32_t k = (a - pages.linked_base) >> 2;
    return k < pages.linked_count && (pages.linked_words[k >> 6] >> (k & 63) & 1) != 0;
}
// After the pre-pass: the word that holds a is linked to as well (a call
// site or a callee that a later pass found); html_restart_links then puts
// the listing's cursor of linked words back to the first.
void html_mark_linked(uint32_t a);
void html_restart_links();
// Back to the state without HTML output (for tests; the program never calls it).
void reset_page_set();
