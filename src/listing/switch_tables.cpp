#include "listing/switch_tables.h"

#include <algorithm>

#include "listing/data_display.h"
#include "listing/register_values.h"
#include "mips/fields.h"
#include "util/run_settings.h"

namespace {

// Whether register r holds $gp's value after the words from index first on.
bool holds_gp(const word_history& history, uint32_t point, int r, int first) {
    if (r == 28) return true;
    register_value v;
    return find_register_value_within(history, point, r, first, dispatch_reach, v) && v.known &&
           v.value == settings.gp_value;
}

// Tables of more entries are not taken: a bound that large is no switch.
constexpr uint32_t largest_table = 4096;

// The nearest branch on the way that tests a register against $zero, and
// whether the way is its side where the register is not 0 (the side where
// the index is in bounds, for the result of a check).
struct guard {
    int tested = -1;
    bool nonzero = false;

    void see(const decoded_instruction& v, bool entered) {
        if ((is_row(v, "beq") || is_row(v, "bne")) && (v.rs == 0 || v.rt == 0) && v.rs != v.rt) {
            tested = v.rs == 0 ? v.rt : v.rs;
            nonzero = is_row(v, "bne") == entered;
        } else if (v.kind == instruction_kind::branch) {
            tested = -1;
        }
    }
    // The bound of a check whose result is in r, unless the way is the side
    // of the branch on r where the index is out of bounds.
    uint32_t bound(int r, int32_t n) const { return tested == r && !nonzero ? 0 : uint32_t(n); }
};

// The bound N of "sltiu rT,rI,N" among the words from index first on,
// before any write of rI, where the branch on rT leads on; 0 when none is
// found. Unoptimised code reloads the index from its stack slot between the
// check and the sll: then the check may test any register that was loaded
// from the same slot, or stored to it. A char's switch may test the index's
// low byte in a register of its own, or a signed char's exclude the
// negative values: "lb rI,...; bltz rI,default" leaves 0 to 127.
uint32_t find_bound(const word_history& history, uint32_t point, int index, int first) {
    int slot_base = -1; // the index was reloaded from offset(slot_base)
    int32_t slot_offset = 0;
    const decoded_instruction* check = nullptr; // a sltiu on another register
    decoded_instruction held;
    guard g;
    code_path path{history, point, dispatch_reach};
    for (int k = path.start(first); k >= 0 && k < dispatch_reach; k = path.after(k)) {
        const decoded_instruction v = decode_word(path.address_of(k), history.word(k));
        const int written = register_written(v);
        if (written < 0) return 0;
        if (v.kind == instruction_kind::branch) {
            g.see(v, k == path.entered);
            if (is_row(v, "bltz") && v.rs == index && k != path.entered) g = {index, true};
            continue;
        }
        if (slot_base < 0) {
            if (is_row(v, "sltiu") && v.rs == index) return g.bound(v.rt, v.offset);
            if (written == index && g.tested == index && g.nonzero)
                return is_row(v, "lb") ? 128 : 0;
            // A check of the index's low byte: "andi rJ,rI,0xff; sltiu rT,rJ,N".
            if (is_row(v, "sltiu") && check == nullptr) {
                held = v, check = &held;
                continue;
            }
            if (check != nullptr && written == check->rs) {
                if (is_row(v, "andi") && v.rs == index && uimm(v.word) == 0xff)
                    return g.bound(check->rt, check->offset);
                check = nullptr;
            }
            if (written != index) continue;
            if (!is_row(v, "lw") || (v.rs != 29 && v.rs != 30)) return 0;
            slot_base = v.rs;
            slot_offset = v.offset;
            check = nullptr;
        } else if (check == nullptr) {
            if (is_row(v, "sltiu")) held = v, check = &held;
        } else if (is_row(v, "sw") && v.rt == check->rs) {
            // The tested value is the one stored to the slot.
            const bool same = v.rs == slot_base && v.offset == slot_offset;
            return same ? g.bound(check->rt, check->offset) : 0;
        } else if (written == check->rs) {
            const bool same = is_row(v, "lw") && v.rs == slot_base && v.offset == slot_offset;
            return same ? g.bound(check->rt, check->offset) : 0;
        }
    }
    return 0;
}

// The table address and the index register behind "addu rB,p,q", one of p
// and q an index scaled by sll ...,2 and the other the table's address.
bool table_and_index(const word_history& history, uint32_t point, const decoded_instruction& sum,
                     int k, uint32_t& table, uint32_t& bound) {
    for (int order = 0; order < 2; ++order) {
        const int scaled = order == 0 ? sum.rs : sum.rt;
        const int base = order == 0 ? sum.rt : sum.rs;
        decoded_instruction shift;
        const int ks = find_last_write(history, point, scaled, k + 1, dispatch_reach, shift);
        if (ks < 0 || !is_row(shift, "sll") || shift.sa != 2) continue;
        register_value v;
        // (A lui alone is the table's high part when the lw adds %lo.)
        if (!find_register_value_within(history, point, base, k + 1, dispatch_reach, v) || !v.known)
            continue;
        table = v.value;
        bound = find_bound(history, point, shift.rt, ks + 1);
        if (bound != 0) return true;
    }
    return false;
}

// Reads the entries and checks that each leads into the range; the highest
// target in last.
bool entries_fit(switch_dispatch& s, uint32_t first, uint32_t end) {
    s.last_case = 0;
    for (uint32_t i = 0; i < s.count; ++i) {
        uint32_t e = 0;
        if (!read_listed_word(s.table + 4 * i, e)) return false;
        const uint32_t t = case_target(s, e, settings.gp_value);
        if (t < first || t >= end || ((t - first) & 3) != 0) return false;
        s.last_case = std::max(s.last_case, t);
    }
    return true;
}

} // namespace

