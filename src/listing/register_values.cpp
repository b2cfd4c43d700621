#include "listing/register_values.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "listing/data_display.h"
#include "mips/fields.h"
#include "object/dynamic_file.h"
#include "symbols/symbol_table.h"
#include "util/run_settings.h"

namespace {

// 001111 00000 ttttt iiiiiiiiiiiiiiii   lui rt, imm
constexpr bool is_lui(uint32_t w) {
    return (w & 0xffe00000) == 0x3c000000;
}
// 100011 11100 ttttt iiiiiiiiiiiiiiii   lw rt, offset($gp)
constexpr bool is_gp_load(uint32_t w) {
    return (w & 0xffe00000) == 0x8f800000;
}

// The look-back's length in words.
int look_back_length() {
    return std::clamp(settings.sequence_length, 0, recent_word_count);
}

// The value a register gets from the word v that sets it when v is a lui, or
// a lw from a local entry of the global offset table; false for any other
// word.
bool high_part_of(uint32_t v, uint32_t& value) {
    if (is_lui(v)) {
        value = v << 16;
        return true;
    }
    if (!is_gp_load(v) || settings.gp_value == 0) return false;
    const uint32_t slot = settings.gp_value + static_cast<uint32_t>(simm(v));
    return slot >= listed_got.start && slot < listed_got.local_end && read_listed_word(slot, value);
}

// Registers that a callee keeps: $s0-$s7, $gp, $sp, $fp.
constexpr bool kept_by_callee(int r) {
    return (r >= 16 && r <= 23) || (r >= 28 && r <= 30);
}

// A call whose callee runs: not bltzal, nor a bal to the word after its
// delay slot, which only take the program counter.
bool runs_callee(const decoded_instruction& v) {
    return is_call_word(v) &&
           !(v.kind == instruction_kind::branch_and_link && v.target == v.address + 8);
}

// Whether store w may write a byte of the word at offset o from its base:
// sd and its kin write 8 bytes, sb 1, sh 2, the others 4 (swr and sdr below
// their offset).
bool writes_over(const decoded_instruction& w, int32_t o) {
    const std::string_view n = w.row != nullptr ? w.row->name : "sd";
    const int32_t size = n == "sb" ? 1 : n == "sh" ? 2 : n.starts_with("sd") || n == "scd" ? 8 : 4;
    const int32_t low = w.offset - (n == "swr" || n == "sdr" ? size - 1 : 0);
    return low < o + 4 && low + size > o;
}

// What last_write finds besides an index.
constexpr int no_write = -1; // no word within reach writes the register
constexpr int untold = -2;   // a word on the way may write it, or a callee ran

struct look_back {
    const word_history& history;
    uint32_t point; // address of the word after index 0
    int limit;      // indexes below it are looked at
    int own_call;
    int depth;
    // Jumps in between are passed over, as a branch around them may lead
    // past them: for a dispatch, whose table's entries are checked after.
    bool cross_jumps = false;

    uint32_t address_of(int k) const { return point - 4 * static_cast<uint32_t>(k + 1); }

    // Index of the word that last wrote r among those from first on;
    // no_write when none within reach does, untold when the words do not tell.
    int last_write(int r, int first) const {
        code_path path{history, point, limit, cross_jumps};
        int k = path.start(first);
        for (; k >= 0 && k < limit; k = path.after(k)) {
            const decoded_instruction v = decode_word(address_of(k), history.word(k));
            // The call being looked at writes no argument; a link, $ra.
            if (k == own_call) {
                if (r == 31 && (v.properties & property::links) != 0) return k;
                continue;
            }
            switch (v.kind) {
            case instruction_kind::jump:
            case instruction_kind::jump_register:
                if (cross_jumps) continue;
                return untold;
            case instruction_kind::call:
            case instruction_kind::call_register:
            case instruction_kind::branch_and_link:
                // Its callee ran before the point, unless the point is its
                // delay slot.
                if (k > first && runs_callee(v) && !kept_by_callee(r)) return untold;
                if (r == 31 || (v.kind == instruction_kind::call_register && v.rd == r)) return k;
                continue;
            case instruction_kind::branch:
            case instruction_kind::store: continue;
            default: break;
            }
            if (v.word == 0) continue;
            const int written = register_written(v);
            if (written == r) return in_delay_slot_of_call(k) && !kept_by_callee(r) ? untold : k;
            if (written < 0) return untold;
        }
        return k < 0 ? untold : no_write;
    }

