// The map-file reader: one symbol or comment per line,
//   value [@|*]symbol [comment] [#comment]
//   value // comment
#include "symbols/map_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "symbols/symbol_table.h"
#include "util/zo.h"

namespace {

// Longest line plus line end and terminator; longer lines end the program in zo_getline.
constexpr int map_line_size = 200;

// The map being read; a bad line ends the program with it still open.
FILE* open_map = nullptr;

// The stream buffer of the map being read: a map of thousands of lines is
// read in a few large pieces rather than one disk block at a time. Map files
// are read one after the other.
char map_buffer[64 * 1024];

// Character classes of the map syntax, one table lookup per character.
namespace char_class {
constexpr uint8_t word_delimiter = 1; // blank, tab, carriage return, line feed
constexpr uint8_t line_end = 2;       // carriage return, line feed
constexpr uint8_t name = 4;           // a..z, A..Z, 0..9, _
constexpr uint8_t hex = 8;            // 0..9, a..f, A..F
} // namespace char_class

constexpr std::array<uint8_t, 256> char_classes = [] {
    std::array<uint8_t, 256> classes{};
    for (unsigned char c : {' ', '\t'}) classes[c] = char_class::word_delimiter;
    for (unsigned char c : {'\r', '\n'})
        classes[c] = char_class::word_delimiter | char_class::line_end;
    for (int c = 0; c < 256; ++c) {
        bool digit = c >= '0' && c <= '9';
        bool lower = c >= 'a' && c <= 'z', upper = c >= 'A' && c <= 'Z';
        if (digit || lower || upper || c == '_') classes[size_t(c)] |= char_class::name;
        if (digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
            classes[size_t(c)] |= char_class::hex;
    }
    return classes;
}();
static_assert(char_classes['_'] == char_class::name && char_classes['F'] == 12);

bool is_a(char c, uint8_t cls) {
    return (char_classes[static_cast<unsigned char>(c)] & cls) != 0;
}

// Cuts the next token out of the terminated text at *cursor, as strtok does:
// skips leading delimiters (characters of class delimiter), ends the token at
// the next delimiter by writing a terminator there and leaves *cursor just
// past it (or on the final terminator). Returns null when only delimiters
// remain.
char* next_token(char** cursor, uint8_t delimiter) {
    char* p = *cursor;
    while (*p && is_a(*p, delimiter)) ++p;
    if (!*p) {
        *cursor = p;
        return nullptr;
    }
    char* token = p;
    while (*p && !is_a(*p, delimiter)) ++p;
    if (*p) *p++ = 0;
    *cursor = p;
    return token;
}

// A name after one optional '@' or '*': not empty, no leading decimal digit,
// only letters, digits and '_', and not all hex digits (it could never be
// named in an address expression, which reads it as a number).
bool is_valid_symbol(const char* word) {
    if (*word == '@' || *word == '*') ++word;
    if (!*word || (*word >= '0' && *word <= '9')) return false;
    bool hex_only = true;
    for (const char* p = word; *p; ++p) {
        uint8_t cls = char_classes[static_cast<unsigned char>(*p)];
        if (!(cls & char_class::name)) return false;
        if (!(cls & char_class::hex)) hex_only = false;
    }
    return !hex_only;
}

} // namespace

void read_map_file(const char* path) {
    expect_many_symbols();
    FILE* map = zo_fopen(path, "r");
    setvbuf(map, map_buffer, _IOFBF, sizeof map_buffer);
    open_map = map;
    char line[map_line_size];
    while (zo_getline(map, map_line_size, line)) {
        // A NUL byte inside the line simply ends it here: everything below
        // works on the terminated text only.
        if (char* hash = std::strchr(line, '#')) *hash = 0;
        char* cursor = line;
        char* value_word = next_token(&cursor, char_class::word_delimiter);
        if (!value_word) continue;
        char* symbol_word = next_token(&cursor, char_class::word_delimiter);
        if (!symbol_word) zo_message("%s: bad format in line %d", path, zo_lineno);
        // The comment starts after the one delimiter that ended the symbol.
        const char* comment = next_token(&cursor, char_class::line_end);
        if (comment) comment += std::strspn(comment, " \t");

        uint32_t value;
        if (parse_address(value_word, &value) != 0)
            zo_message("%s: bad value in line %d", path, zo_lineno);

        if (std::strcmp(symbol_word, "//") == 0) {
            if (comment && *comment) {
                ++comment_only_count;
                add_symbol(value, nullptr, comment);
            }
            continue;
        }
        if (!is_valid_symbol(symbol_word)) zo_message("%s: bad symbol in line %d", path, zo_lineno);
        // A name met before is a repeat (nothing new) at the same address
        // and an error at another.
        int existing = add_new_symbol(value, symbol_word, comment);
        if (existing >= 0 && symbol_table[existing].address != value)
            zo_message("%s: symbol '%s' redefined", path, symbol_word);
    }
    open_map = nullptr;
    zo_fclose(map);
    sort_symbols();
}

void reset_map_file() {
    if (open_map != nullptr) std::fclose(open_map);
    open_map = nullptr;
}
