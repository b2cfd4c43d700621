#include "html/page_elements.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "html/page_set.h"
#include "util/output.h"
#include "util/run_settings.h"
#include "util/version.h"
#include "util/zo.h"

namespace {

// Set while a colour span is open on the current line.
bool span_open = false;

constexpr int major_opcode(uint32_t w) {
    return static_cast<int>(w >> 26);
}

// Colour classes of the -H highlight.
enum class highlight_class : uint8_t { none, jump, load, store };

// The class of each major opcode; 000000 words are told apart by their
// function field.
//   00001x: j, jal
//   0x01xx: beq, bne, blez, bgtz and their likely forms
//   10xxxx: the loads and stores of major opcodes 32 to 46 (47 is cache);
//   11x000: ll and sc. Bit 29 tells a store from a load.
constexpr std::array<highlight_class, 64> major_classes = [] {
    std::array<highlight_class, 64> classes{};
    for (uint32_t major = 0; major < 64; ++major) {
        uint32_t w = major << 26;
        bool jump = major == 2 || major == 3 || (w & 0xb0000000) == 0x10000000;
        bool memory = ((w & 0xc0000000) == 0x80000000 && (w & 0xfc000000) != 0xbc000000) ||
                      (w & 0xdc000000) == 0xc0000000;
        classes[major] =
            jump     ? highlight_class::jump
            : memory ? ((w & 0x20000000) != 0 ? highlight_class::store : highlight_class::load)
                     : highlight_class::none;
    }
    return classes;
}();
static_assert(major_classes[35] == highlight_class::load &&
              major_classes[43] == highlight_class::store);

highlight_class classify_highlight(uint32_t w) {
    // 000000 ... 00100x: jr, jalr
    if ((w & 0xfc00003e) == 8) return highlight_class::jump;
    return major_classes[major_opcode(w)];
}

// Writes a text given as a C string; printf's "%s" shows a null one as "(null)".
void out_c_text(const char* text) {
    out_text(text != nullptr ? text : "(null)");
}

} // namespace

void html_anchor(uint32_t address) {
    if (!html_output()) return;
    // "<A NAME=%08x></A>" in one piece.
    char text[] = "<A NAME=00000000></A>";
    for (int i = 0; i < 8; ++i) text[8 + i] = "0123456789abcdef"[(address >> (28 - 4 * i)) & 15];
    out_text(std::string_view(text, sizeof text - 1));
}

// The texts are written piece by piece rather than through printf: the page
// set writes them for thousands of pages.
void html_page_head(const char* title, const char* heading) {
    out_text("<HTML>\n<HEAD>\n<TITLE>");
    out_c_text(title);
    out_text("</TITLE>\n</HEAD>\n");
    // The time is taken anew for every page.
    out_text("<BODY BGCOLOR=white>\nGenerated ");
    out_c_text(zo_ctime(0));
    out_text(" from ");
    out_c_text(settings.input_path);
    out_text("<BR>\nby pelorin [");
    out_c_text(version_banner());
    out_text("].<BR><BR>\n");
    if (heading) {
        out_text("<H2>");
        out_text(heading);
        out_text("</H2>\n");
    }
}

void html_page_link(uint32_t page_start, const char* text) {
    out_text("<A HREF=");
    out_hex(page_start, 8);
    out_text(".htm>");
    out_text(text);
    out_text("</A>\n");
}

void html_file_link(const char* file, const char* text) {
    out_text("<A HREF=");
    out_text(file);
    out_char('>');
    out_text(text);
    out_text("</A>\n");
}

void html_page_tail() {
    // Before the first page the listing still points at standard output.
    if (settings.output == stdout) return;
    out_text("</B></PRE>\n");
    // The current index names the page after the open one, if there is one.
    if (pages.current < pages.count) html_page_link(pages.starts[pages.current], "Next Page");
    html_file_link(symbols_page, symbols_link_text);
    html_file_link(calls_page, calls_link_text);
    out_text("</BODY>\n</HTML>\n");
    zo_fclose(settings.output);
    // Never leave the listing pointing at a closed stream: a stray write or a
    // second tail would touch freed memory.
    settings.output = stdout;
}

void html_highlight(uint32_t word) {
    if (word == 0) {
        if (span_open) out_text("</FONT>");
        span_open = false;
        return;
    }
    switch (classify_highlight(word)) {
    case highlight_class::jump: out_text("<FONT COLOR=blue>"); break;
    case highlight_class::load: out_text("<FONT COLOR=green>"); break;
    case highlight_class::store: out_text("<FONT COLOR=red>"); break;
    case highlight_class::none: span_open = false; return;
    }
    span_open = true;
}

void reset_page_elements() {
    span_open = false;
}
