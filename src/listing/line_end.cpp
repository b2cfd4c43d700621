// The end of an instruction line: the comment-only map symbols of its address,
// the base values of $gp and $s7 they set, and under -c the displays of the
// memory that address-forming code sequences point at.
#include "listing/line_end.h"

#include <algorithm>
#include <cstring>

#include "html/page_elements.h"
#include "listing/data_display.h"
#include "listing/recent_words.h"
#include "listing/register_values.h"
#include "mips/decode.h"
#include "mips/fields.h"
#include "symbols/symbol_table.h"
#include "util/output.h"
#include "util/run_settings.h"

namespace {

// The comment-only entries of the sorted symbol table are met in address
// order; the cursor never moves back.
int comment_cursor = 0;
// Where the cursor's last search by address found its answer: stepping on
// from it mostly finds the next one at once.
int comment_guess = 0;

// The last lw listed under -c: its address, destination and the pointer its
// $gp display followed.
uint32_t lw_address = 0;
int lw_register = 0;
uint32_t lw_pointer = 0;

// Recogniser of the position-independent $s7 set-up:
//   bltzal $zero,+1 / nop / lui $s7,hi / addiu $s7,$s7,lo / addu $s7,$s7,$ra
int s7_sequence_state = 0;
uint32_t s7_sequence_value = 0;

void write_map_comments(uint32_t a) {
    // Most lines have no entry at their address.
    if (comment_cursor >= symbol_count) return;
    const uint32_t next = symbol_table[comment_cursor].address;
    if (next > a) return;
    if (next < a) {
        comment_cursor = std::max(comment_cursor, first_symbol_at(comment_guess, a));
    }
    // Comment-only entries sort before the named ones at the same address.
    while (comment_cursor < symbol_count) {
        const symbol_entry& e = symbol_table[comment_cursor];
        if (e.address != a || e.name[0] != '\0' || e.comment[0] == '\0') break;
        out_text("// ");
        if (e.from_input)
            out_input_text(e.comment);
        else
            out_text(e.comment);
        out_char('\t');
        take_base_value(e.comment);
        ++comment_cursor;
    }
}

// A lui, or a lw from a local GOT entry, that sets the register the current
// instruction uses as base or source, found among the last sequence_length
// listed words without another write of that register in between.
void lui_look_back(const decoded_instruction& d) {
    uint32_t high = 0;
    bool got = false, unsafe = false;
    if (!base_high_part(listed_history, d, high, got, unsafe)) return;
    if (unsafe) settings.flags |= flag::sequence_unsafe;
    const uint32_t address =
        is_row(d, "ori") ? (high | uimm(d.word)) : high + static_cast<uint32_t>(d.offset);
    // A GOT page completed in $t9 (not loaded from) is the address of a
    // function to call: it is named, not read.
    display_mode mode = display_mode::plain;
    if (got) mode = d.base < 0 && d.writes == 25 ? display_mode::shown : display_mode::got_address;
    data_display(address, false, mode);
}

void feed_s7_recogniser(uint32_t a, uint32_t w) {
    int next = 0;
    switch (s7_sequence_state) {
    case 0:
        if (w == 0x04100001) next = 1; // bltzal $zero,+1
        break;
    case 1:
        if (w == 0) next = 2; // its delay slot
        break;
    case 2:
        if ((w & 0xffff0000) == 0x3c170000) { // lui $s7,hi
            s7_sequence_value = w << 16;
            next = 3;
        }
        break;
    case 3:
        if ((w & 0xffff0000) == 0x26f70000) { // addiu $s7,$s7,lo
            s7_sequence_value += static_cast<uint32_t>(simm(w));
            next = 4;
        }
        break;
    case 4:
        if (w == 0x02ffb821) { // addu $s7,$s7,$ra
            // $ra holds the address of the lui, two words back.
            s7_sequence_value = a + s7_sequence_value - 8;
            data_display(s7_sequence_value, false, display_mode::plain);
        }
        break;
    }
    s7_sequence_state = next;
}

void write_special_comments(const decoded_instruction& d) {
    const uint32_t a = d.address;
    if (is_row(d, "lw")) {
        lw_pointer = followed_pointer;
        lw_address = a;
        lw_register = d.rt;
    } else if (is_row(d, "addiu") && recent_word(0) == 0 && a == lw_address + 8 &&
               lw_pointer != 0 && d.rs == lw_register) {
        // lw reg,x($gp) / nop / addiu reg,reg,offset: an offset into the
        // table that the lw loaded.
        data_display(lw_pointer + static_cast<uint32_t>(d.offset), false, display_mode::plain);
    }
    lui_look_back(d);
    settings.flags &= ~flag::sequence_unsafe;
    feed_s7_recogniser(a, d.word);
}

} // namespace

// A "$gp=" or "$s7=" comment gives a new base; one that does not evaluate
// switches that base off.
void take_base_value(const char* comment) {
    uint32_t* base = nullptr;
    if (std::strncmp(comment, "$gp=", 4) == 0) base = &settings.gp_value;
    if (std::strncmp(comment, "$s7=", 4) == 0) base = &settings.s7_value;
    if (!base) return;
    uint32_t value = 0;
    *base = parse_address(comment + 4, &value) == 0 ? value : 0;
}

void end_instruction_line(const decoded_instruction& d) {
    write_map_comments(d.address);
    if (has_flag(flag::special_comments)) write_special_comments(d);
    if (has_flag(flag::highlight)) html_highlight(0);
    out_char('\n');
}

void end_instruction_line(uint32_t a, uint32_t w) {
    end_instruction_line(decode_word(a, w));
}

int sequence_register(uint32_t v, int d) {
    bool unsafe = false;
    const int r = look_back_register(decode_word(0, v), d, unsafe);
    if (unsafe) settings.flags |= flag::sequence_unsafe;
    return r;
}

void reset_line_end() {
    comment_cursor = 0;
    comment_guess = 0;
    lw_address = 0;
    lw_register = 0;
    lw_pointer = 0;
    s7_sequence_state = 0;
    s7_sequence_value = 0;
}
