// The end of an instruction line: the comment-only map symbols of its address,
// the base values of $gp and $s7 they set, and under -c the displays of the
// memory that address-forming code sequences point at.
#include "mips/line_end.h"

#include <algorithm>
#include <cstring>

#include "driver/listing.h"
#include "driver/output.h"
#include "driver/run_settings.h"
#include "html/page_elements.h"
#include "mips/data_display.h"
#include "symbols/symbol_table.h"

namespace {

constexpr int rs(uint32_t w) {
    return static_cast<int>(w >> 21 & 31);
}
constexpr int rt(uint32_t w) {
    return static_cast<int>(w >> 16 & 31);
}
constexpr int rd(uint32_t w) {
    return static_cast<int>(w >> 11 & 31);
}
constexpr uint32_t uimm(uint32_t w) {
    return w & 0xffff;
}
constexpr uint32_t simm(uint32_t w) {
    return static_cast<uint32_t>(static_cast<int16_t>(w));
}

// The comment-only entries of the sorted symbol table are met in address
// order; the cursor never moves back.
int comment_cursor = 0;

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
    comment_cursor = std::max(comment_cursor, first_symbol_at(a));
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

// A lui whose register the current instruction uses as base or source, found
// among the last sequence_length listed words without a write of that
// register in between.
void lui_look_back(uint32_t w) {
    int h = sequence_register(w, 0);
    if (h < 0) return;
    int length = std::clamp(settings.sequence_length, 0, recent_word_count);
    for (int k = 0; k < length; ++k) {
        uint32_t v = recent_word(k);
        // 001111 00000 ttttt iiiiiiiiiiiiiiii   lui rt, imm
        if ((v & 0xffe00000) == 0x3c000000 && rt(v) == h) {
            uint32_t address =
                (w & 0xfc000000) == 0x34000000 ? (v << 16 | uimm(w)) : (v << 16) + simm(w);
            data_display(address, false, display_mode::plain);
            return;
        }
        int m = sequence_register(v, k + 1);
        if (m == -1 || m == h) return;
    }
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
            s7_sequence_value += simm(w);
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

void write_special_comments(uint32_t a, uint32_t w) {
    uint32_t op = w & 0xfc000000;
    if (op == 0x8c000000) { // lw
        lw_pointer = followed_pointer;
        lw_address = a;
        lw_register = rt(w);
    } else if (op == 0x24000000 && recent_word(0) == 0 && a == lw_address + 8 && lw_pointer != 0 &&
               rs(w) == lw_register) {
        // lw reg,x($gp) / nop / addiu reg,reg,offset: an offset into the
        // table that the lw loaded.
        data_display(lw_pointer + simm(w), false, display_mode::plain);
    }
    lui_look_back(w);
    settings.flags &= ~flag::sequence_unsafe;
    feed_s7_recogniser(a, w);
}

} // namespace

void end_instruction_line(uint32_t a, uint32_t w) {
    write_map_comments(a);
    if (has_flag(flag::special_comments)) write_special_comments(a, w);
    if (has_flag(flag::highlight)) html_highlight(0);
    out_char('\n');
}

int sequence_register(uint32_t v, int d) {
    uint32_t op = v & 0xfc000000;
    bool base_using = (v & 0xf8000000) == 0x20000000     // addi, addiu
                      || ((v & 0xc0000000) == 0x80000000 // loads and stores
                          && op != 0xbc000000)           // but not cache
                      || (v & 0xdc000000) == 0xc0000000  // ll, sc
                      || op == 0x34000000;               // ori
    if (base_using) {
        if (d == 0) return rs(v);
        if ((v & 0xe0000000) == 0xa0000000 || op == 0xe0000000) return 32; // stores, sc
        return rt(v);
    }
    if (d == 0) return -1;
    if ((v & 0xf8000000) == 0x08000000 || (v & 0xfc00003e) == 0x00000008) { // j, jal, jr, jalr
        // A jump right before the current instruction has it in its delay
        // slot; one further back means the lui may sit on another path.
        if (d != 1) settings.flags |= flag::sequence_unsafe;
        return 32;
    }
    if (v == 0 || (v & 0xb0000000) == 0x10000000) return 32; // nop, beq, bne, blez, bgtz (likely)
    if ((v & 0xffe00000) == 0x3c000000                       // lui
        || (v & 0xf8000000) == 0x28000000                    // slti, sltiu
        || op == 0x30000000 || op == 0x38000000)             // andi, xori
        return rt(v);
    if ((v & 0xfc0007f8) == 0x00000020     // add, addu, sub, subu, and, or, xor, nor
        || (v & 0xfc0007ff) == 0x00000004  // sllv
        || (v & 0xfc0007fe) == 0x00000006  // srlv, srav
        || (v & 0xffe0003f) == 0           // sll
        || (v & 0xffe0003e) == 0x00000002) // srl, sra
        return rd(v);
    return -1; // REGIMM branches, multiplies, coprocessor words, ...
}

void reset_line_end() {
    comment_cursor = 0;
    lw_address = 0;
    lw_register = 0;
    lw_pointer = 0;
    s7_sequence_state = 0;
    s7_sequence_value = 0;
}
