#include "listing/references.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "html/address_links.h"
#include "html/call_targets.h"
#include "html/page_set.h"
#include "listing/data_display.h"
#include "listing/line_end.h"
#include "listing/recent_words.h"
#include "listing/register_values.h"
#include "listing/switch_tables.h"
#include "mips/byte_order.h"
#include "mips/function_end.h"
#include "object/dynamic_file.h"
#include "object/elf_executable.h"
#include "symbols/symbol_table.h"
#include "util/address_gaps.h"
#include "util/block_reader.h"
#include "util/output.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace {

// The references of the range, sorted by target, kind and site once the
// pass is over.
std::vector<reference> references;
// Under -X, the function starts that no label gives: the first word but a
// nop after the delay slot of a function-ending jr $ra, ascending; and the
// listing's cursor in them.
std::vector<uint32_t> function_starts;
size_t start_cursor = 0;
// Code addresses that the GOT holds: functions, named as callees are.
std::vector<uint32_t> got_functions;
// The callees, ascending, once each (-C: every call's, as met).
std::vector<uint32_t> callees;
// The switch dispatches, in the order of their jr (the pass meets most so,
// and puts those it completes later in their place), and the same by table
// address for the listing's cursor over the tables.
std::vector<switch_dispatch> dispatches;
std::vector<switch_dispatch> tables;
size_t table_cursor = 0;
// The listed range, as the pass found it.
uint32_t range_first = 0;
uint64_t range_end = 0;

// A caller or a referring place takes at most this many characters of its
// comment line; the rest are counted only.
constexpr size_t line_worth = 100;

// ---- names ------------------------------------------------------------------

// The last entry at a, in table order, with a name of the given kind (data:
// '@'); null for none. Of "_ftext" and "main", of "_IO_new_popen" and
// "popen", it is the second: a section's or a library's inner name sorts
// first.
const symbol_entry* name_at(uint32_t a, bool data) {
    if (!entry_may_stand_at(a)) return nullptr;
    const symbol_entry* found = nullptr;
    for (int i = first_symbol_at(a); i < symbol_count && symbol_table[i].address == a; ++i) {
        const symbol_entry& e = symbol_table[i];
        if (e.name[0] != '\0' && (e.name[0] == '@') == data) found = &e;
    }
    return found;
}

const symbol_entry* any_name_at(uint32_t a) {
    const symbol_entry* e = name_at(a, false);
    return e != nullptr ? e : name_at(a, true);
}

// The name a callee goes by: a GOT slot's "@NAME_got" stands for NAME.
std::string_view callee_name(const symbol_entry& e) {
    std::string_view name(e.name);
    if (name.size() > 5 && name.front() == '@' && name.ends_with("_got"))
        return name.substr(1, name.size() - 5);
    return name;
}

// "name+0x1c" for a place in the function that starts at function; the
// function's own name, or fun_XXXXXXXX; the bare address when no function is
// known.
std::string place_text(uint32_t site, uint32_t function, bool& from_input) {
    char text[32];
    from_input = false;
    if (function == 0 || site < function) {
        std::snprintf(text, sizeof text, "%08x", site);
        return text;
    }
    std::string place;
    if (const symbol_entry* e = name_at(function, false)) {
        place = e->name;
        from_input = e->from_input;
    } else {
        std::snprintf(text, sizeof text, "fun_%08x", function);
        place = text;
    }
    if (site != function) {
        std::snprintf(text, sizeof text, "+0x%x", site - function);
        place += text;
    }
    return place;
}

// ---- the pass ---------------------------------------------------------------

// -C: a call of a wanted name, and what the look-back knew of its
// arguments after its delay slot.
struct reported_call {
    uint32_t site;
    uint32_t function;
    std::string_view name;
    std::array<register_value, 4> arguments;
    std::array<bool, 4> shown;
};
std::vector<reported_call> reported;

// Where the pass stands: the words it has read, and whether labels show them
// as data.
struct pass_state {
    word_history history;
    uint32_t end_limit = 0;   // the function-end rule's limit
    uint32_t start_after = 0; // a function ended: the next word not a nop from here starts one
    bool data = false;        // the labels show the words as data
    int cursor = 0;           // next entry of the symbol table to pass
    uint32_t table_from = 0, table_to = 0; // the last dispatch's table: no code
    // The last dispatches whose check comes after the jr, not completed yet.
    std::array<pending_dispatch, 4> pending{};
    int pending_count = 0;
    // -C: a call of a wanted name, reported once its delay slot is read.
    bool waiting = false;
    reported_call call{};
};

