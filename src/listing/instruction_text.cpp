// One decoded instruction as text: mnemonic (or the pseudo mnemonic "move"),
// the operands its row's syntax names, padding to the comment column, the
// display of $gp- and $s7-relative data, then the line end.
//
// The mnemonic and operands are formatted by hand into a small buffer and
// written at once; the bytes are those the printf formats in the comments
// would give. Jump targets and data displays are written by their owners.
#include "listing/instruction_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <utility>

#include "html/address_links.h"
#include "html/call_targets.h"
#include "html/page_elements.h"
#include "listing/data_display.h"
#include "listing/labels.h"
#include "listing/line_end.h"
#include "listing/references.h"
#include "listing/register_values.h"
#include "mips/decode.h"
#include "mips/fields.h"
#include "mips/operand_syntaxes.h"
#include "object/dynamic_file.h"
#include "util/output.h"
#include "util/run_settings.h"

namespace {

constexpr std::array<std::string_view, 32> cp0_register_names{
    "Index",    "Random",   "EntryLo0", "EntryLo1", "Context",  "PageMask", "Wired",    "reserved",
    "BadVAddr", "Count",    "EntryHi",  "Compare",  "Status",   "Cause",    "EPC",      "PRId",
    "Config",   "LLAddr",   "WatchLo",  "WatchHi",  "reserved", "reserved", "reserved", "Debug",
    "DEPC",     "reserved", "reserved", "reserved", "TagLo",    "reserved", "ErrorEPC", "DESAVE"};

constexpr std::array<std::string_view, 32> plain_register_names{
    "$0",  "$1",  "$2",  "$3",  "$4",  "$5",  "$6",  "$7",  "$8",  "$9",  "$10",
    "$11", "$12", "$13", "$14", "$15", "$16", "$17", "$18", "$19", "$20", "$21",
    "$22", "$23", "$24", "$25", "$26", "$27", "$28", "$29", "$30", "$31"};

constexpr std::array<std::string_view, 32> gcc_register_names{
    "$zero", "$at", "$v0", "$v1", "$a0", "$a1", "$a2", "$a3", "$t0", "$t1", "$t2",
    "$t3",   "$t4", "$t5", "$t6", "$t7", "$s0", "$s1", "$s2", "$s3", "$s4", "$s5",
    "$s6",   "$s7", "$t8", "$t9", "$k0", "$k1", "$gp", "$sp", "$fp", "$ra"};

// The register names in blocks of 8 bytes with their lengths: a line copies
// the whole block and keeps the name's part of it.
struct name_block {
    std::array<char, 8> text;
    int length;
};
constexpr std::array<name_block, 32> blocks_of(const std::array<std::string_view, 32>& names) {
    std::array<name_block, 32> blocks{};
    for (size_t i = 0; i < names.size(); ++i) {
        for (size_t k = 0; k < names[i].size(); ++k) blocks[i].text[k] = names[i][k];
        blocks[i].length = static_cast<int>(names[i].size());
    }
    return blocks;
}
constexpr std::array<name_block, 32> plain_register_blocks = blocks_of(plain_register_names);
constexpr std::array<name_block, 32> gcc_register_blocks = blocks_of(gcc_register_names);
constexpr name_block pseudo_zero_block{{'0'}, 1};

// The block of register x (0 to 31) under the current naming options.
const name_block& register_block(int x) {
    if (!has_flag(flag::gcc_names)) return plain_register_blocks[size_t(x)];
    if (x == 0 && has_flag(flag::pseudo_moves)) return pseudo_zero_block;
    return gcc_register_blocks[size_t(x)];
}

// The text of register x under the current naming options.
std::string_view register_text(int x) {
    if (x < 0 || x >= 32) return "REGERR";
    const name_block& name = register_block(x);
    return {name.text.data(), size_t(name.length)};
}

// True for the names register_name formats into a slot ("$5", "$a2", ...);
// the others ("$zero", "$v0", "$gp", ...) are fixed texts.
bool is_numbered_name(int x) {
    if (!has_flag(flag::gcc_names)) return true;
    return (x >= 4 && x <= 23);
}

// The mnemonic and operand text of one line, written out in one piece. (A
// line is far shorter than its buffer: writes of a whole register name block
// or of three tabs may run past the text's end.)
struct line_text {
    std::array<char, 128> text;
    int length = 0;

