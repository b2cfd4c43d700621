// The symbol table: add, find by name, sort, and address expressions.
#include "symbols/symbol_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>

#include "util/platform.h"
#include "util/zo.h"

int symbol_count = 0;
int comment_only_count = 0;
std::array<uint64_t, entry_filter_bits / 64> entry_filter{};

namespace {

void mark_in_filter(uint32_t address) {
    const uint32_t bit = entry_filter_bit(address);
    entry_filter[bit >> 6] |= uint64_t(1) << (bit & 63);
}

// The one text every empty or absent name and comment points at.
constexpr char empty_text[] = "";

// ---- index by name ---------------------------------------------------------
//
// Open addressing with linear probing over a power-of-two table that is more
// than twice the symbol capacity, so a probe sequence always meets a free slot.
// A slot holds in its low half 1 + the index of the first entry, in table
// order, that bears a name, and in its high half the top 16 bits of the name's
// hash, so that a probe passes other names without reading them; 0 marks a
// free slot. Entries are never removed, and a sort that moves entries rebuilds
// the whole index, so no slot ever needs to be emptied one by one.

constexpr int name_index_size = 65536;
static_assert(name_index_size >= 2 * symbol_capacity);
static_assert((name_index_size & (name_index_size - 1)) == 0, "must be a power of two");
static_assert(symbol_capacity < 0xffff, "a slot holds an entry index + 1 in 16 bits");

// ---- the tables ----------------------------------------------------------------
//
// Sized for the full capacity and kept in one block, of which only the pages
// in use are taken from the system. A map of tens of thousands of lines fills
// most of it; the block then asks for large pages (expect_many_symbols).
struct symbol_arrays {
    std::array<symbol_entry, symbol_capacity> entries;
    // The entries' addresses once more, densely in table order: a search by
    // address reads these 4-byte words rather than the entries themselves.
    std::array<uint32_t, symbol_capacity> addresses;
    std::array<uint32_t, name_index_size> name_index;
    // Sort keys: an entry's address in the high half, its index in the low
    // half. Sorting these 8-byte keys rather than the entries themselves needs
    // no buffer as large as the table, and most questions are settled by
    // comparing two numbers.
    std::array<uint64_t, symbol_capacity> sort_keys;
};

// The rest of the block's last large page holds the first names and comments
// (those of a map of tens of thousands of lines fit), so that they come with
// the page rather than a page fault for every few dozen of them.
constexpr size_t first_text_room =
    (sizeof(symbol_arrays) + platform_large_page - 1) / platform_large_page * platform_large_page -
    sizeof(symbol_arrays);
static_assert(first_text_room >= 512 * 1024);

struct symbol_storage : symbol_arrays {
    std::array<char, first_text_room> texts;
};
static_assert(sizeof(symbol_storage) % platform_large_page == 0);
static_assert(std::is_trivially_default_constructible_v<symbol_storage>,
              "made without writing to it, so that untouched pages stay untaken");

// The block's memory is all zeros, and the arrays begin their lives there
// without a write.
symbol_storage& storage = *::new (platform_table_memory(sizeof(symbol_storage))) symbol_storage;
std::array<uint32_t, symbol_capacity>& entry_addresses = storage.addresses;
std::array<uint32_t, name_index_size>& name_index = storage.name_index;
std::array<uint64_t, symbol_capacity>& sort_keys = storage.sort_keys;

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
    return std::strncmp(name, text.data(), text.size()) == 0 && name[text.size()] == '\0';
}

// Slot that holds the name prefix + text, or the free slot where it would go;
// the slot's hash tag in *tag.
uint32_t& name_slot(char prefix, std::string_view text, uint32_t* tag) {
    uint32_t h = name_hash(prefix, text);
    *tag = h & 0xffff0000u;
    uint32_t i = h & (name_index_size - 1);
    for (;; i = (i + 1) & (name_index_size - 1)) {
        uint32_t slot = name_index[i];
        if (slot == 0) break;
        if ((slot & 0xffff0000u) == *tag &&
            name_equals(symbol_table[(slot & 0xffff) - 1].name, prefix, text))
            break;
    }
    return name_index[i];
}

// Makes entry i findable by its name unless an earlier entry has that name.
void index_name(int i) {
    uint32_t tag;
    uint32_t& slot = name_slot(0, symbol_table[i].name, &tag);
    if (slot == 0) slot = tag | uint32_t(i + 1);
}

