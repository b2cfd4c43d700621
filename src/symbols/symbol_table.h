// The one table of names for addresses, and address expressions.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

constexpr int symbol_capacity = 30000;

// The pointers come first: 24 bytes an entry rather than 32 with the address
// in front, so a full table takes a quarter less memory to fill and to search.
struct symbol_entry {
    const char* name;    // symbol name, prefix included; "" for a comment-only entry
    const char* comment; // comment shown with the address; "" when none
    uint32_t address;    // the address the entry names
    bool from_input;     // the name came from the input file (escaped in HTML)
};
static_assert(sizeof(void*) != 8 || sizeof(symbol_entry) == 24);

extern std::array<symbol_entry, symbol_capacity>& symbol_table;
extern int symbol_count;
// Comment-only entries that map files added.
extern int comment_only_count;

// Appends an entry (null or empty texts are stored as ""); ends the program
// when the table is full.
void add_symbol(uint32_t address, const char* name, const char* comment, bool from_input = false);
// Adds {address, name, comment} unless an entry is named name exactly: then
// returns that entry's index and adds nothing; -1 after adding. Ends the
// program when the table is full, as add_symbol does.
int add_new_symbol(uint32_t address, std::string_view name, const char* comment);
// Index of the first entry named name, or of '@' + name when allowed; -1 if none.
int find_symbol(const char* name, bool allow_data_prefix);
// Reads an address expression; 0 on success, -1 on failure.
int parse_address(const char* text, uint32_t* value);
// Sorts by address, then by name (stable).
void sort_symbols();
// Index of the first entry whose address is at or above address (sorted
// table), tried first at guess and the entry after it, which it then holds.
// A caller that asks for one address after the other, as the listing does,
// keeps a guess of its own and mostly finds the answer there. Whether the
// guess is the answer is checked against the table as it stands, so a table
// that has grown or been sorted since needs no notice.
int first_symbol_elsewhere(int& guess, uint32_t address);
inline int first_symbol_at(int& guess, uint32_t address) {
    const int i = guess;
    if (static_cast<unsigned>(i) <= static_cast<unsigned>(symbol_count) &&
        (i == symbol_count || symbol_table[i].address >= address) &&
        (i == 0 || symbol_table[i - 1].address < address))
        return i;
    return first_symbol_elsewhere(guess, address);
}
// The guess of the callers that keep none.
extern int first_symbol_guess;
inline int first_symbol_at(uint32_t address) {
    return first_symbol_at(first_symbol_guess, address);
}
// The same by binary search alone.
int first_symbol_by_search(uint32_t address);
// A filter over the addresses that bear entries, one bit for many addresses:
// a clear bit means no entry stands at any of them. Most jump targets have no
// name, and the filter says so without a search.
constexpr int entry_filter_bits = 1 << 18;
extern std::array<uint64_t, entry_filter_bits / 64> entry_filter;
inline uint32_t entry_filter_bit(uint32_t address) {
    return (address >> 2 ^ address >> 20) & (entry_filter_bits - 1);
}
inline bool entry_may_stand_at(uint32_t address) {
    const uint32_t bit = entry_filter_bit(address);
    return (entry_filter[bit >> 6] >> (bit & 63) & 1) != 0;
}
// Empties the table and releases its texts (for tests; the program never calls it).
void reset_symbol_table();
// The table is about to take many entries (a map file): its memory is then
// better taken in large pages, where the system has them.
void expect_many_symbols();