    void put(char c) { text[length++] = c; }
    void put(std::string_view s) {
        // (Through a local pointer: a store through a char pointer could
        // change length, which the compiler would then reload at every
        // character.)
        char* p = text.data() + length;
        for (char c : s) *p++ = c;
        length = static_cast<int>(p - text.data());
    }
    // "%0*x": lower-case hexadecimal, at least min_digits digits.
    void hex(uint32_t value, int min_digits) {
        length =
            static_cast<int>(put_hex_digits(text.data() + length, value, min_digits) - text.data());
    }
    // "%d".
    [[gnu::always_inline]] void decimal(int32_t value) {
        length = static_cast<int>(put_decimal(text.data() + length, value) - text.data());
    }
    // A general register, x from 0 to 31.
    [[gnu::always_inline]] void reg(int x) {
        const name_block& name = register_block(x);
        std::memcpy(text.data() + length, name.text.data(), name.text.size());
        length += name.length;
    }
    // "$f%d": an FPU register.
    void fpr(int x) {
        put("$f");
        decimal(x);
    }
    // Tabs to the comment column: the text "\t\t\t" from its character
    // n / 8 on, n being the number of operand characters.
    void pad(int operand_characters) {
        std::memcpy(text.data() + length, "\t\t\t", 3);
        length += std::max(0, 3 - operand_characters / 8);
    }
    void flush() {
        out_text(std::string_view(text.data(), static_cast<std::size_t>(length)));
        length = 0;
    }
};

// The condition code of bc1f, bc1t, movf and movt (bits 18 to 20).
constexpr int fcc_of_branch(uint32_t w) {
    return static_cast<int>(w >> 18 & 7);
}

// The CP0 register names of Release 2 by number and select; select 0 keeps
// the names of the default table.
struct cp0_select_name {
    int rd, sel; // sel -1: every select but 0
    std::string_view name;
};
constexpr std::array<cp0_select_name, 13> release2_cp0_names{{
    {4, 2, "UserLocal"},
    {5, 1, "PageGrain"},
    {12, 1, "IntCtl"},
    {12, 2, "SRSCtl"},
    {12, 3, "SRSMap"},
    {15, 1, "EBase"},
    {16, 1, "Config1"},
    {16, 2, "Config2"},
    {16, 3, "Config3"},
    {18, -1, "WatchLo"},
    {19, -1, "WatchHi"},
    {25, -1, "PerfCnt"},
    {27, -1, "CacheErr"},
}};

std::string_view release2_cp0_name(int rd, int select) {
    if (select == 0) return cp0_register_names[static_cast<size_t>(rd)];
    // The cache tags at even selects, the cache data at odd ones.
    if (rd == 28) return select % 2 == 0 ? "TagLo" : "DataLo";
    if (rd == 29) return select % 2 == 0 ? "TagHi" : "DataHi";
    for (const cp0_select_name& n : release2_cp0_names)
        if (n.rd == rd && (n.sel == select || n.sel == -1)) return n.name;
    return "reserved";
}

// Branch target: absolute "0x%x", or "%xr" from the last label under -r.
void branch_target(line_text& t, uint32_t target) {
    if (has_flag(flag::relative) && target >= last_label_address) {
        t.hex(target - last_label_address, 1);
        t.put('r');
    } else {
        t.put("0x");
        t.hex(target, 1);
    }
}

} // namespace

namespace {

// Five slots for the numbered names of register_name, so that the up to three
// names of one operand text stay valid together; the slot advances at every
// call.
char register_slots[5][10];
int register_slot = 0;

} // namespace

