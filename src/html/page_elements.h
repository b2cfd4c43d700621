// Pieces of HTML: anchors, page heads and tails, colour spans.
#pragma once

#include <cstdint>

// True when the listing is written as HTML pages.
bool html_output();
// "<A NAME=%08x></A>" in HTML output; nothing otherwise.
void html_anchor(uint32_t address);
// Page head with the generation banner; heading may be null.
void html_page_head(const char* title, const char* heading);
// Page tail with its links; closes the page. Nothing while output is stdout.
void html_page_tail();
// Opens the colour span of word's class; 0 closes an open span.
void html_highlight(uint32_t word);