// The labels and comments at a, as the listing meets them: '@' names switch
// to data, other names back to code, "$gp=" comments set the base.
void pass_labels(pass_state& s, uint32_t a) {
    int names = 0, data_names = 0;
    for (; s.cursor < symbol_count && symbol_table[s.cursor].address <= a; ++s.cursor) {
        const symbol_entry& e = symbol_table[s.cursor];
        if (e.address != a) continue;
        if (e.name[0] == '\0') {
            take_base_value(e.comment);
        } else {
            names += 1;
            data_names += e.name[0] == '@';
        }
    }
    if (names > 0) s.data = data_names > 0;
}

// -C: the wanted name among those at the callee; empty when none is.
std::string_view wanted_name(uint32_t callee) {
    if (!entry_may_stand_at(callee)) return {};
    std::string_view list(settings.call_names);
    for (int i = first_symbol_at(callee); i < symbol_count && symbol_table[i].address == callee;
         ++i) {
        const symbol_entry& e = symbol_table[i];
        if (e.name[0] == '\0') continue;
        std::string_view name = callee_name(e);
        if (name.front() == '@') name.remove_prefix(1);
        for (size_t p = 0; p <= list.size();) {
            size_t q = std::min(list.find(',', p), list.size());
            if (list.substr(p, q - p) == name) return list.substr(p, q - p);
            p = q + 1;
        }
    }
    return {};
}

// A value of an argument register as the report shows it: a text in quotes,
// a name, a number; false when nothing is known of it.
bool showable(const register_value& v) {
    return v.known || (v.form == value_form::slot && any_name_at(v.slot) != nullptr);
}

void write_argument(const register_value& v) {
    if (v.form == value_form::number) {
        out_format("0x%x", v.value);
        return;
    }
    if (v.known && v.value != 0) {
        if (write_text_at(v.value)) return;
        if (const symbol_entry* e = any_name_at(v.value)) {
            out_text(callee_name(*e));
            return;
        }
    }
    if (v.form == value_form::slot && (!v.known || v.value == 0)) {
        if (const symbol_entry* e = any_name_at(v.slot)) {
            out_text(callee_name(*e));
            return;
        }
    }
    out_format("0x%x", v.value);
}

// -C: what the look-back knows of the waiting call's arguments, after the
// words up to its delay slot; own_call is the call's index in the history.
void take_arguments(pass_state& s, uint32_t point, int own_call) {
    for (int r = 0; r < 4; ++r) {
        register_value& v = s.call.arguments[size_t(r)];
        s.call.shown[size_t(r)] =
            find_register_value(s.history, point, r + 4, 0, own_call, v) && showable(v);
    }
    reported.push_back(s.call);
    s.waiting = false;
}

// -C: the line of a call.
void write_report_line(const reported_call& c) {
    bool from_input = false;
    const std::string place = place_text(c.site, c.function, from_input);
    out_format("%08x  ", c.site);
    from_input ? out_input_text(place) : out_text(place);
    out_text("  ");
    out_text(c.name);
    for (int r = 0; r < 4; ++r) {
        if (!c.shown[size_t(r)]) continue;
        out_format("  a%d=", r);
        write_argument(c.arguments[size_t(r)]);
    }
    out_char('\n');
}

// The datum whose address the instruction d forms, when a name stands there:
// a lui or GOT pair, a $gp-relative term, a load from a GOT slot.
bool formed_datum(const pass_state& s, const decoded_instruction& d, uint32_t& datum) {
    uint32_t high = 0;
    bool got = false, unsafe = false;
    if (base_high_part(s.history, d, high, got, unsafe)) {
        datum = is_row(d, "ori") ? (high | uimm(d.word)) : high + static_cast<uint32_t>(d.offset);
        return name_at(datum, true) != nullptr;
    }
    if ((d.properties & property::data) == 0 || d.rs != 28 || settings.gp_value == 0) return false;
    const uint32_t slot = settings.gp_value + static_cast<uint32_t>(d.offset);
    if (name_at(slot, true) != nullptr && !(slot >= listed_got.start && slot < listed_got.end)) {
        datum = slot; // small data
        return true;
    }
    // A load from a GOT slot: the datum whose address the slot holds; an
    // import's own slot. ($t9 loads are calls.)
    if (!is_row(d, "lw") || d.rt == 25) return false;
    uint32_t value = 0;
    if (read_listed_word(slot, value) && value != 0 && name_at(value, true) != nullptr) {
        datum = value;
        return true;
    }
    datum = slot;
    return slot >= listed_got.local_end && slot < listed_got.end && name_at(slot, true) != nullptr;
}

