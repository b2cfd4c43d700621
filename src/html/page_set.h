// The HTML page set: pre-pass, page switch, summary pages.
#pragma once

#include <array>
#include <cstdint>

constexpr int page_capacity = 10000;
// Calls.htm lists at most this many targets.
constexpr int listed_call_target_limit = 500;

struct page_set {
    std::array<uint32_t, page_capacity> starts; // page start addresses, ascending
    int count;                                  // valid entries of starts
    uint32_t paged_end;                         // end of the paged range
    int current;                                // index of the page the next switch opens
};

extern page_set pages;
// Function ends counted by the pre-pass.
extern int total_functions;

// Reads the range once to place the page starts, then rewinds. Reads the bytes
// to list from settings.size and the page size from settings.line_budget.
void html_prepass();
// Opens the next page when a is the next page start (HTML output only).
void html_page_switch(uint32_t a);
// Closes the last page and writes calls.htm and symbols.htm.
void html_close_pages();
// Page start of the page holding a, when a is in the paged range; else false.
bool html_page_of(uint32_t a, uint32_t* page_start);
// Back to the state without HTML output (for tests; the program never calls it).
void reset_page_set();
