// One instruction word as text: mnemonic (or the pseudo mnemonic "move"),
// operands in the form its mask word selects, padding to the comment column,
// the display of $gp- and $s7-relative data, then the line end.
//
// The mnemonic and operands are formatted by hand into a small buffer and
// written at once; the bytes are those the printf formats in the comments
// would give. Jump targets and data displays are written by their owners.
#include "listing/decode.h"

#include <array>
#include <cstring>
#include <string_view>

#include "html/address_links.h"
#include "html/page_elements.h"
#include "listing/data_display.h"
#include "listing/labels.h"
#include "listing/line_end.h"
#include "mips/fields.h"
#include "mips/opcode_table.h"
#include "symbols/symbol_table.h"
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

// The text of register x under the current naming options.
std::string_view register_text(int x) {
    if (x < 0 || x >= 32) return "REGERR";
    if (!has_flag(flag::gcc_names)) return plain_register_names[x];
    if (x == 0 && has_flag(flag::pseudo_moves)) return "0";
    return gcc_register_names[x];
}

// True for the names register_name formats into a slot ("$5", "$a2", ...);
// the others ("$zero", "$v0", "$gp", ...) are fixed texts.
bool is_numbered_name(int x) {
    if (!has_flag(flag::gcc_names)) return true;
    return (x >= 4 && x <= 23);
}

// The mnemonic and operand text of one line, written out in one piece.
struct line_text {
    std::array<char, 128> text;
    int length = 0;

