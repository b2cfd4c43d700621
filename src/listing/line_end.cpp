// The end of an instruction line: the comment-only map symbols of its address,
// the base values of $gp and $s7 they set, and under -c the displays of the
// memory that address-forming code sequences point at.
#include "listing/line_end.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "html/page_elements.h"
#include "listing/data_display.h"
#include "listing/recent_words.h"
#include "mips/decode.h"
#include "mips/fields.h"
#include "object/dynamic_file.h"
#include "symbols/symbol_table.h"
#include "util/output.h"
#include "util/run_settings.h"

namespace {

// A jump d words back: one right before the current instruction has it in
// its delay slot; one further back means the lui may sit on another path.
int jump_register(int d) {
    if (d != 1) settings.flags |= flag::sequence_unsafe;
    return 32;
}

// The register that v uses as base or source (d = 0) or writes (d >= 1);
// see sequence_register.
inline int register_of(const decoded_instruction& v, int d) {
    const uint16_t properties = v.properties;
    if (d == 0) return (properties & property::base_rs) != 0 ? v.rs : -1;
    if (v.word == 0) return 32; // nop
    if ((properties & property::jump) != 0) return jump_register(d);
    // beq, bne, blez, bgtz and their likely forms; other branches end the
    // look-back.
    if ((properties & property::extends) != 0) return 32;
    if (v.writes >= 0) return v.writes;
    if ((properties & property::base_rs) != 0) return 32; // a store
    return -1; // multiplies, mfhi, slt, coprocessor words, REGIMM branches, ...
}

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

// The value a register gets from the word v that sets it when v is a lui, or
// a lw from a local entry of the global offset table; false for any other
// word.
bool register_value(uint32_t v, uint32_t& value) {
    // 001111 00000 ttttt iiiiiiiiiiiiiiii   lui rt, imm
    if ((v & 0xffe00000) == 0x3c000000) {
        value = v << 16;
        return true;
    }
    // 100011 11100 ttttt iiiiiiiiiiiiiiii   lw rt, offset($gp)
    if ((v & 0xffe00000) != 0x8f800000 || settings.gp_value == 0) return false;
    const uint32_t slot = settings.gp_value + static_cast<uint32_t>(simm(v));
    return slot >= listed_got.start && slot < listed_got.local_end && read_listed_word(slot, value);
}

// A lui, or a lw from a local GOT entry, that sets the register the current
// instruction uses as base or source, found among the last sequence_length
// listed words without another write of that register in between.
void lui_look_back(const decoded_instruction& d) {
    int h = register_of(d, 0);
    if (h < 0) return;
    int length = std::clamp(settings.sequence_length, 0, recent_word_count);
    // Most instructions have no such word of their register within reach:
    // the ring knows the nearest one, and the words between it and d are
    // checked. (A lw from $gp where no GOT is known sets no value, and hides
    // any lui behind it, as any write of the register does.)
    if (register_set_at[size_t(h)] == 0) return;
    const uint32_t distance = stored_words - register_set_at[size_t(h)];
    if (distance >= uint32_t(length)) return;
    const int found = int(distance);
    // Position-independent code calls with bal as much as with jalr: after a
    // GOT load, a branch that links counts as the jump it is.
    const bool got = (recent_word(found) & 0xffe00000) == 0x8f800000;
    for (int k = 0; k < found; ++k) {
        const uint32_t a = d.address - 4 * static_cast<uint32_t>(k + 1);
        const decoded_instruction v = decode_word(a, recent_word(k));
        int m = register_of(v, k + 1);
        if (got && v.kind == instruction_kind::branch_and_link) m = jump_register(k + 1);
        if (m == -1 || m == h) return;
    }
    uint32_t high = 0;
    if (!register_value(recent_word(found), high)) return;
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
    return register_of(decode_word(0, v), d);
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
