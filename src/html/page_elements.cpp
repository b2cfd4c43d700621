#include "html/page_elements.h"

#include <cstdio>

#include "driver/command_line.h"
#include "driver/output.h"
#include "driver/run_settings.h"
#include "html/page_set.h"
#include "util/zo.h"

namespace {

// Set while a colour span is open on the current line.
bool span_open = false;

constexpr int major_opcode(uint32_t w) {
    return static_cast<int>(w >> 26);
}

// Colour classes of the -H highlight.
enum class highlight_class { none, jump, load, store };

highlight_class classify_highlight(uint32_t w) {
    // 00001x: j, jal   000000 ... 00100x: jr, jalr
    // 0x01xx: beq, bne, blez, bgtz and their likely forms
    if (major_opcode(w) == 2 || major_opcode(w) == 3 || (w & 0xfc00003e) == 8 ||
        (w & 0xb0000000) == 0x10000000)
        return highlight_class::jump;
    // 10xxxx: the loads and stores of major opcodes 32 to 46 (47 is cache);
    // 11x000: ll and sc. Bit 29 tells a store from a load.
    bool memory = ((w & 0xc0000000) == 0x80000000 && (w & 0xfc000000) != 0xbc000000) ||
                  (w & 0xdc000000) == 0xc0000000;
    if (!memory) return highlight_class::none;
    return (w & 0x20000000) != 0 ? highlight_class::store : highlight_class::load;
}

} // namespace

bool html_output() {
    return settings.html_dir != nullptr;
}

void html_anchor(uint32_t address) {
    if (!html_output()) return;
    out_text("<A NAME=");
    out_hex(address, 8);
    out_text("></A>");
}

void html_page_head(const char* title, const char* heading) {
    out_format("<HTML>\n<HEAD>\n<TITLE>%s</TITLE>\n</HEAD>\n", title);
    // The time is taken anew for every page.
    out_format("<BODY BGCOLOR=white>\nGenerated %s from %s<BR>\nby pelorin [%s].<BR><BR>\n",
               zo_ctime(0), settings.input_path, version_banner());
    if (heading) out_format("<H2>%s</H2>\n", heading);
}

void html_page_tail() {
    // Before the first page the listing still points at standard output.
    if (settings.output == stdout) return;
    out_text("</B></PRE>\n");
    // The current index names the page after the open one, if there is one.
    if (pages.current < pages.count)
        out_format("<A HREF=%08x.htm>Next Page</A>\n", pages.starts[pages.current]);
    out_format("<A HREF=%s>%s</A>\n", symbols_page, symbols_link_text);
    out_format("<A HREF=%s>%s</A>\n", calls_page, calls_link_text);
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
