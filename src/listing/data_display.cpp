// The data display: "#", the address, its map names, then the text stored
// there in quotes or, for a pointer, " ->" and the chain of pointed-to
// addresses. The memory is read from the listing's own input stream, whose
// position is put back afterwards so that the listing goes on at its word.
#include "listing/data_display.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "listing/labels.h"
#include "mips/byte_order.h"
#include "object/elf_loader.h"
#include "util/block_cache.h"
#include "util/output.h"
#include "util/platform.h"
#include "util/run_settings.h"
#include "util/zo.h"

uint32_t followed_pointer = 0;

namespace {

constexpr int window_size = 50;  // bytes read at each address of a chain
constexpr int text_shown = 46;   // characters shown of a window full of text
constexpr int deepest_level = 5; // the last level read; one more is named only

// State of the chain being written.
int display_depth = 0;
uint32_t display_last = 0;
long display_saved_position = 0; // listing position to restore; 0: not saved
bool chain_from_got = false;     // the chain began at a slot of the GOT

// Blocks of the input kept for the displays. A seek away from the listing's
// place and back throws the stream's buffer away, so a display that went to
// the stream for its 50 bytes would make the listing re-read a whole buffer
// afterwards. Displays mostly read the same few data areas again and again;
// with the blocks that hold them kept, the stream is only moved when a display
// needs a block it has not seen yet. The input does not change while it is
// listed. (A megabyte, which the displays of a large input fill: it asks
// for large pages, so that a page fault or two serve it rather than
// hundreds.)
using display_blocks = block_cache<16384, 64>;
display_blocks& blocks = *[] {
    auto* cache = ::new (platform_table_memory(sizeof(display_blocks))) display_blocks;
    platform_prefer_large_pages(cache, sizeof(display_blocks));
    return cache;
}();
int64_t input_size = -1; // length of the input in bytes; -1 when not known

void forget_blocks() {
    blocks.start(settings.input, false);
    input_size = -1;
}

// Takes the blocks and the length of a new input. Pointers often lead far
// past the end of the input; knowing its length keeps them from costing a
// seek each.
void take_input() {
    forget_blocks();
    if (!blocks.stream) return;
    blocks.moved = true;
    if (std::fseek(blocks.stream, 0, SEEK_END) == 0) input_size = std::ftell(blocks.stream);
}

// Reads the window at address a into bytes; false when the address lies
// before the input's first byte or fewer than window_size bytes are there.
bool read_window(uint32_t a, unsigned char (&bytes)[window_size]) {
    // An address below the offset is no position at all: it must not be taken
    // as a position counted back from the end.
    if (a < settings.offset) return false;
    int64_t position = static_cast<int64_t>(a - settings.offset);
    if (blocks.stream != settings.input) take_input();
    if (input_size >= 0 && position > input_size - window_size) return false;
    return blocks.read(uint64_t(position), bytes, window_size);
}

bool is_text_byte(unsigned char c) {
    return (c >= 0x20 && c <= 0x7e) || c == '\t' || c == '\r' || c == '\n';
}

// Writes " \"text\"" when the window holds a NUL-terminated text of at least
// two characters, or is text throughout; false when it holds no text.
bool write_text(const unsigned char (&bytes)[window_size], std::string_view open = " \"") {
    char text[window_size];
    int n = 0;
    while (n < window_size && is_text_byte(bytes[n])) {
        unsigned char c = bytes[n];
        text[n++] = c == '\t' || c == '\r' || c == '\n' ? ' ' : static_cast<char>(c);
    }
    bool full = n == window_size;
    if (!full && (bytes[n] != 0 || n < 2)) return false;
    out_text(open);
    out_input_text(std::string_view(text, full ? text_shown : n));
    if (full) out_text("...");
    out_char('"');
    return true;
}

// True for the words that show a window holds code rather than a pointer:
// addiu $sp,$sp,..., lui $gp,... and lui $v0,...
bool is_code_word(uint32_t p) {
    uint32_t upper = p & 0xffff0000;
    return upper == 0x27bd0000 || upper == 0x3c1c0000 || upper == 0x3c020000;
}

// Puts the listing's input back at position when the kept blocks moved it.
void put_back(long position) {
    errno = 0;
    if (blocks.moved && std::fseek(settings.input, position, SEEK_SET) != 0)
        zo_error(zo_fname(settings.input), "*fseek error");
    blocks.moved = false;
}

// Puts the listing's position back after the reads of a chain.
void restore_position() {
    if (display_saved_position != 0) {
        put_back(display_saved_position);
        display_saved_position = 0;
    }
    display_depth = 0;
    display_last = 0;
}

// The mode of the level behind a slot of the global offset table that holds p.
display_mode behind_got_slot(display_mode mode, uint32_t p) {
    if (p == 0 || mode == display_mode::got_function) return display_mode::shown;
    if (mode == display_mode::got_local && (p & 0xffff) == 0) return display_mode::shown;
    return display_mode::chain;
}

} // namespace