void rebuild_name_index() {
    name_index.fill(0);
    for (int i = 0; i < symbol_count; ++i) index_name(i);
}

// Index of the first entry named prefix + text, or -1.
int find_name(char prefix, std::string_view text) {
    uint32_t tag;
    uint32_t slot = name_slot(prefix, text, &tag);
    return int(slot & 0xffff) - 1;
}

// ---- texts -------------------------------------------------------------------
//
// The names and comments live until the end of the run: they are packed into
// the room at the end of the table block and then into blocks of 64 KiB,
// rather than taken from the allocator one by one (two allocations per map
// line cost more than the rest of reading it). A text larger than the room
// left starts a new block, one of its own size if it is larger than a block.

constexpr size_t text_block_size = 64 * 1024;
struct text_block {
    text_block* next; // the block filled before this one
};
text_block* text_blocks = nullptr;
char* text_free = storage.texts.data(); // the free room of the newest block
size_t text_room = storage.texts.size();

char* take_text_room(size_t n) {
    if (n > text_room) {
        size_t size = std::max(text_block_size, n + sizeof(text_block));
        auto* block = static_cast<text_block*>(zo_alloc(static_cast<int64_t>(size)));
        block->next = text_blocks;
        text_blocks = block;
        text_free = reinterpret_cast<char*>(block + 1);
        text_room = size - sizeof(text_block);
    }
    char* room = text_free;
    text_free += n;
    text_room -= n;
    return room;
}

// Own copy of a text; the shared empty text for null or "".
const char* keep_text(const char* text) {
    if (!text || !*text) return empty_text;
    size_t n = std::strlen(text) + 1;
    char* copy = take_text_room(n);
    std::memcpy(copy, text, n);
    return copy;
}

void release_texts() {
    while (text_blocks != nullptr) {
        text_block* next = text_blocks->next;
        zo_free(text_blocks);
        text_blocks = next;
    }
    text_free = storage.texts.data();
    text_room = storage.texts.size();
}

// ---- address expressions ---------------------------------------------------

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value of each hex digit character, -1 for the rest.
constexpr std::array<int8_t, 256> hex_digit_values = [] {
    std::array<int8_t, 256> values{};
    for (int c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9')
            values[size_t(c)] = int8_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            values[size_t(c)] = int8_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            values[size_t(c)] = int8_t(c - 'A' + 10);
        else
            values[size_t(c)] = -1;
    }
    return values;
}();
static_assert(hex_digit_values['f'] == 15 && hex_digit_values['G'] == -1);

int hex_digit(char c) {
    return hex_digit_values[static_cast<unsigned char>(c)];
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

constexpr uint64_t index_bits = 0xffffffffu;

// Moves the entries into the order of the keys (whose low halves name the
// entry that belongs at each place), one cycle of the permutation at a time.
// Bit 32 of a key marks its place as done.
void apply_key_order(int n) {
    constexpr uint64_t done = uint64_t(1) << 32;
    for (int k = 0; k < n; ++k) sort_keys[size_t(k)] &= index_bits;
    for (int k = 0; k < n; ++k) {
        if (sort_keys[size_t(k)] & done) continue;
        symbol_entry first = symbol_table[size_t(k)];
        int j = k;
        for (;;) {
            int from = int(sort_keys[size_t(j)] & index_bits);
            sort_keys[size_t(j)] |= done;
            if (from == k) break;
            symbol_table[size_t(j)] = symbol_table[size_t(from)];
            j = from;
        }
        symbol_table[size_t(j)] = first;
    }
}

} // namespace

std::array<symbol_entry, symbol_capacity>& symbol_table = storage.entries;

void expect_many_symbols() {
    platform_prefer_large_pages(&storage, sizeof storage);
}

void add_symbol(uint32_t address, const char* name, const char* comment, bool from_input) {
    if (symbol_count >= symbol_capacity) zo_message("map: too many symbols");
    int i = symbol_count++;
    symbol_table[i] = symbol_entry{keep_text(name), keep_text(comment), address, from_input};
    mark_in_filter(address);
    entry_addresses[size_t(i)] = address;
    index_name(i);
}