// The end of the listed range that a table's entries must lie below.
uint32_t range_limit() {
    return uint32_t(std::min<uint64_t>(range_end, UINT32_MAX));
}

// Keeps a dispatch found.
void take_dispatch(pass_state& s, const switch_dispatch& dispatch) {
    dispatches.push_back(dispatch);
    // Its cases belong to the function: a return before the last one does
    // not end it.
    s.end_limit = std::max(s.end_limit, dispatch.last_case);
    s.table_from = dispatch.table;
    s.table_to = dispatch.table + 4 * dispatch.count;
}

// 000000 00000 ttttt ddddd 00010 000000   sll rd,rt,2
constexpr bool is_scaling(uint32_t w) {
    return (w & 0xffe007ff) == 0x00000080;
}

// At the sll in the delay slot of a branch (history index 0 now): a pending
// dispatch that this completes. Put in its place among those found; the
// function starts that its jr made and its cases hold are taken back.
void complete_pending(pass_state& s, uint32_t point) {
    const int held = std::min(s.pending_count, int(s.pending.size()));
    for (int i = 0; i < held; ++i) {
        switch_dispatch d;
        if (!complete_dispatch(s.history, point, s.pending[size_t(i)], range_first, range_limit(),
                               d))
            continue;
        s.pending[size_t(i)].jump = 0; // (completes no other)
        const auto by_jump = [](const switch_dispatch& x, uint32_t a) { return x.jump < a; };
        const auto at = std::lower_bound(dispatches.begin(), dispatches.end(), d.jump, by_jump);
        if (at != dispatches.end() && at->jump == d.jump) return;
        dispatches.insert(at, d);
        s.end_limit = std::max(s.end_limit, d.last_case);
        std::erase_if(function_starts, [&](uint32_t a) { return a > d.jump && a <= d.last_case; });
        return;
    }
}

// The word w at a, read as code.
void pass_code_word(pass_state& s, uint32_t a, uint32_t w, const decoded_instruction* flow) {
    const bool report = has_flag(flag::call_report);
    if (flow != nullptr) {
        uint32_t callee = 0;
        if (!find_callee(s.history, *flow, callee)) {
            if (!is_tail_call(*flow) || report) return;
            switch_dispatch dispatch;
            if (find_dispatch(s.history, *flow, range_first, range_limit(), dispatch))
                return take_dispatch(s, dispatch);
            pending_dispatch p;
            if (!find_pending_dispatch(s.history, *flow, p)) return;
            const size_t at = size_t(s.pending_count % int(s.pending.size()));
            s.pending[at] = p;
            ++s.pending_count;
            return;
        }
        if (!report) return references.push_back({callee, a, 0, reference_kind::call});
        callees.push_back(callee);
        s.call = {a, 0, wanted_name(callee), {}, {}};
        s.waiting = !s.call.name.empty();
        return;
    }
    // Only a word whose base register was set within reach, or $gp, can
    // form an address.
    const uint32_t base = w >> 21 & 31;
    const uint32_t set = s.history.set_at[base];
    const bool near = set != 0 && s.history.stored - set < uint32_t(recent_word_count);
    if (report || (!near && base != 28)) return;
    uint32_t datum = 0;
    if (formed_datum(s, decode_word(a, w), datum))
        references.push_back({datum, a, 0, reference_kind::data});
}

// Whether d ends a function: a return, by the function-end rule; or, as
// far as the pass looks, a jump that does not come back (a branch back by
// $zero = $zero, a j, a jr other than jr $ra: a loop's end or a tail call)
// where no forward branch seen before leads past it.
bool leaves_function(pass_state& s, const decoded_instruction& d) {
    if (function_end_step(s.end_limit, d, settings.function_extension)) return true;
    if (!dispatches.empty() && dispatches.back().jump == d.address) return false;
    const bool back = is_row(d, "beq") && d.rs == 0 && d.rt == 0 && d.target <= d.address;
    const bool away = d.kind == instruction_kind::jump ||
                      (d.kind == instruction_kind::jump_register && d.rs != 31);
    return (back || away) && d.address >= s.end_limit;
}

