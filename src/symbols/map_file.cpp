// The map-file reader: one symbol or comment per line,
//   value [@|*]symbol [comment] [#comment]
//   value // comment
#include "symbols/map_file.h"

#include <cstring>

#include "symbols/symbol_table.h"
#include "util/zo.h"

namespace {

// Longest line plus line end and terminator; longer lines end the program in zo_getline.
constexpr int map_line_size = 200;

bool is_word_delimiter(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool is_line_end(char c) {
    return c == '\r' || c == '\n';
}

// Cuts the next token out of the terminated text at *cursor, as strtok does:
// skips leading delimiters, ends the token at the next delimiter by writing a
// terminator there and leaves *cursor just past it (or on the final
// terminator). Returns null when only delimiters remain.
char* next_token(char** cursor, bool (*is_delimiter)(char)) {
    char* p = *cursor;
    while (*p && is_delimiter(*p)) ++p;
    if (!*p) {
        *cursor = p;
        return nullptr;
    }
    char* token = p;
    while (*p && !is_delimiter(*p)) ++p;
    if (*p) *p++ = 0;
    *cursor = p;
    return token;
}

bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// A name after one optional '@' or '*': not empty, no leading decimal digit,
// only letters, digits and '_', and not all hex digits (it could never be
// named in an address expression, which reads it as a number).
bool is_valid_symbol(const char* word) {
    if (*word == '@' || *word == '*') ++word;
    if (!*word || (*word >= '0' && *word <= '9')) return false;
    bool hex_only = true;
    for (const char* p = word; *p; ++p) {
        if (!is_name_char(*p)) return false;
        if (!is_hex_digit(*p)) hex_only = false;
    }
    return !hex_only;
}

} // namespace

void read_map_file(const char* path) {
    FILE* map = zo_fopen(path, "r");
    char line[map_line_size];
    while (zo_getline(map, map_line_size, line)) {
        // A NUL byte inside the line simply ends it here: everything below
        // works on the terminated text only.
        if (char* hash = std::strchr(line, '#')) *hash = 0;
        char* cursor = line;
        char* value_word = next_token(&cursor, is_word_delimiter);
        if (!value_word) continue;
        char* symbol_word = next_token(&cursor, is_word_delimiter);
        if (!symbol_word) zo_message("%s: bad format in line %d", path, zo_lineno);
        // The comment starts after the one delimiter that ended the symbol.
        const char* comment = next_token(&cursor, is_line_end);
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
        int existing = find_symbol(symbol_word, false);
        if (existing >= 0) {
            if (symbol_table[existing].address == value) continue; // a repeat: nothing new
            zo_message("%s: symbol '%s' redefined", path, symbol_word);
        }
        add_symbol(value, symbol_word, comment);
    }
    zo_fclose(map);
    sort_symbols();
}
