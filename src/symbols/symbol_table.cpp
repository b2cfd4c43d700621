// The symbol table: add, find by name, sort, address expressions and the
// address printer.
#include "symbols/symbol_table.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "driver/call_targets.h"
#include "driver/output.h"
#include "html/page_set.h"
#include "util/zo.h"

std::array<symbol_entry, symbol_capacity> symbol_table{};
int symbol_count = 0;
int comment_only_count = 0;

namespace {

// The one text every empty or absent name and comment points at.
constexpr char empty_text[] = "";

// ---- index by name ---------------------------------------------------------
//
// Open addressing with linear probing over a power-of-two table that is more
// than twice the symbol capacity, so a probe sequence always meets a free slot.
// A slot holds 1 + the index of the first entry, in table order, that bears a
// name; 0 marks a free slot. Entries are never removed, and a sort rebuilds the
// whole index, so no slot ever needs to be emptied one by one.

constexpr int name_index_size = 65536;
static_assert(name_index_size >= 2 * symbol_capacity);
static_assert((name_index_size & (name_index_size - 1)) == 0, "must be a power of two");

std::array<int32_t, name_index_size> name_index{};

// FNV-1a over an optional prefix character (0: none) and the text.
uint32_t name_hash(char prefix, std::string_view text) {
    uint32_t h = 2166136261u;
    auto mix = [&h](char c) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    };
    if (prefix) mix(prefix);
    for (char c : text) mix(c);
    return h;
}

// True when name is prefix (0: none) followed by exactly text.
bool name_equals(const char* name, char prefix, std::string_view text) {
    if (prefix) {
        if (*name != prefix) return false;
        ++name;
    }
    return std::strlen(name) == text.size() && std::memcmp(name, text.data(), text.size()) == 0;
}

// Slot that holds the name prefix + text, or the free slot where it would go.
int32_t& name_slot(char prefix, std::string_view text) {
    uint32_t i = name_hash(prefix, text) & (name_index_size - 1);
    while (name_index[i] != 0 && !name_equals(symbol_table[name_index[i] - 1].name, prefix, text))
        i = (i + 1) & (name_index_size - 1);
    return name_index[i];
}

// Makes entry i findable by its name unless an earlier entry has that name.
void index_name(int i) {
    int32_t& slot = name_slot(0, symbol_table[i].name);
    if (slot == 0) slot = i + 1;
}

void rebuild_name_index() {
    name_index.fill(0);
    for (int i = 0; i < symbol_count; ++i) index_name(i);
}

// Index of the first entry named prefix + text, or -1.
int find_name(char prefix, std::string_view text) {
    int32_t slot = name_slot(prefix, text);
    return slot - 1;
}

// Own copy of a text; the shared empty text for null or "".
const char* keep_text(const char* text) {
    if (!text || !*text) return empty_text;
    size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(zo_alloc(static_cast<int64_t>(n)));
    std::memcpy(copy, text, n);
    return copy;
}

void release_text(const char* text) {
    if (text != empty_text) zo_free(const_cast<char*>(text));
}

// ---- address expressions ---------------------------------------------------

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads text as strtoul does in base 16 with a 32-bit unsigned long: leading
// white space, an optional sign, an optional 0x, then hex digits. A magnitude
// above 0xffffffff saturates to 0xffffffff (whatever the sign); a minus sign
// negates modulo 2^32. Returns the number of characters consumed, 0 when no
// digit was read; "0x" without a digit after it consumes only up to the 0.
size_t read_hex(std::string_view text, uint32_t* value) {
    size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        if (i + 2 >= text.size() || hex_digit(text[i + 2]) < 0) {
            *value = 0; // only the 0 counts
            return i + 1;
        }
        i += 2;
    }
    size_t first_digit = i;
    uint64_t magnitude = 0;
    bool overflow = false;
    for (int d; i < text.size() && (d = hex_digit(text[i])) >= 0; ++i) {
        magnitude = magnitude * 16 + static_cast<uint64_t>(d);
        if (magnitude > 0xffffffffu) overflow = true, magnitude = 0xffffffffu;
    }
    if (i == first_digit) {
        *value = 0;
        return 0;
    }
    uint32_t v = static_cast<uint32_t>(magnitude);
    *value = overflow ? 0xffffffffu : negative ? 0u - v : v;
    return i;
}

// One term of an expression: a hex number (0x optional) or a symbol name.
bool read_term(std::string_view text, uint32_t* value) {
    if (text.empty()) return false;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    uint32_t number;
    if (read_hex(text, &number) == text.size()) { // also an empty rest: 0
        *value = number;
        return true;
    }
    int i = find_name(0, text);
    if (i < 0 && !text.empty() && text[0] != '@') i = find_name('@', text);
    if (i < 0) return false;
    *value = symbol_table[i].address;
    return true;
}

bool symbol_before(const symbol_entry& a, const symbol_entry& b) {
    if (a.address != b.address) return a.address < b.address;
    return std::strcmp(a.name, b.name) < 0;
}

} // namespace

void add_symbol(uint32_t address, const char* name, const char* comment, bool from_input) {
    if (symbol_count >= symbol_capacity) zo_message("map: too many symbols");
    int i = symbol_count++;
    symbol_table[i] = symbol_entry{address, keep_text(name), keep_text(comment), from_input};
    index_name(i);
}

int find_symbol(const char* name, bool allow_data_prefix) {
    int i = find_name(0, name);
    if (i < 0 && allow_data_prefix && name[0] != '@') i = find_name('@', name);
    return i;
}

int parse_address(const char* text, uint32_t* value) {
    // 'a+b+c' is a plus the value of 'b+c': every term must read, and the sum
    // wraps modulo 2^32. A loop rather than recursion keeps a long chain of
    // terms from a command line off the stack.
    std::string_view rest = text;
    uint32_t sum = 0;
    for (;;) {
        size_t plus = rest.find('+');
        uint32_t term;
        if (!read_term(rest.substr(0, plus), &term)) return -1;
        sum += term;
        if (plus == std::string_view::npos) break;
        rest.remove_prefix(plus + 1);
    }
    *value = sum;
    return 0;
}

void sort_symbols() {
    // Stable, so that entries equal in address and name keep the order they
    // were added in and the listing never depends on the sort algorithm.
    std::stable_sort(symbol_table.begin(), symbol_table.begin() + symbol_count, symbol_before);
    rebuild_name_index();
}

int first_symbol_at(uint32_t address) {
    auto end = symbol_table.begin() + symbol_count;
    auto at = std::partition_point(symbol_table.begin(), end, [address](const symbol_entry& e) {
        return e.address < address;
    });
    return static_cast<int>(at - symbol_table.begin());
}

void print_address(uint32_t address, const char* name, bool escape_name) {
    uint32_t page_start;
    bool linked = html_page_of(address, &page_start);
    if (linked) {
        out_text("<A HREF=");
        out_hex(page_start, 8);
        out_text(".htm#");
        out_hex(address, 8);
        out_char('>');
    }
    if (name && *name) {
        if (escape_name)
            out_input_text(name);
        else
            out_text(name);
    } else {
        out_text("0x");
        out_hex(address, 1);
        record_call_target(address);
    }
    if (linked) out_text("</A>");
}

void reset_symbol_table() {
    for (int i = 0; i < symbol_count; ++i) {
        release_text(symbol_table[i].name);
        release_text(symbol_table[i].comment);
    }
    symbol_table.fill(symbol_entry{});
    symbol_count = 0;
    comment_only_count = 0;
    name_index.fill(0);
}