const char* register_name(int x) {
    register_slot = (register_slot + 1) % 5;
    std::string_view name = register_text(x);
    if (x < 0 || x >= 32 || !is_numbered_name(x)) return name.data(); // a fixed text
    char* s = register_slots[register_slot];
    name.copy(s, name.size());
    s[name.size()] = '\0';
    return s;
}

namespace {

// The register that field f names in d; -1 for a field that names none.
int register_in(const decoded_instruction& d, operand_field f) {
    switch (f) {
    case operand_field::rs:
    case operand_field::base: return d.rs;
    case operand_field::rt:
    case operand_field::index: return d.rt;
    case operand_field::rd: return d.rd;
    default: return -1;
    }
}

// The operand that -P or -S leaves out, or -1. -P writes addi, addiu and ori
// from $0, and add, addu and or with a $0 source, as "move" without that
// source; -S leaves out a source that names the destination's register, as
// the row allows (sub $1,$2,$1 keeps all three).
int left_out_operand(const decoded_instruction& d, bool& move_form) {
    const operand_syntax& syntax = d.row->operands;
    const int second = register_in(d, syntax.registers[1]);
    const int third = register_in(d, syntax.registers[2]);
    if (has_flag(flag::pseudo_moves) && (d.properties & property::move) != 0) {
        move_form = second == 0 || third == 0;
        if (move_form) return second == 0 ? 1 : 2;
    }
    const int first = register_in(d, syntax.registers[0]);
    if (first < 0) return -1;
    if ((d.properties & property::short_first) != 0 && second == first) return 1;
    if ((d.properties & property::short_second) != 0 && third == first) return 2;
    return -1;
}

// The value of an operand that is left out when it is 0.
uint32_t optional_value(const decoded_instruction& d, operand_field f) {
    switch (f) {
    case operand_field::cc: return static_cast<uint32_t>(fcc_of_branch(d.word));
    case operand_field::cmpcc: return d.word >> 8 & 7;
    case operand_field::code19: return d.word >> 6 & 0x7ffff;
    case operand_field::ac: return d.word >> 11 & 3;
    case operand_field::ac_rs: return d.word >> 21 & 3;
    case operand_field::ac18: return d.word >> 18 & 3;
    case operand_field::ac13: return d.word >> 13 & 3;
    case operand_field::rt: return d.rt;
    case operand_field::rd: return d.rd;
    default: return 1;
    }
}

[[gnu::always_inline]] inline void write_field(line_text& t, const decoded_instruction& d,
                                               operand_field f) {
    const uint32_t w = d.word;
    switch (f) {
        using enum operand_field;
    case rs:
    case base: t.reg(d.rs); break;
    case rt:
    case index: t.reg(d.rt); break;
    case rd: t.reg(d.rd); break;
    // FPU registers are "$fN" under every naming option.
    case fd: t.fpr(d.sa); break;
    case fs: t.fpr(d.rd); break;
    case ft: t.fpr(d.rt); break;
    case fr: t.fpr(d.rs); break;
    case sa: t.decimal(d.sa); break;
    case size:
        // 011111 sssss ttttt mmmmm ppppp 000000   ext rt,rs,pos,size: m = size - 1
        // 011111 sssss ttttt mmmmm ppppp 000100   ins rt,rs,pos,size: m = pos + size - 1
        // (ins with m below pos gives a negative size, written as it is.)
        t.decimal(d.rd + 1 - (funct(w) == 4 ? d.sa : 0));
        break;
    case op: t.decimal(d.rt); break;
    case hint: t.decimal(d.rd); break;
    case offset: t.decimal(d.offset); break;
    case immediate:
        t.decimal(d.offset);
        // The immediate echo "=0x%04x": for values above 9 and negative ones,
        // but not for the stack adjustment addiu $sp,$sp,...
        if (static_cast<uint32_t>(d.offset) > 9 && (w & 0xffff0000) != 0x27bd0000) {
            t.put("=0x");
            t.hex(uimm(w), 4);
        }
        break;
    case uimmediate: t.put("0x"), t.hex(uimm(w), 1); break;
    case target: branch_target(t, d.target); break;
    case code: t.put("0x"), t.hex(::code20(w), 5); break;
    case code10: t.put("0x"), t.hex(::code10(w), 3); break;
    case code19: t.put("0x"), t.hex(optional_value(d, f), 5); break;
    case cc:
    case cmpcc: t.put("$fcc"), t.decimal(static_cast<int32_t>(optional_value(d, f))); break;
    case creg: t.put('$'), t.decimal(d.rd); break;
    case cp0:
    case cp0sel:
        t.put('R');
        t.decimal(d.rd);
        if (sel(w) != 0) t.put('.'), t.decimal(sel(w));
        break;
    case cofun: t.put("0x"), t.hex(jump_index(w), 7); break;
    case ac:
    case ac_rs:
    case ac18:
    case ac13: t.put("$ac"), t.decimal(static_cast<int32_t>(optional_value(d, f))); break;
    case cp0_rt:
        t.put('R');
        t.decimal(d.rt);
        if (sel(w) != 0) t.put('.'), t.decimal(sel(w));
        break;
    case creg_rt: t.put('$'), t.decimal(d.rt); break;
    case rs_n: t.decimal(d.rs); break;
    case rd_n: t.decimal(d.rd); break;
    case imm8: t.put("0x"), t.hex(w >> 16 & 0xff, 1); break;
    case imm10: t.decimal(static_cast<int32_t>(w << 6) >> 22); break;
    case shift6: t.decimal(static_cast<int32_t>(w << 6) >> 26); break;
    case mask_rt: t.decimal(static_cast<int32_t>(w >> 16 & 0x3f)); break;
    case mask_rd: t.decimal(static_cast<int32_t>(w >> 11 & 0x3f)); break;
    case u_bit: t.decimal(static_cast<int32_t>(w >> 5 & 1)); break;
    case h_bit: t.decimal(static_cast<int32_t>(w >> 4 & 1)); break;
    case sel3: t.decimal(static_cast<int32_t>(w & 7)); break;
    case bit3: t.decimal(static_cast<int32_t>(w >> 12 & 7)); break;
    case offset12: t.decimal(static_cast<int32_t>(w << 20) >> 20); break;
    case jump:
    case none: break;
    }
}

// ---- operands, by code made for each syntax while compiling -----------------

// One piece of a syntax: a field or a character.
template <uint8_t piece>
[[gnu::always_inline]] inline void write_piece(line_text& t, const decoded_instruction& d) {
    if constexpr (piece >= field_piece)
        write_field(t, d, static_cast<operand_field>(piece - field_piece));
    else
        t.put(static_cast<char>(piece));
}

// Operand k of syntax s, unless it is left out; a ',' before it when an
// operand has been written.
template <size_t s, size_t k>
[[gnu::always_inline]] inline void write_operand(line_text& t, const decoded_instruction& d,
                                                 int left_out, bool& written) {
    constexpr const operand_syntax& syntax = operand_syntaxes[s];
    constexpr size_t begin = syntax.starts[k], end = syntax.starts[k + 1];
    if (static_cast<int>(k) == left_out) return;
    if constexpr ((syntax.optional >> k & 1) != 0) {
        if (optional_value(d, static_cast<operand_field>(syntax.pieces[begin] - field_piece)) == 0)
            return;
    }
    if (written) t.put(',');
    written = true;
    [&]<size_t... j>(std::index_sequence<j...>) {
        (write_piece<syntax.pieces[begin + j]>(t, d), ...);
    }
    (std::make_index_sequence<end - begin>{});
}

// The operands of syntax s, but for the one left out.
template <size_t s> void write_operands(line_text& t, const decoded_instruction& d, int left_out) {
    bool written = false;
    [&]<size_t... k>(std::index_sequence<k...>) {
        (write_operand<s, k>(t, d, left_out, written), ...);
    }
    (std::make_index_sequence<operand_syntaxes[s].operand_count>{});
}

using operand_writer = void (*)(line_text&, const decoded_instruction&, int);
constexpr auto operand_writers = []<size_t... s>(std::index_sequence<s...>) {
    return std::array<operand_writer, sizeof...(s)>{&write_operands<s>...};
}
(std::make_index_sequence<operand_syntax_count>{});

// j and jal: the target through the address printer (linked in HTML output),
// counted as a call target, then "\t\t#" and the names at the target; no
// padding.
void write_jump(line_text& t, const decoded_instruction& d) {
    t.flush();
    print_address(d.target, nullptr);
    record_call_target(d.target, d.kind == instruction_kind::call);
    out_text("\t\t#");
    show_labels(d.target, label_mode::comment);
}

// Data behind a $gp- or $s7-relative load, store or addiu. An addiu with
// rs = rt only sets up its base register and shows nothing.
void write_data_display(const decoded_instruction& d) {
    if ((d.properties & property::data) == 0 || (d.base < 0 && d.rs == d.rt)) return;
    if (d.rs == 28 && settings.gp_value != 0) {
        // lw $t9,offset($gp) loads a function pointer from the global pointer
        // area.
        const bool function = is_row(d, "lw") && d.rt == 25;
        const uint32_t a = settings.gp_value + static_cast<uint32_t>(d.offset);
        display_mode mode = function ? display_mode::function_pointer : display_mode::plain;
        if (a >= listed_got.start && a < listed_got.end) {
            mode = function                   ? display_mode::got_function
                   : a < listed_got.local_end ? display_mode::got_local
                                              : display_mode::got_entry;
        }
        data_display(a, true, mode);
    } else if (d.rs == 23 && settings.s7_value != 0) {
        data_display(settings.s7_value + static_cast<uint32_t>(d.offset), true,
                     display_mode::plain);
    }
}

} // namespace

