#include "driver/listing_loop.h"

#include <cstdio>

#include "html/page_elements.h"
#include "html/page_set.h"
#include "listing/decode.h"
#include "listing/labels.h"
#include "listing/recent_words.h"
#include "mips/byte_order.h"
#include "util/output.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace {

// 1 after every line written; counts the words of a run of repeated data
// words. 0 before the first line, so the first word is never folded.
int repeat_count = 0;

constexpr char hex_digits[] = "0123456789abcdef";

char* put_hex8(char* p, uint32_t value) {
    for (int shift = 28; shift >= 0; shift -= 4) *p++ = hex_digits[(value >> shift) & 15];
    return p;
}

// "%6xr": the offset from the last label, blank-padded to at least 6 digits.
void write_relative_prefix(uint32_t offset) {
    char text[10];
    int n = 0;
    char digits[8];
    int count = 0;
    do {
        digits[count++] = hex_digits[offset & 15];
        offset >>= 4;
    } while (offset != 0);
    for (int pad = 6 - count; pad > 0; --pad) text[n++] = ' ';
    while (count > 0) text[n++] = digits[--count];
    text[n++] = 'r';
    out_text(std::string_view(text, static_cast<size_t>(n)));
}

// "\t%08x:    %08x\t": address and raw word.
void write_word_prefix(uint32_t address, uint32_t word) {
    char text[24];
    char* p = text;
    *p++ = '\t';
    p = put_hex8(p, address);
    *p++ = ':';
    for (int i = 0; i < 4; ++i) *p++ = ' ';
    p = put_hex8(p, word);
    *p++ = '\t';
    out_text(std::string_view(text, static_cast<size_t>(p - text)));
}

// Labels, fold or line for the word at settings.start.
void list_one_word(uint32_t word) {
    const uint32_t address = settings.start;
    function_end_check(end_check::track, address, word);
    int labels = show_labels(address, label_mode::label);

    // A run of equal data words shows its first word and one fold marker; a
    // label inside the run interrupts it.
    if (labels == 0 && has_flag(flag::data_mode) && repeat_count != 0 &&
        word == recent_words[recent_index]) {
        if (++repeat_count == 2) out_text("\t...\t...\n");
        return;
    }

    --settings.line_budget;
    repeat_count = 1;
    if (has_flag(flag::relative) && last_label_address != 0)
        write_relative_prefix(address - last_label_address);
    write_word_prefix(address, word);
    if (has_flag(flag::data_mode))
        show_labels(word, label_mode::value);
    else
        decode_instruction(address, word);
}

// After the last word: pages, input, image file. A text listing writes
// nothing more.
void end_run() {
    if (html_output()) html_close_pages();
    // The field is cleared first: should the close fail, the exit hook must
    // not close the stream a second time.
    FILE* input = settings.input;
    settings.input = nullptr;
    zo_fclose(input);
    if (settings.image_path != nullptr) std::remove(settings.image_path);
    // A listing cut short by a failed write (a full disk) must not end as a
    // success. (Page files report their errors when they are closed.)
    if (!html_output()) zo_fflush(settings.output);
}

} // namespace

void list_words() {
    const bool html = html_output();
    // Nothing has been written to standard output yet: give it a larger buffer
    // than the default of one disk block, so that a big listing costs few
    // write calls.
    static char stdout_buffer[1 << 16];
    if (!html && settings.output == stdout)
        std::setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
    // The input is read in blocks: a locked stream read per word costs more
    // than decoding the word. The data display seeks the same stream, but it
    // puts the position back, which is then the end of the block held here.
    // A word is taken while 4 bytes of the block are left; a short block
    // ends the input, and a part word at its end is not listed.
    unsigned char block[16384];
    static_assert(sizeof block % 4 == 0);
    int filled = 0, used = 0;
    bool input_ended = false;
    while (settings.line_budget > 0) {
        // size counts down the bytes still to list; a trailing part word is
        // not listed. (Checked before subtracting, so a size near the lowest
        // int cannot wrap around.)
        if (settings.size < 4) break;
        settings.size -= 4;
        if (filled - used < 4) {
            if (input_ended) break;
            filled = zo_fread(settings.input, sizeof block, block);
            used = 0;
            input_ended = filled < static_cast<int>(sizeof block);
            if (filled < 4) break;
        }
        const unsigned char* bytes = block + used;
        used += 4;
        // (The switch itself checks the same; asked here first, the call is
        // made once per page rather than once per word.)
        if (html && pages.current < pages.count && pages.starts[pages.current] == settings.start)
            html_page_switch(settings.start);
        uint32_t word = assemble_word(bytes);
        list_one_word(word);
        remember_word(word);
        settings.start += 4;
    }
    end_run();
}

void reset_listing_state() {
    reset_recent_words();
    repeat_count = 0;
}