    // Whether r holds $gp's value after the words from first on.
    bool holds_gp(int r, int first) const {
        // (Nor does $sp, the base of most loads.)
        if (r == 28 || r == 29 || depth >= 3 || settings.gp_value == 0) return r == 28;
        register_value v;
        return look_back{history, point, limit, own_call, depth + 1, cross_jumps}.value_of(r, first,
                                                                                           v) &&
               v.known && v.value == settings.gp_value;
    }

    // Whether the word at k stands in the delay slot of a call (not the one
    // looked at), whose callee then ran after it.
    bool in_delay_slot_of_call(int k) const {
        if (k + 1 >= history_capacity || k + 1 == own_call) return false;
        return runs_callee(decode_word(address_of(k + 1), history.word(k + 1)));
    }

    // Index of the sw that stored the word that lw v, at index k, reloads
    // from a slot of the frame ($sp or $fp); untold when the words do not
    // tell: the base changes, or another store overlaps the slot.
    int frame_store(const decoded_instruction& v, int k) const {
        code_path path{history, point, limit, cross_jumps};
        for (int j = path.start(k + 1); j >= 0 && j < limit; j = path.after(j)) {
            const decoded_instruction w = decode_word(address_of(j), history.word(j));
            if (w.kind == instruction_kind::store) {
                if (w.rs != v.rs) continue;
                if (is_row(w, "sw") && w.offset == v.offset) return j;
                if (writes_over(w, v.offset)) return untold;
            } else if (w.kind == instruction_kind::jump ||
                       w.kind == instruction_kind::jump_register) {
                if (!cross_jumps) return untold;
            } else {
                const int written = register_written(w);
                if (written == v.rs || written < 0) return untold;
            }
        }
        return untold;
    }

    // The value a lw from a frame slot reloads: the one stored there.
    bool reloaded(const decoded_instruction& v, int k, register_value& out) const {
        const int j = frame_store(v, k);
        if (j < 0 || depth >= 3) return false;
        const int stored = (history.word(j) >> 16) & 31;
        return look_back{history, point, limit, own_call, depth + 1, cross_jumps}.value_of(
            stored, j + 1, out);
    }

    bool value_of(int r, int first, register_value& out) const {
        if (r == 0) return out = {0, 0, value_form::number, true}, true;
        const int k = last_write(r, first);
        // $gp holds the base the listing knows, where the words do not set it.
        if (k == no_write && r == 28 && settings.gp_value != 0)
            return out = {settings.gp_value, 0, value_form::address, true}, true;
        if (k < 0) return false;
        const decoded_instruction v = decode_word(address_of(k), history.word(k));
        if (is_lui(v.word)) return out = {v.word << 16, 0, value_form::number, true}, true;
        // A lw from a $gp slot, $gp or a register that holds its value.
        if (is_gp_load(v.word) || (is_row(v, "lw") && holds_gp(v.rs, k + 1))) {
            if (settings.gp_value == 0) return false;
            const uint32_t slot = settings.gp_value + static_cast<uint32_t>(v.offset);
            uint32_t word = 0;
            const bool held = read_listed_word(slot, word);
            out = {held ? word : 0, slot, value_form::slot, held};
            return true;
        }
        if (is_row(v, "lw") && (v.rs == 29 || v.rs == 30)) return reloaded(v, k, out);
        // The $gp set-up of position-independent code, "addu r,r,$t9" after
        // the lui and addiu of _gp_disp, in a register of its own.
        if (is_row(v, "addu") && (v.rs == 25 || v.rt == 25) && settings.gp_value != 0)
            return out = {settings.gp_value, 0, value_form::address, true}, true;
        const bool addiu = is_row(v, "addiu"), ori = is_row(v, "ori");
        const bool move = (is_row(v, "addu") || is_row(v, "or")) && (v.rs == 0 || v.rt == 0);
        if ((!addiu && !ori && !move) || depth >= 3) return false;
        register_value source;
        const int from = move && v.rs == 0 ? v.rt : v.rs;
        if (!look_back{history, point, limit, own_call, depth + 1, cross_jumps}.value_of(
                from, k + 1, source))
            return false;
        if (move) return out = source, true;
        if (!source.known) return false;
        // An immediate added to a lui or to a word from a slot forms an address.
        const bool forms_address = source.slot != 0 || (source.value & 0xffff) == 0;
        out = source;
        out.value =
            addiu ? source.value + static_cast<uint32_t>(v.offset) : source.value | uimm(v.word);
        if (v.rs != 0 && forms_address) out.form = value_form::address;
        return true;
    }
};

bool has_name(uint32_t a) {
    if (!entry_may_stand_at(a)) return false;
    for (int i = first_symbol_at(a); i < symbol_count && symbol_table[i].address == a; ++i)
        if (symbol_table[i].name[0] != '\0') return true;
    return false;
}

} // namespace