// One word of the range.
void pass_word(pass_state& s, uint32_t a, uint32_t w) {
    pass_labels(s, a);
    if (s.start_after != 0 && a >= s.start_after && w != 0) {
        s.start_after = 0;
        function_starts.push_back(a);
    }
    // Only a jump or a branch calls or ends a function: the others need no
    // decoding here.
    const bool flow = may_change_flow(w);
    decoded_instruction d;
    if (flow) d = decode_word(a, w);
    const bool entry = a >= s.table_from && a < s.table_to;
    if (!s.data && !entry) pass_code_word(s, a, w, flow ? &d : nullptr);
    if (flow && leaves_function(s, d)) s.start_after = a + 8;
    const bool delay_slot = s.waiting && a == s.call.site + 4;
    s.history.remember(w);
    if (delay_slot) take_arguments(s, a + 4, 1);
    if (s.pending_count != 0 && is_scaling(w) && !s.data) complete_pending(s, a + 4);
}

// Reads the range word by word, over its gaps, as the listing will.
void read_range(pass_state& s) {
    block_reader reader(settings.input);
    uint32_t a = settings.start;
    int32_t remaining = settings.size;
    address_gap gap = gap_after(a);
    const unsigned char* p = nullptr;
    while (remaining >= 4) {
        int words = reader.take_words(remaining / 4, &p);
        if (words == 0) break;
        remaining -= 4 * words;
        for (; words > 0; --words, p += 4, a += 4) {
            if (a >= gap.start) {
                if (a < gap.end) continue;
                gap = gap_after(a);
            }
            pass_word(s, a, assemble_word(p));
        }
    }
    // A call at the very end: its delay slot is not in the range.
    if (s.waiting) take_arguments(s, a, 0);
}

// ---- after the pass ---------------------------------------------------------

// The start of the function that holds site: the last function start at or
// before it, a code name or one of starts.
uint32_t function_at(uint32_t site, const std::vector<uint32_t>& starts) {
    uint32_t best = 0;
    const auto after = std::upper_bound(starts.begin(), starts.end(), site);
    if (after != starts.begin()) best = after[-1];
    int i = site == UINT32_MAX ? symbol_count : first_symbol_by_search(site + 1);
    for (--i; i >= 0 && symbol_table[i].address > best; --i) {
        const char* name = symbol_table[i].name;
        if (name[0] != '\0' && name[0] != '@') return symbol_table[i].address;
    }
    return best;
}

// Each site's function, from the starts the whole range has shown: callees,
// code addresses of the GOT, the first words after function ends.
void assign_functions() {
    // The callees once each: -C keeps them apart; under -X the references,
    // sorted by target, hold them in order.
    if (!has_flag(flag::call_report)) {
        callees.clear();
        for (const reference& r : references)
            if (r.kind == reference_kind::call && (callees.empty() || callees.back() != r.target))
                callees.push_back(r.target);
    }
    std::sort(callees.begin(), callees.end());
    callees.erase(std::unique(callees.begin(), callees.end()), callees.end());
    std::vector<uint32_t> starts;
    starts.reserve(function_starts.size() + got_functions.size() + callees.size());
    starts = function_starts;
    starts.insert(starts.end(), got_functions.begin(), got_functions.end());
    starts.insert(starts.end(), callees.begin(), callees.end());
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    for (reference& r : references) r.function = function_at(r.site, starts);
    for (reported_call& c : reported) c.function = function_at(c.site, starts);
    for (switch_dispatch& d : dispatches) d.function = function_at(d.jump, starts);
}

bool by_target(const reference& x, const reference& y) {
    if (x.target != y.target) return x.target < y.target;
    if (x.kind != y.kind) return x.kind < y.kind;
    return x.site < y.site;
}

// The names of the table that contain part, sorted: those a made name must
// not take.
std::vector<std::string_view> names_containing(const char* part) {
    std::vector<std::string_view> taken;
    for (int i = 0; i < symbol_count; ++i)
        if (std::strstr(symbol_table[i].name, part) != nullptr)
            taken.push_back(symbol_table[i].name);
    std::sort(taken.begin(), taken.end());
    return taken;
}

// name, or name_2, name_3, ... where a map or the file holds it already.
std::string free_name(const std::string& name, const std::vector<std::string_view>& taken) {
    std::string free = name;
    for (int k = 2; std::binary_search(taken.begin(), taken.end(), std::string_view(free)); ++k)
        free = name + "_" + std::to_string(k);
    return free;
}