int add_new_symbol(uint32_t address, std::string_view name, const char* comment) {
    // One probe of the name index serves both the question and the adding.
    uint32_t tag;
    uint32_t& slot = name_slot(0, name, &tag);
    if (slot != 0) return int(slot & 0xffff) - 1;
    if (symbol_count >= symbol_capacity) zo_message("map: too many symbols");
    int i = symbol_count++;
    char* copy = take_text_room(name.size() + 1);
    std::memcpy(copy, name.data(), name.size());
    copy[name.size()] = '\0';
    symbol_table[i] = symbol_entry{copy, keep_text(comment), address, false};
    mark_in_filter(address);
    entry_addresses[size_t(i)] = address;
    slot = tag | uint32_t(i + 1);
    return -1;
}

int find_symbol(const char* name, bool allow_data_prefix) {
    int i = find_name(0, name);
    if (i < 0 && allow_data_prefix && name[0] != '@') i = find_name('@', name);
    return i;
}

int parse_address(const char* text, uint32_t* value) {
    // Most values are plain numbers of up to 8 digits, which need none of
    // the general reading below.
    {
        const char* p = text;
        if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
        uint32_t number = 0;
        int digits = 0;
        for (int d; digits <= 8 && (d = hex_digit(p[digits])) >= 0; ++digits)
            number = number << 4 | static_cast<uint32_t>(d);
        if (digits <= 8 && p[digits] == '\0' && (digits > 0 || p != text)) {
            *value = number;
            return 0;
        }
    }
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
    const int n = symbol_count;
    // Map files often come sorted already: then nothing moves, and the name
    // index stays as it is.
    int i = 1;
    while (i < n && !symbol_before(symbol_table[size_t(i)], symbol_table[size_t(i - 1)])) ++i;
    if (i >= n) return;

    for (int k = 0; k < n; ++k)
        sort_keys[size_t(k)] = uint64_t(symbol_table[size_t(k)].address) << 32 | uint64_t(k);
    auto keys = sort_keys.begin();
    std::sort(keys, keys + n); // by address, then by the order of adding
    // Entries of one address by name, then by the order of adding.
    auto name_of = [](uint64_t key) { return symbol_table[size_t(key & index_bits)].name; };
    for (auto run = keys; run != keys + n;) {
        auto end = run + 1;
        while (end != keys + n && (*end >> 32) == (*run >> 32)) ++end;
        if (end - run > 1)
            std::sort(run, end, [&name_of](uint64_t a, uint64_t b) {
                int order = std::strcmp(name_of(a), name_of(b));
                return order != 0 ? order < 0 : a < b;
            });
        run = end;
    }
    apply_key_order(n);
    for (int k = 0; k < n; ++k) entry_addresses[size_t(k)] = symbol_table[size_t(k)].address;
    rebuild_name_index();
}

int first_symbol_guess = 0;

namespace {

// Answers of earlier searches by address (jump targets and data values come
// back again and again), each checked against the table before it is used.
struct remembered_answer {
    uint32_t address;
    int32_t index; // -1: none yet
};
constexpr int remembered_slots = 4096;
std::array<remembered_answer, remembered_slots> remembered_answers = [] {
    std::array<remembered_answer, remembered_slots> slots{};
    for (remembered_answer& slot : slots) slot = {0, -1};
    return slots;
}();

bool is_first_at(int i, uint32_t address) {
    return static_cast<unsigned>(i) <= static_cast<unsigned>(symbol_count) &&
           (i == symbol_count || entry_addresses[size_t(i)] >= address) &&
           (i == 0 || entry_addresses[size_t(i - 1)] < address);
}

} // namespace

int first_symbol_elsewhere(int& guess, uint32_t address) {
    // The entry after the guess: the caller has stepped past an entry.
    if (is_first_at(guess + 1, address)) return ++guess;
    remembered_answer& slot = remembered_answers[((address >> 2) * 0x9e3779b1u) >> 20];
    if (slot.index >= 0 && slot.address == address && is_first_at(slot.index, address))
        return guess = slot.index;
    guess = first_symbol_by_search(address);
    slot = {address, guess};
    return guess;
}

int first_symbol_by_search(uint32_t address) {
    auto end = entry_addresses.begin() + symbol_count;
    return static_cast<int>(std::lower_bound(entry_addresses.begin(), end, address) -
                            entry_addresses.begin());
}

void reset_symbol_table() {
    release_texts();
    symbol_table.fill(symbol_entry{});
    symbol_count = 0;
    comment_only_count = 0;
    first_symbol_guess = 0;
    name_index.fill(0);
    entry_filter.fill(0);
    for (remembered_answer& slot : remembered_answers) slot = {0, -1};
}