void data_display(uint32_t a, bool from_operand, display_mode mode) {
    const bool got = mode == display_mode::got_entry || mode == display_mode::got_function ||
                     mode == display_mode::got_local;
    if (mode == display_mode::plain || mode == display_mode::function_pointer || got ||
        mode == display_mode::got_address) {
        chain_from_got = got || mode == display_mode::got_address;
        display_last = 0;
        display_depth = 0;
        display_saved_position = 0;
    }
    bool continuation = display_saved_position != 0;
    if (continuation)
        out_text(" ->");
    else
        out_text(has_flag(flag::sequence_unsafe) ? "# unsafe:" : "#");

    // In an operand's chain the names stand in place of the addresses.
    if (!from_operand || !continuation) out_char(' '), out_hex(a, 0);
    if (show_labels(a, label_mode::comment) == 0 && from_operand && continuation)
        out_char(' '), out_hex(a, 0);

    if (display_depth == 1) followed_pointer = a;
    if (mode == display_mode::shown) return;
    // Memory in the object's code section is not read.
    if (object.text_start <= a && a < object.text_end) return;
    int depth = display_depth++;
    if (depth > deepest_level || a == display_last) return;
    display_last = a;
    if (display_saved_position == 0) {
        long position = std::ftell(settings.input);
        // 0 marks "not saved", so a listing still at its first byte is not
        // disturbed at all.
        if (position <= 0) return;
        display_saved_position = position;
    }

    unsigned char bytes[window_size];
    if (read_window(a, bytes) && (got || !write_text(bytes))) {
        // A continuation behind a function pointer is only read when the
        // pointer can land in an object's code section.
        bool follow = !(mode == display_mode::after_function_pointer && object.text_end == 0);
        uint32_t p = assemble_word(bytes);
        if (follow && !is_code_word(p)) {
            display_mode next = mode == display_mode::function_pointer
                                    ? display_mode::after_function_pointer
                                    : display_mode::chain;
            if (got) next = behind_got_slot(mode, p);
            // (A null pointer behind a GOT entry leads nowhere; in a file
            // loaded from 0, its ELF header lies there.)
            if (chain_from_got && p == 0) next = display_mode::shown;
            data_display(p, from_operand, next);
        }
    }
    restore_position();
}

namespace {

// Reads n bytes at address a as the displays read them, the listing's
// position put back; false when the input does not hold them.
bool read_restored(uint32_t a, unsigned char* bytes, int n) {
    if (a < settings.offset) return false;
    const long position = std::ftell(settings.input);
    if (position <= 0) return false;
    if (blocks.stream != settings.input) take_input();
    const int64_t at = int64_t(a - settings.offset);
    const bool held =
        (input_size < 0 || at <= input_size - n) && blocks.read(uint64_t(at), bytes, n);
    put_back(position);
    return held;
}

} // namespace

bool read_listed_word(uint32_t a, uint32_t& word) {
    unsigned char bytes[4];
    const bool held = read_restored(a, bytes, 4);
    if (held) word = assemble_word(bytes);
    return held;
}

bool write_text_at(uint32_t a) {
    unsigned char bytes[window_size];
    if (!read_restored(a, bytes, window_size)) return false;
    return write_text(bytes, "\"");
}

bool input_holds(uint32_t a) {
    if (a < settings.offset) return false;
    if (blocks.stream != settings.input) {
        // (Taking the input's length moves it: its position is put back.)
        const long position = std::ftell(settings.input);
        take_input();
        if (position >= 0) put_back(position);
    }
    return input_size < 0 || int64_t(a - settings.offset) < input_size;
}

void reset_data_display() {
    followed_pointer = 0;
    chain_from_got = false;
    display_depth = 0;
    display_last = 0;
    display_saved_position = 0;
    forget_blocks();
}