int look_back_register(const decoded_instruction& v, int d, bool& unsafe) {
    const uint16_t properties = v.properties;
    if (d == 0) return (properties & property::base_rs) != 0 ? v.rs : -1;
    if (v.word == 0) return 32; // nop
    // A jump d words back: one right before the current instruction has it
    // in its delay slot; one further back means the lui may sit on another
    // path.
    if ((properties & property::jump) != 0) {
        if (d != 1) unsafe = true;
        return 32;
    }
    // beq, bne, blez, bgtz and their likely forms; other branches end the
    // look-back.
    if ((properties & property::extends) != 0) return 32;
    if (v.writes >= 0) return v.writes;
    if ((properties & property::base_rs) != 0) return 32; // a store
    return -1; // multiplies, mfhi, slt, coprocessor words, REGIMM branches, ...
}

int code_path::start(int first) {
    if (!over_jumps) return first;
    // The run reaches up to the word the walk is about, after index first.
    top = address_of(first) + 4;
    return settle(first);
}

// Whether v, a jump or a branch that always goes, leads elsewhere than into
// the run from the word after its delay slot to top.
bool leaves_run(const code_path& p, const decoded_instruction& v) {
    const bool always = is_row(v, "beq") && v.rs == v.rt;
    if (v.kind == instruction_kind::jump_register) return true;
    if (v.kind != instruction_kind::jump && !always) return false;
    return v.target < v.address + 8 || v.target > p.top;
}

int code_path::settle(int k) {
    if (k + 1 >= limit) return std::min(k, limit);
    const decoded_instruction jump = decode_word(address_of(k + 1), history.word(k + 1));
    if (!leaves_run(*this, jump)) return k;
    // The word at k is the delay slot of a jump that goes elsewhere: the run
    // is entered by a branch further back. Where none is, the nearest jr
    // other than jr $ra may lead there (to a case of a switch).
    const uint32_t low = address_of(k - 1);
    int computed = jump.kind == instruction_kind::jump_register && jump.rs != 31 ? k + 1 : -1;
    for (int b = k + 3; b < limit; ++b) {
        const decoded_instruction v = decode_word(address_of(b), history.word(b));
        const bool branch = v.kind == instruction_kind::branch || v.kind == instruction_kind::jump;
        if (branch && v.has_target && v.target >= low && v.target <= top) {
            computed = b;
            break;
        }
        if (computed < 0 && v.kind == instruction_kind::jump_register && v.rs != 31) computed = b;
    }
    if (computed < 0) return -1;
    top = address_of(computed - 1);
    entered = computed;
    return computed - 1;
}

decoded_instruction known_row(const decoded_instruction& v) {
    if (v.row != nullptr || active_instruction_set() == instruction_set::release2) return v;
    return decode_word(v.address, v.word, instruction_set::release2);
}

int register_written(const decoded_instruction& d) {
    const decoded_instruction v = known_row(d);
    if (v.writes >= 0) return v.writes;
    if (v.row == nullptr || v.row->operands.has(operand_field::cofun)) return -1;
    // Moves to a coprocessor and its loads read their first register, and
    // wrpgpr writes a shadow set's.
    static constexpr std::array<std::string_view, 9> first_read{
        "mtc0", "mtc1", "mthc1", "ctc1", "wrpgpr", "lwc1", "ldc1", "lwc2", "ldc2"};
    if (std::find(first_read.begin(), first_read.end(), v.row->name) != first_read.end()) return 32;
    switch (v.row->operands.registers[0]) {
    case operand_field::rd: return v.rd;
    case operand_field::rt: return v.rt;
    default: return 32;
    }
}

