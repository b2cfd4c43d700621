#include "listing/labels.h"

#include <array>
#include <cstring>
#include <string_view>

#include "html/page_elements.h"
#include "html/page_set.h"
#include "listing/references.h"
#include "mips/byte_order.h"
#include "symbols/symbol_table.h"
#include "util/output.h"
#include "util/run_settings.h"

uint32_t last_label_address = 0;

namespace {

// The highest target of a short forward conditional branch seen so far; a
// jr $ra below it lies inside the function and does not end it.
uint32_t extension_limit = 0;
// Words tracked so far, and the steps of the last three returns among them
// (jr $ra, whether it ended a function or not), the last first, with the
// limit as it stood right after each: the function-start test judges the
// return two steps back by the branches seen up to it, not by its delay slot
// or the word after it.
struct tracked_return {
    uint32_t step, limit;
};
uint32_t tracked_steps = 0;
constexpr tracked_return no_return{uint32_t(-3), 0};
std::array<tracked_return, 3> last_returns{no_return, no_return, no_return};
// Whether the last tracked word ended a function.
bool last_track_ends = false;

void write_name(const symbol_entry& e) {
    if (e.from_input)
        out_input_text(e.name);
    else
        out_text(e.name);
}

void write_blanks(int n) {
    for (; n > 0; --n) out_char(' ');
}

// A label's comment under -c: right-aligned so that a short comment ends in
// column 77 of the label line. A name longer than 76 characters makes the
// width negative, which left-aligns the comment as printf's "%*s" does.
void write_label_comment(const symbol_entry& e, int name_length) {
    int width = 76 - name_length;
    int length = static_cast<int>(std::strlen(e.comment));
    if (width >= 0) write_blanks(width - length);
    if (e.from_input)
        out_input_text(e.comment);
    else
        out_text(e.comment);
    if (width < 0) write_blanks(-width - length);
}

// A data word with no name at its value: its 4 bytes in file order between
// double quotes, non-printing bytes as dots. The bytes come from the input, so
// HTML output escapes them.
void write_quoted_bytes(uint32_t word) {
    char text[4];
    for (int i = 0; i < 4; ++i) {
        unsigned byte = ordered_byte(word, 4, i);
        text[i] = (byte < 0x20 || byte > 0x7e) ? '.' : static_cast<char>(byte);
    }
    out_char('"');
    out_input_text(std::string_view(text, 4));
    out_char('"');
}

} // namespace

namespace {

// A word that may change the flow of control, tracked.
[[gnu::noinline]] void track_flow_word(uint32_t a, uint32_t w, const decoded_instruction* d) {
    decoded_instruction decoded;
    if (d == nullptr) {
        decoded = decode_word(a, w);
        d = &decoded;
    }
    last_track_ends = function_end_step(extension_limit, *d, settings.function_extension);
    if (is_function_return(*d)) {
        last_returns[2] = last_returns[1];
        last_returns[1] = last_returns[0];
        last_returns[0] = {tracked_steps, extension_limit};
    }
}

} // namespace

void function_end_track(uint32_t a, uint32_t w, const decoded_instruction* d) {
    ++tracked_steps;
    last_track_ends = false;
    // Only a jump or a branch can end a function or extend one; the other
    // words need no decoding.
    if (may_change_flow(w)) track_flow_word(a, w, d);
}

int function_end_check(int mode, uint32_t a, uint32_t w) {
    if (mode == end_check::reset) {
        extension_limit = 0;
        last_returns.fill({tracked_steps - 3, 0});
        return 0;
    }
    if (mode == end_check::track || mode == end_check::track_query) {
        function_end_track(a, w, nullptr);
        return (mode == end_check::track_query && last_track_ends) ? 1 : 0;
    }
    return (mode == end_check::query && may_change_flow(w) &&
            is_function_return(decode_word(a, w)) && a >= extension_limit)
               ? 1
               : 0;
}

