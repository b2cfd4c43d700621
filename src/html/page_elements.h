// Pieces of HTML: anchors, page heads and tails, colour spans.
#pragma once

#include <cstdint>

// The summary pages and the texts of the links to them.
inline constexpr const char symbols_page[] = "symbols.htm";
inline constexpr const char symbols_link_text[] = "Symbol Map";
inline constexpr const char calls_page[] = "calls.htm";
inline constexpr const char calls_link_text[] = "Call Statistics";

// "<A NAME=%08x></A>" in HTML output; nothing otherwise.
void html_anchor(uint32_t address);
// Page head with the generation banner; heading may be null.
void html_page_head(const char* title, const char* heading);
// "<A HREF=%08x.htm>%s</A>\n": a link to the page that starts at page_start.
void html_page_link(uint32_t page_start, const char* text);
// "<A HREF=%s>%s</A>\n": a link to a file of the page set.
void html_file_link(const char* file, const char* text);
// Page tail with its links; closes the page. Nothing while output is stdout.
void html_page_tail();
// Opens the colour span of a decoded word's class; 0 closes an open span.
void html_highlight(uint32_t word);
// Opens the colour span of an instruction with the given properties (those of
// its opcode-table row).
void html_highlight_instruction(uint16_t properties);
// Closes the highlight state without writing (for tests; the program never calls it).
void reset_page_elements();
