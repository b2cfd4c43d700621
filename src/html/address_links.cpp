#include "html/address_links.h"

#include <algorithm>
#include <string_view>

#include "html/page_set.h"
#include "util/output.h"

void print_address(uint32_t address, const char* name, bool escape_name) {
    // Composed in one piece where it can be: jump targets are printed by the
    // hundred thousand.
    char text[48];
    char* p = text;
    uint32_t page_start;
    bool linked = html_page_of(address, &page_start);
    if (linked) {
        p = std::copy_n("<A HREF=", 8, p);
        p = put_hex_digits(p, page_start, 8);
        p = std::copy_n(".htm#", 5, p);
        p = put_hex_digits(p, address, 8);
        *p++ = '>';
    }
    if (name && *name) {
        out_text(std::string_view(text, size_t(p - text)));
        if (escape_name)
            out_input_text(name);
        else
            out_text(name);
        if (linked) out_text("</A>");
        return;
    }
    p = std::copy_n("0x", 2, p);
    p = put_hex_digits(p, address, 1);
    if (linked) p = std::copy_n("</A>", 4, p);
    out_text(std::string_view(text, size_t(p - text)));
}