namespace {

// The load of a dispatch that ends in d: "lw rA,offset(rX)" and, for .gpword
// entries, "addu rA,rE,$gp"; then the addu that forms rX (at index ks).
struct dispatch_load {
    decoded_instruction sum;
    int ks;
    uint32_t offset;
    bool gp;
};

bool find_load(const word_history& history, const decoded_instruction& d, dispatch_load& out) {
    if (d.kind != instruction_kind::jump_register || d.rs == 31) return false;
    const uint32_t point = d.address;
    decoded_instruction w;
    int k = find_last_write(history, point, d.rs, 0, dispatch_reach, w);
    if (k < 0) return false;
    // PIC: the entry is a .gpword, added to $gp (or to a register that holds
    // its value).
    out.gp = false;
    if (is_row(w, "addu") && settings.gp_value != 0) {
        const int other = holds_gp(history, point, w.rs, k + 1)   ? w.rt
                          : holds_gp(history, point, w.rt, k + 1) ? w.rs
                                                                  : -1;
        if (other < 0) return false;
        out.gp = true;
        k = find_last_write(history, point, other, k + 1, dispatch_reach, w);
        if (k < 0) return false;
    }
    // "lwx rA,rI(rB)" (the DSP ASE, also without -R2) loads from the sum
    // itself.
    w = known_row(w);
    if (is_row(w, "lwx")) {
        out.offset = 0;
        out.sum = w;
        out.ks = k;
        return true;
    }
    if (!is_row(w, "lw")) return false;
    out.offset = static_cast<uint32_t>(w.offset);
    out.ks = find_last_write(history, point, w.rs, k + 1, dispatch_reach, out.sum);
    return out.ks >= 0 && is_row(out.sum, "addu");
}

} // namespace

bool find_dispatch(const word_history& history, const decoded_instruction& d, uint32_t first,
                   uint32_t end, switch_dispatch& out) {
    dispatch_load l;
    if (!find_load(history, d, l)) return false;
    uint32_t table = 0, bound = 0;
    if (!table_and_index(history, d.address, l.sum, l.ks, table, bound)) return false;
    if (bound > largest_table) return false;
    out = {d.address, table + l.offset, bound, l.gp, 0, 0};
    return entries_fit(out, first, end);
}

bool find_pending_dispatch(const word_history& history, const decoded_instruction& d,
                           pending_dispatch& out) {
    dispatch_load l;
    if (!find_load(history, d, l)) return false;
    // One operand of the addu is the table's address, the other the index
    // that no word before sets.
    register_value v;
    const auto known = [&](int r) {
        return find_register_value_within(history, d.address, r, l.ks + 1, dispatch_reach, v) &&
               v.known;
    };
    const bool rs_known = known(l.sum.rs);
    const uint32_t rs_value = v.value;
    const bool rt_known = known(l.sum.rt);
    if (rs_known == rt_known) return false;
    out = {d.address, (rs_known ? rs_value : v.value) + l.offset,
           static_cast<int8_t>(rs_known ? l.sum.rt : l.sum.rs), l.gp};
    return true;
}

bool complete_dispatch(const word_history& history, uint32_t point, const pending_dispatch& p,
                       uint32_t first, uint32_t end, switch_dispatch& out) {
    const decoded_instruction sll = decode_word(point - 4, history.word(0));
    const decoded_instruction branch = decode_word(point - 8, history.word(1));
    const decoded_instruction check = decode_word(point - 12, history.word(2));
    if (!is_row(sll, "sll") || sll.sa != 2 || sll.rd != p.scaled) return false;
    if (!is_row(branch, "bne") || branch.rt != 0 || branch.target > p.jump) return false;
    if (!is_row(check, "sltiu") || check.rt != branch.rs || check.rs != sll.rt) return false;
    const uint32_t bound = static_cast<uint32_t>(check.offset);
    if (bound == 0 || bound > largest_table) return false;
    // The words from the branch's target to the jr run straight and keep
    // the scaled index.
    if ((point - branch.target) / 4 > uint32_t(history_capacity)) return false;
    for (uint32_t a = branch.target; a != p.jump; a += 4) {
        const decoded_instruction v = decode_word(a, history.word(int((point - a) / 4) - 1));
        const int written = register_written(v);
        if (written == p.scaled || written < 0 || may_change_flow(v.word)) return false;
    }
    out = {p.jump, p.table, bound, p.gp_relative, 0, 0};
    return entries_fit(out, first, end);
}