void write_instruction(const decoded_instruction& d, bool with_columns) {
    followed_pointer = 0;
    line_text t;
    if (with_columns) {
        put_word_prefix(t.text.data(), d.address, d.word);
        t.length = word_prefix_length;
    }
    if (d.word == 0) {
        t.put("nop\t\t\t\t");
        t.flush();
        end_instruction_line(d);
        return;
    }
    if (d.row == nullptr) {
        t.put("const\t0x");
        t.hex(d.word, 8);
        t.put("\t\t");
        t.flush();
        end_instruction_line(d);
        return;
    }
    if (has_flag(flag::highlight)) {
        // The colour begins after the columns.
        t.flush();
        html_highlight_instruction(d.properties);
    }
    const operand_syntax& syntax = d.row->operands;
    bool move_form = false;
    const int left_out =
        has_flag(flag::short_operands | flag::pseudo_moves) ? left_out_operand(d, move_form) : -1;
    t.put(move_form ? std::string_view("move") : d.row->name);
    t.put('\t');
    if (syntax.has(operand_field::jump)) {
        write_jump(t, d);
        end_instruction_line(d);
        return;
    }
    const int operands_start = t.length;
    operand_writers[d.row->syntax_index](t, d, left_out);
    t.pad(t.length - operands_start);
    // The CP0 register's name, under -c.
    if (has_flag(flag::special_comments) && syntax.has(operand_field::cp0)) {
        t.put("# ");
        t.put(cp0_register_names[d.rd]);
    } else if (has_flag(flag::special_comments) && syntax.has(operand_field::cp0sel)) {
        t.put("# ");
        t.put(release2_cp0_name(d.rd, sel(d.word)));
    } else if (has_flag(flag::special_comments) && syntax.has(operand_field::cp0_rt)) {
        t.put("# ");
        t.put(release2_cp0_name(d.rt, sel(d.word)));
    }
    t.flush();
    write_data_display(d);
    if (has_flag(flag::cross_references) &&
        (d.kind == instruction_kind::call_register || d.kind == instruction_kind::branch_and_link ||
         is_tail_call(d)))
        write_callee_comment(d);
    end_instruction_line(d);
}

void decode_instruction(uint32_t address, uint32_t word) {
    write_instruction(decode_word(address, word));
}

void reset_decoder() {
    register_slot = 0;
}