    void put(char c) { text[length++] = c; }
    void put(std::string_view s) {
        for (char c : s) text[length++] = c;
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
    [[gnu::always_inline]] void reg(int x) { put(register_text(x)); }
    // "$f%d": an FPU register.
    void fpr(int x) {
        put("$f");
        decimal(x);
    }
    // Tabs to the comment column: the text "\t\t\t" from its character
    // n / 8 on, n being the number of operand characters.
    void pad(int operand_characters) {
        for (int i = operand_characters / 8; i < 3; ++i) put('\t');
    }
    void flush() {
        out_text(std::string_view(text.data(), static_cast<std::size_t>(length)));
        length = 0;
    }
};

// "%s,%s" or "%s,%s,%s" of the three-register formats, with the short forms
// of -S: a move shows its two registers, rd = rs is left out, and so is
// rd = rt except in a subtraction (sub $1,$2,$1 keeps all three).
void three_registers(line_text& t, operand_format format, int d, int s, int r, bool short_form,
                     bool move_form) {
    t.reg(d);
    t.put(',');
    if (short_form && move_form) {
        t.reg(s);
    } else if (short_form && d == s) {
        t.reg(r);
    } else if (short_form && d == r && format == operand_format::three_reg) {
        t.reg(s);
    } else {
        t.reg(s);
        t.put(',');
        t.reg(r);
    }
}

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

void decode_instruction(uint32_t address, uint32_t w) {
    followed_pointer = 0;
    bool move_form = false;

    if (w == 0) {
        out_text("nop\t\t\t\t");
        end_instruction_line(address, 0, property::none);
        return;
    }
    const opcode_entry* found = find_entry(w);
    if (found == nullptr) {
        line_text t;
        t.put("const\t0x");
        t.hex(w, 8);
        t.put("\t\t");
        t.flush();
        end_instruction_line(address, w, property::none);
        return;
    }
    const opcode_entry& entry = *found;
    if (has_flag(flag::highlight)) html_highlight_instruction(entry.properties);

    const bool pseudo = has_flag(flag::pseudo_moves);
    const bool short_form = pseudo || has_flag(flag::short_operands);
    int s = rs(w), r = rt(w);
    const int d = rd(w);
    const uint32_t next = address + 4;

    line_text t;
    // -P: addi, addiu and ori from $0, and add, addu and or with a $0 source,
    // are written as "move"; the non-zero source (or $0) becomes rs.
    if (pseudo && (entry.properties & property::move) != 0) {
        if (entry.format == operand_format::three_reg) {
            if (s == 0 || r == 0) {
                if (r != 0) s = r, r = 0;
                move_form = true;
            }
        } else {
            move_form = s == 0;
        }
    }
    if (move_form) {
        t.put("move\t");
    } else {
        t.put(entry.name);
        t.put('\t');
    }
    const int operands_start = t.length;
    bool padded = true; // the format takes the usual padding

    switch (entry.format) {
        using enum operand_format;
    case three_reg:
    case three_reg_sub: three_registers(t, entry.format, d, s, r, short_form, move_form); break;
    case three_reg_full:
        three_registers(t, entry.format, d, s, r, false, false); // "%s,%s,%s" rd, rs, rt
        break;
    case shift_var: three_registers(t, entry.format, d, r, s, false, false); break;
    case shift: // "%s," rd unless -S and rd = rt, then "%s,%d" rt, sa
        if (!(short_form && d == r)) t.reg(d), t.put(',');
        t.reg(r);
        t.put(',');
        t.decimal(sa(w));
        break;
    case imm_signed:
    case imm_unsigned: // "%s," rt, "%s," rs unless left out, then the immediate
        t.reg(r);
        t.put(',');
        if (!move_form && !(short_form && s == r)) t.reg(s), t.put(',');
        if (entry.format == imm_unsigned) {
            t.put("0x");
            t.hex(uimm(w), 1);
        } else {
            t.decimal(simm(w));
            // The immediate echo "=0x%04x": for values above 9 and negative
            // ones, but not for the stack adjustment addiu $sp,$sp,...
            if (static_cast<uint32_t>(simm(w)) > 9 && (w & 0xffff0000) != 0x27bd0000) {
                t.put("=0x");
                t.hex(uimm(w), 4);
            }
        }
        break;
    case lui: // "%s,0x%x" rt, uimm
        t.reg(r);
        t.put(",0x");
        t.hex(uimm(w), 1);
        break;
    case load_store:     // "%s,%d(%s)" rt, simm, rs
    case load_store_fpu: // "$f%d,%d(%s)" ft, simm, rs
        if (entry.format == load_store_fpu)
            t.fpr(r);
        else
            t.reg(r);
        t.put(',');
        t.decimal(simm(w));
        t.put('(');
        t.reg(s);
        t.put(')');
        break;
    case cache: // "%d,%d(%s)" op, simm, rs
        t.decimal(r);
        t.put(',');
        t.decimal(simm(w));
        t.put('(');
        t.reg(s);
        t.put(')');
        break;
    case branch2: // "%s,%s," rs, rt, then the target
        t.reg(s);
        t.put(',');
        t.reg(r);
        t.put(',');
        branch_target(t, next + static_cast<uint32_t>(simm(w)) * 4);
        break;
    case branch1: // "%s," rs, then the target
        t.reg(s);
        t.put(',');
        branch_target(t, next + static_cast<uint32_t>(simm(w)) * 4);
        break;
    case jump_target: {
        // The target "0x%x" (linked in HTML output, counted as a call
        // target), then "\t\t#" and the names at the target; no padding.
        uint32_t target = (next & 0xf0000000) | (jump_index(w) << 2);
        t.flush();
        print_address(target, nullptr);
        out_text("\t\t#");
        show_labels(target, label_mode::comment);
        end_instruction_line(address, w, entry.properties);
        return;
    }
    case jalr: // "%s,%s" rd, rs
        t.reg(d);
        t.put(',');
        t.reg(s);
        break;
    case reg_rs: t.reg(s); break;
    case reg_rd: t.reg(d); break;
    case two_reg: // "%s,%s" rs, rt
        t.reg(s);
        t.put(',');
        t.reg(r);
        break;
    case code: // "0x%05x" code20
        t.put("0x");
        t.hex(code20(w), 5);
        break;
    case trap: // "%s,%s,0x%03x" rs, rt, code10
        t.reg(s);
        t.put(',');
        t.reg(r);
        t.put(",0x");
        t.hex(code10(w), 3);
        break;
    case trap_imm: // "%s,%d" rs, simm
        t.reg(s);
        t.put(',');
        t.decimal(simm(w));
        break;
    case sync: t.decimal(sa(w)); break;
    case cp0_move:        // "%s,R%d" rt, rd, ".%d" sel when not 0; under -c "# %s"
    case cp0_move_select: // the same, with the Release 2 names of rd and sel
        t.reg(r);
        t.put(",R");
        t.decimal(d);
        if (sel(w) != 0) t.put('.'), t.decimal(sel(w));
        t.pad(t.length - operands_start);
        if (has_flag(flag::special_comments)) {
            t.put("# ");
            t.put(entry.format == cp0_move ? cp0_register_names[static_cast<size_t>(d)]
                                           : release2_cp0_name(d, sel(w)));
        }
        padded = false;
        break;
    case coprocessor: // "0x%07x" index
        t.put("0x");
        t.hex(jump_index(w), 7);
        break;
    // The rows of the Release 2 table. FPU registers are "$fN" under every
    // naming option; fd, fs, ft and fr stand in the sa, rd, rt and rs fields.
    case no_operands: break;
    case wait_code: // nothing for code 0, else "0x%05x"
        if (const uint32_t code = w >> 6 & 0x7ffff; code != 0) t.put("0x"), t.hex(code, 5);
        break;
    case reg_rt: t.reg(r); break;
    case rd_rt: // "%s,%s" rd, rt
        t.reg(d);
        t.put(',');
        t.reg(r);
        break;
    case clz: // "%s,%s" rd, rs
        t.reg(d);
        t.put(',');
        t.reg(s);
        break;
    case rdhwr: // "%s,$%d" rt, rd
        t.reg(r);
        t.put(",$");
        t.decimal(d);
        break;
    case ext: // "%s,%s,%d,%d" rt, rs, pos, size = rd + 1
        t.reg(r), t.put(','), t.reg(s), t.put(',');
        t.decimal(sa(w)), t.put(','), t.decimal(d + 1);
        break;
    case ins: // "%s,%s,%d,%d" rt, rs, pos, size = rd + 1 - pos, signed
        t.reg(r), t.put(','), t.reg(s), t.put(',');
        t.decimal(sa(w)), t.put(','), t.decimal(d + 1 - sa(w));
        break;
    case synci: // "%d(%s)" simm, rs
        t.decimal(simm(w));
        t.put('(');
        t.reg(s);
        t.put(')');
        break;
    case gpr_movcf: // "%s,%s,$fcc%d" rd, rs, cc
        t.reg(d), t.put(','), t.reg(s);
        t.put(",$fcc");
        t.decimal(fcc_of_branch(w));
        break;
    case fpu_three: // "$f%d,$f%d,$f%d" fd, fs, ft
        t.fpr(sa(w)), t.put(','), t.fpr(d), t.put(','), t.fpr(r);
        break;
    case fpu_two: // "$f%d,$f%d" fd, fs
        t.fpr(sa(w)), t.put(','), t.fpr(d);
        break;
    case fpu_compare: // "$fcc%d," when cc is not 0, then "$f%d,$f%d" fs, ft
        if (const int cc = w >> 8 & 7; cc != 0) t.put("$fcc"), t.decimal(cc), t.put(',');
        t.fpr(d), t.put(','), t.fpr(r);
        break;
    case fpu_branch: // "$fcc%d," when cc is not 0, then the target
        if (const int cc = fcc_of_branch(w); cc != 0) t.put("$fcc"), t.decimal(cc), t.put(',');
        branch_target(t, next + static_cast<uint32_t>(simm(w)) * 4);
        break;
    case fpu_movcf: // "$f%d,$f%d,$fcc%d" fd, fs, cc
        t.fpr(sa(w)), t.put(','), t.fpr(d);
        t.put(",$fcc");
        t.decimal(fcc_of_branch(w));
        break;
    case fpu_movzn: // "$f%d,$f%d,%s" fd, fs, rt
        t.fpr(sa(w)), t.put(','), t.fpr(d), t.put(','), t.reg(r);
        break;
    case fpu_gpr_move: // "%s,$f%d" rt, fs
        t.reg(r), t.put(','), t.fpr(d);
        break;
    case fpu_control: // "%s,$%d" rt, fs
        t.reg(r);
        t.put(",$");
        t.decimal(d);
        break;
    case fpu_indexed_load: // "$f%d,%s(%s)" fd, rt, rs
        t.fpr(sa(w)), t.put(','), t.reg(r), t.put('('), t.reg(s), t.put(')');
        break;
    case fpu_indexed_store: // "$f%d,%s(%s)" fs, rt, rs
        t.fpr(d), t.put(','), t.reg(r), t.put('('), t.reg(s), t.put(')');
        break;
    case prefx: // "%d,%s(%s)" hint, rt, rs
        t.decimal(d), t.put(','), t.reg(r), t.put('('), t.reg(s), t.put(')');
        break;
    case fpu_madd: // "$f%d,$f%d,$f%d,$f%d" fd, fr, fs, ft
        t.fpr(sa(w)), t.put(','), t.fpr(s), t.put(','), t.fpr(d), t.put(','), t.fpr(r);
        break;
    case alnv_ps: // "$f%d,$f%d,$f%d,%s" fd, fs, ft, rs
        t.fpr(sa(w)), t.put(','), t.fpr(d), t.put(','), t.fpr(r), t.put(','), t.reg(s);
        break;
    }
    if (padded) t.pad(t.length - operands_start);
    t.flush();

    // Data behind a $gp- or $s7-relative load, store or addiu. An addiu with
    // rs = rt only sets up its base register and shows nothing.
    s = rs(w);
    if ((entry.properties & property::data) != 0 &&
        !(entry.format == operand_format::imm_signed && s == rt(w))) {
        if (s == 28 && settings.gp_value != 0) {
            // lw $t9,offset($gp) loads a function pointer from the global
            // pointer area.
            display_mode mode = (w & 0xffff0000) == 0x8f990000 ? display_mode::function_pointer
                                                               : display_mode::plain;
            data_display(settings.gp_value + static_cast<uint32_t>(simm(w)), true, mode);
        } else if (s == 23 && settings.s7_value != 0) {
            data_display(settings.s7_value + static_cast<uint32_t>(simm(w)), true,
                         display_mode::plain);
        }
    }
    end_instruction_line(address, w, entry.properties);
}

void reset_decoder() {
    register_slot = 0;
}
