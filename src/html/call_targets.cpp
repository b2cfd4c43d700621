#include "html/call_targets.h"

#include <algorithm>

#include "symbols/symbol_table.h"

std::array<call_target, call_target_capacity> call_targets{};
int call_target_count = 0;

namespace {

// Open-addressing index from a target address to its record, so that counting
// a jump costs a probe or two rather than a scan of up to 10000 records. A slot
// holds the record's index + 1; 0 marks an empty slot. With 16384 slots for at
// most 10000 records the table never fills.
constexpr int index_slots = 16384;
static_assert(index_slots > call_target_capacity && (index_slots & (index_slots - 1)) == 0);
std::array<int16_t, index_slots> target_index{};
static_assert(call_target_capacity < 32767, "slots hold a record index + 1 in 16 bits");

int first_slot(uint32_t address) {
    // Jump targets are word aligned and often close together: mix the bits so
    // that neighbouring addresses spread over the table.
    uint32_t h = (address >> 2) * 0x9e3779b1u;
    return static_cast<int>(h >> 18); // the top 14 bits
}

// The slot holding address, or the empty slot where it would go.
int find_slot(uint32_t address) {
    int slot = first_slot(address);
    while (target_index[slot] != 0 && call_targets[target_index[slot] - 1].address != address)
        slot = (slot + 1) & (index_slots - 1);
    return slot;
}

void rebuild_index() {
    target_index.fill(0);
    for (int i = 0; i < call_target_count; ++i)
        target_index[find_slot(call_targets[i].address)] = static_cast<int16_t>(i + 1);
}

} // namespace

void record_call_target(uint32_t address, bool call) {
    int slot = find_slot(address);
    if (target_index[slot] != 0) {
        call_target& target = call_targets[target_index[slot] - 1];
        ++target.count;
        target.calls += call ? 1 : 0;
        return;
    }
    if (call_target_count >= call_target_capacity) return;
    call_targets[call_target_count] = {address, 1, -1, call ? 1 : 0};
    target_index[slot] = static_cast<int16_t>(++call_target_count);
}

void link_call_targets() {
    // Entries at one address overwrite each other: the last in table order
    // wins, comment-only entries included.
    for (int j = 0; j < symbol_count; ++j) {
        int slot = find_slot(symbol_table[j].address);
        if (target_index[slot] != 0) call_targets[target_index[slot] - 1].symbol = j;
    }
}

void sort_call_targets() {
    std::stable_sort(
        call_targets.begin(), call_targets.begin() + call_target_count,
        [](const call_target& a, const call_target& b) { return a.address > b.address; });
    rebuild_index();
}

void sort_call_targets_by_count(bool call) {
    const auto count = [call](const call_target& t) { return call ? t.calls : t.count - t.calls; };
    std::stable_sort(call_targets.begin(), call_targets.begin() + call_target_count,
                     [&](const call_target& a, const call_target& b) {
                         if (count(a) != count(b)) return count(a) > count(b);
                         return a.address < b.address;
                     });
    rebuild_index();
}

void reset_call_targets() {
    call_target_count = 0;
    target_index.fill(0);
}