// Names "fun_XXXXXXXX" for the callees without one, as many as the table
// takes beside the page starts. A name a map gave already takes "_2", "_3", ...
void name_callees() {
    const std::vector<std::string_view> taken = names_containing("fun_");
    std::vector<uint32_t> functions = got_functions;
    functions.insert(functions.end(), callees.begin(), callees.end());
    std::sort(functions.begin(), functions.end());
    functions.erase(std::unique(functions.begin(), functions.end()), functions.end());
    const int room = symbol_capacity - pages.count;
    for (const uint32_t callee : functions) {
        if (any_name_at(callee) != nullptr || !input_holds(callee)) continue;
        if (symbol_count >= room) break;
        char name[16];
        std::snprintf(name, sizeof name, "fun_%08x", callee);
        add_symbol(callee, free_name(name, taken).c_str(), "");
    }
    sort_symbols();
}

// The case targets of the dispatches without a name get one: the name of
// the dispatch's function and the lowest case index that leads there
// ("main_case_3"); a name a map gave already takes "_2", "_3", ...
void name_cases() {
    const std::vector<std::string_view> taken = names_containing("_case_");
    std::unordered_set<uint32_t> named; // (the table is sorted at the end)
    const int room = symbol_capacity - pages.count;
    for (const switch_dispatch& d : dispatches) {
        bool from_input = false;
        std::string stem = place_text(d.jump, d.function, from_input);
        stem = d.function == 0 ? "switch_" + stem : stem.substr(0, stem.find('+'));
        for (uint32_t i = 0; i < d.count && symbol_count < room; ++i) {
            uint32_t e = 0;
            if (!read_listed_word(d.table + 4 * i, e)) break;
            const uint32_t t = case_target(d, e, settings.gp_value);
            if (any_name_at(t) != nullptr || !named.insert(t).second) continue;
            const std::string name = free_name(stem + "_case_" + std::to_string(i), taken);
            add_symbol(t, name.c_str(), "", from_input);
        }
    }
    sort_symbols();
}

// The entries of the GOT that hold an address in the code of an executable
// (not a 64 KiB page, which the code completes): functions whose address the
// code takes, to call them or to pass them on.
void read_got_functions() {
    got_functions.clear();
    if (!executable.loaded) return;
    for (uint32_t slot = listed_got.start; slot + 4 <= listed_got.end && slot >= listed_got.start;
         slot += 4) {
        uint32_t value = 0;
        if (!read_listed_word(slot, value) || (value & 0xffff) == 0 || !executable_code_at(value))
            continue;
        got_functions.push_back(value);
    }
}

} // namespace

void collect_references() {
    references.clear();
    reported.clear();
    callees.clear();
    function_starts.clear();
    dispatches.clear();
    start_cursor = 0;
    table_cursor = 0;
    range_first = settings.start;
    range_end = uint64_t(settings.start) + uint64_t(std::max(settings.size, 0));
    const long position = std::ftell(settings.input);
    const uint32_t gp = settings.gp_value, s7 = settings.s7_value;
    read_got_functions();
    pass_state state;
    read_range(state);
    settings.gp_value = gp, settings.s7_value = s7;
    std::sort(references.begin(), references.end(), by_target);
    assign_functions();
    // (The report reads the texts of its arguments while the input stands
    // past the range: at its first byte the displays' reads would not count.)
    if (has_flag(flag::call_report)) {
        for (const reported_call& c : reported) write_report_line(c);
        return;
    }
    name_callees();
    // (The tables are read while the input stands past the range.)
    name_cases();
    zo_fseek(settings.input, static_cast<int32_t>(position));
}

std::vector<case_reach> case_reaches() {
    std::vector<case_reach> reaches;
    for (const switch_dispatch& d : dispatches) reaches.push_back({d.jump, d.last_case});
    return reaches;
}

void mark_reference_links() {
    // (With the page counts, and after the dump of an object's header.)
    if (html_output() || has_flag(flag::dump_object))
        std::fprintf(stderr, "%d switch dispatches\n", int(dispatches.size()));
    tables = dispatches;
    std::sort(tables.begin(), tables.end(),
              [](const switch_dispatch& x, const switch_dispatch& y) { return x.table < y.table; });
    for (const switch_dispatch& t : tables) {
        for (uint32_t i = 0; i < t.count; ++i) html_mark_linked(t.table + 4 * i);
        html_mark_linked(t.table);
    }
    for (const reference& r : references) {
        html_mark_linked(r.site);
        html_mark_linked(r.target);
    }
    html_restart_links();
}