bool base_high_part(const word_history& history, const decoded_instruction& d, uint32_t& high,
                    bool& got, bool& unsafe) {
    bool crossed = false;
    const int h = look_back_register(d, 0, crossed);
    if (h < 0) return false;
    // Most instructions have no such word of their register within reach:
    // the ring knows the nearest one, and the words between it and d are
    // checked. (A lw from $gp where no GOT is known sets no value, and hides
    // any lui behind it, as any write of the register does.)
    if (history.set_at[size_t(h)] == 0) return false;
    const uint32_t distance = history.stored - history.set_at[size_t(h)];
    if (distance >= uint32_t(look_back_length())) return false;
    const int found = int(distance);
    // Position-independent code calls with bal as much as with jalr: after a
    // GOT load, a branch that links counts as the jump it is.
    got = is_gp_load(history.word(found));
    for (int k = 0; k < found; ++k) {
        const uint32_t a = d.address - 4 * static_cast<uint32_t>(k + 1);
        const decoded_instruction v = decode_word(a, history.word(k));
        int m = look_back_register(v, k + 1, crossed);
        if (got && v.kind == instruction_kind::branch_and_link) {
            if (k + 1 != 1) crossed = true;
            m = 32;
        }
        if (m == -1 || m == h) return false;
    }
    if (!high_part_of(history.word(found), high)) return false;
    unsafe = crossed;
    return true;
}

bool find_register_value(const word_history& history, uint32_t point, int r, int first,
                         int own_call, register_value& out) {
    const int limit = std::min(first + look_back_length(), recent_word_count);
    return look_back{history, point, limit, own_call, 0}.value_of(r, first, out);
}

bool find_register_value_within(const word_history& history, uint32_t point, int r, int first,
                                int length, register_value& out) {
    const int limit = std::min(length, history_capacity);
    return look_back{history, point, limit, -1, 0, true}.value_of(r, first, out);
}

int find_last_write(const word_history& history, uint32_t point, int r, int first, int length,
                    decoded_instruction& writer) {
    const look_back l{history, point, std::min(length, history_capacity), -1, 0, true};
    const int k = l.last_write(r, first);
    if (k >= 0) writer = decode_word(l.address_of(k), history.word(k));
    return k;
}

bool is_call_word(const decoded_instruction& d) {
    switch (d.kind) {
    case instruction_kind::call:
    case instruction_kind::call_register: return true;
    // bgezal and bgezall ($zero: bal); bltzal $zero,+1 only takes the
    // program counter.
    case instruction_kind::branch_and_link: return (d.rt & 0x1d) == 0x11;
    default: return false;
    }
}

bool is_tail_call(const decoded_instruction& d) {
    return d.kind == instruction_kind::jump_register && d.rs != 31;
}

bool find_callee(const word_history& history, const decoded_instruction& d, uint32_t& callee) {
    const bool through_register = d.kind == instruction_kind::call_register || is_tail_call(d);
    if (!through_register && !is_call_word(d)) return false;
    if (!through_register) {
        if (d.kind == instruction_kind::branch_and_link && d.target == d.address + 8) return false;
        callee = d.target;
        return true;
    }
    register_value v;
    if (!find_register_value(history, d.address, d.rs, 0, -1, v)) return false;
    if (v.form == value_form::slot && (!v.known || v.value == 0 || !has_name(v.value))) {
        // An import whose slot the loader fills: the slot's name stands for
        // it. (Not so the GOT's local entries: the first of them, which the
        // lazy-binding stubs call through, holds the dynamic linker's
        // resolver.)
        const bool local = v.slot >= listed_got.start && v.slot < listed_got.local_end;
        if (!local && has_name(v.slot)) return callee = v.slot, true;
        if (!v.known || v.value == 0) return false;
    }
    if (v.value == 0) return false;
    callee = v.value;
    return true;
}
