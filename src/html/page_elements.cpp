#include "html/page_elements.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "html/page_set.h"
#include "mips/opcode_table.h"
#include "util/output.h"
#include "util/run_settings.h"
#include "util/version.h"
#include "util/zo.h"

namespace {

// Set while a colour span is open on the current line.
bool span_open = false;

// The colour of an instruction under -H, by its properties.
const char* highlight_colour(uint16_t properties) {
    if ((properties & property::coloured) == 0) return nullptr;
    if ((properties & (property::jump | property::branch)) != 0) return "<FONT COLOR=blue>";
    return (properties & property::store) != 0 ? "<FONT COLOR=red>" : "<FONT COLOR=green>";
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
    put_hex_digits(text + 8, address, 8);
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

void html_highlight_instruction(uint16_t properties) {
    const char* colour = highlight_colour(properties);
    if (colour != nullptr) out_text(colour);
    span_open = colour != nullptr;
}

void html_highlight(uint32_t word) {
    if (word != 0) return html_highlight_instruction(word_properties(word));
    if (span_open) out_text("</FONT>");
    span_open = false;
}

void reset_page_elements() {
    span_open = false;
}