namespace {

// One comment line: the places of the references of one kind, as many as a
// line holds, then their count.
void write_places(const reference* first, const reference* last, const char* head, const char* one,
                  const char* many) {
    out_text(head);
    size_t width = 0;
    const reference* r = first;
    for (; r != last; ++r) {
        bool from_input = false;
        const std::string place = place_text(r->site, r->function, from_input);
        if (r != first && width + place.size() > line_worth) break;
        if (r != first) out_text(", ");
        width += place.size() + 2;
        print_address(r->site, place.c_str(), from_input);
    }
    if (r != last) out_text(", ...");
    const long count = last - first;
    out_format(" (%ld %s)\n", count, count == 1 ? one : many);
}

} // namespace

void write_reference_lines(uint32_t a) {
    const reference key{a, 0, 0, reference_kind::call};
    const reference* begin = references.data();
    const reference* end = begin + references.size();
    const reference* first = std::lower_bound(begin, end, key, by_target);
    const reference* last = first;
    while (last != end && last->target == a && last->kind == reference_kind::call) ++last;
    if (last != first) write_places(first, last, "# called from ", "call", "calls");
    first = last;
    while (last != end && last->target == a) ++last;
    if (last != first) write_places(first, last, "# referenced from ", "reference", "references");
}

namespace {

// The dispatch whose jr is at a; null for none.
const switch_dispatch* dispatch_at(uint32_t a) {
    const auto at =
        std::lower_bound(dispatches.begin(), dispatches.end(), a,
                         [](const switch_dispatch& x, uint32_t jump) { return x.jump < jump; });
    return at != dispatches.end() && at->jump == a ? &*at : nullptr;
}

// Names at a, or the address when it has none; linked in HTML output.
void write_target_names(uint32_t a) {
    int n = 0;
    for (int i = first_symbol_at(a); i < symbol_count && symbol_table[i].address == a; ++i) {
        const symbol_entry& e = symbol_table[i];
        if (e.name[0] == '\0') continue;
        if (n++ > 0) out_char(' ');
        const std::string name(callee_name(e));
        print_address(a, name.c_str(), e.from_input);
    }
    if (n == 0) print_address(a, nullptr);
}

} // namespace

bool table_entry_at(uint32_t a) {
    while (table_cursor < tables.size() &&
           tables[table_cursor].table + 4 * tables[table_cursor].count <= a)
        ++table_cursor;
    return table_cursor < tables.size() && a >= tables[table_cursor].table;
}

void write_case_target(uint32_t word) {
    write_target_names(case_target(tables[table_cursor], word, settings.gp_value));
    out_char('\n');
}

void write_callee_comment(const decoded_instruction& d) {
    uint32_t callee = 0;
    if (!find_callee(listed_history, d, callee)) {
        const switch_dispatch* s = dispatch_at(d.address);
        if (s == nullptr || !has_flag(flag::special_comments)) return;
        out_format("# switch, %u cases, table ", s->count);
        char text[12];
        std::snprintf(text, sizeof text, "%x", s->table);
        print_address(s->table, text);
        return;
    }
    // (A tail call counts among the jumps.)
    record_call_target(callee, !is_tail_call(d));
    if (!has_flag(flag::special_comments)) return;
    const bool named = any_name_at(callee) != nullptr;
    if (!named && d.kind == instruction_kind::branch_and_link) return;
    out_text("#");
    if (!named) {
        out_char(' ');
        out_hex(callee, 0);
        return;
    }
    for (int i = first_symbol_at(callee); i < symbol_count && symbol_table[i].address == callee;
         ++i) {
        const symbol_entry& e = symbol_table[i];
        if (e.name[0] == '\0') continue;
        out_char(' ');
        const std::string name(callee_name(e));
        print_address(callee, name.c_str(), e.from_input);
    }
}

bool function_starts_at(uint32_t a) {
    while (start_cursor < function_starts.size() && function_starts[start_cursor] < a)
        ++start_cursor;
    return start_cursor < function_starts.size() && function_starts[start_cursor] == a;
}

void reset_references() {
    references = {};
    reported = {};
    dispatches = {};
    tables = {};
    table_cursor = 0;
    callees = {};
    function_starts = {};
    got_functions = {};
    start_cursor = 0;
}