namespace {

// Label lines are asked for word after word: they keep a guess of their own,
// apart from the jump targets and data values in between.
int label_guess = 0;

// A function starts at the first word after the delay slot of a
// function-ending jr $ra, which stood two listing steps back. The delay slot
// and this word have been tracked already; a forward branch among them (a
// function that opens with "beqz $a0, ...") must not hide the end, so the jr
// is judged by the limit as it stood right after the jr, as the HTML
// pre-pass judges it. Only asked at an address without label lines.
[[gnu::noinline]] void write_function_start(uint32_t a) {
    html_anchor(a);
    out_text("}{\n");
    last_label_address = a;
}

// Whether a function starts at a (a return two steps back, not inside the
// function), written when it does.
inline bool function_start(uint32_t a) {
    if (!has_flag(flag::braces) || has_flag(flag::data_mode)) return false;
    // Under -X the pass has found them, past any nops that pad the code.
    if (has_flag(flag::cross_references)) {
        if (!function_starts_at(a)) return false;
        write_function_start(a);
        return true;
    }
    const uint32_t step = tracked_steps - 2;
    const tracked_return* r = nullptr;
    for (const tracked_return& t : last_returns)
        if (t.step == step) r = &t;
    if (r == nullptr || a - 8 < r->limit) return false;
    write_function_start(a);
    return true;
}

// A word that holds an address the pages link to gets the anchors that no
// label or brace line gives it, where those lines would stand: its own
// address, and the addresses inside it (a jump target when the listing
// starts off the word grid, a name at an odd address). An anchor too many is
// invisible.
[[gnu::noinline]] void write_inner_anchors(uint32_t a, bool anchored) {
    if (!anchored) html_anchor(a);
    const uint32_t aligned = (a + 3) & ~uint32_t(3);
    if (aligned != a) html_anchor(aligned);
    for (int i = first_symbol_at(a + 1); i < symbol_count; ++i) {
        const symbol_entry& e = symbol_table[i];
        if (e.address - a >= 4) break;
        const bool repeated = i > 0 && symbol_table[i - 1].address == e.address &&
                              symbol_table[i - 1].name[0] != '\0';
        if (e.name[0] != '\0' && e.address != aligned && !repeated) html_anchor(e.address);
    }
}

inline void write_link_anchors(uint32_t a, bool anchored) {
    // (next_linked is 0 without HTML output: the address is compared first.)
    if (a == pages.next_linked && html_output()) {
        write_inner_anchors(a, anchored);
        html_pass_linked_word();
    }
}

// The label lines of the entries from first on that stand at a.
[[gnu::noinline]] int write_label_lines(int first, uint32_t a) {
    int n = 0; // names written
    int m = 0; // of these, data names ('@')
    for (int i = first; i < symbol_count && symbol_table[i].address == a; ++i) {
        const symbol_entry& e = symbol_table[i];
        if (e.name[0] == '\0') continue; // comment-only entry
        html_anchor(a);
        if (has_flag(flag::braces)) out_text("}{");
        write_name(e);
        out_char(':');
        if (has_flag(flag::special_comments) && e.comment[0] != '\0')
            write_label_comment(e, static_cast<int>(std::strlen(e.name)));
        out_char('\n');
        last_label_address = a;
        ++n;
        if (e.name[0] == '@') ++m;
    }
    if (n > 0 && has_flag(flag::cross_references) && has_flag(flag::special_comments))
        write_reference_lines(a);
    write_link_anchors(a, n > 0 || function_start(a));
    // '@' labels switch to data lines, any other label back to code.
    if (m > 0)
        settings.flags |= flag::data_mode;
    else if (n > 0)
        settings.flags &= ~flag::data_mode;
    return n;
}

// The names at a on one line, for a data value or after a jump target.
[[gnu::noinline]] int write_names(uint32_t a, label_mode mode) {
    int n = 0;
    // Jump targets are mostly nameless: the filter spares their search.
    int i = entry_may_stand_at(a) ? first_symbol_at(a) : symbol_count;
    for (; i < symbol_count && symbol_table[i].address == a; ++i) {
        const symbol_entry& e = symbol_table[i];
        if (e.name[0] == '\0') continue; // comment-only entry
        if (mode == label_mode::comment || n > 0) out_char(' ');
        write_name(e);
        ++n;
    }
    if (mode == label_mode::value) {
        if (n == 0) write_quoted_bytes(a);
        out_char('\n');
    }
    return n;
}

} // namespace

int show_labels(uint32_t a, label_mode mode) {
    if (mode != label_mode::label) return write_names(a, mode);
    // Most words have no entry at their address, and the guess, kept from
    // the word before, mostly shows that at once: then only a function start
    // can be written. (Kept free of calls on that path: it runs for every
    // word of the listing.)
    const int i = label_guess;
    if (static_cast<unsigned>(i) <= static_cast<unsigned>(symbol_count) &&
        (i == symbol_count || symbol_table[i].address > a) &&
        (i == 0 || symbol_table[i - 1].address < a)) {
        write_link_anchors(a, function_start(a));
        return 0;
    }
    return write_label_lines(first_symbol_at(label_guess, a), a);
}

void reset_labels() {
    label_guess = 0;
    extension_limit = 0;
    tracked_steps = 0;
    last_returns.fill(no_return);
    last_track_ends = false;
    last_label_address = 0;
}
