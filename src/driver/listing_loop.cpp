#include "driver/listing_loop.h"

#include <cstdio>

#include "html/page_elements.h"
#include "html/page_set.h"
#include "listing/instruction_text.h"
#include "listing/labels.h"
#include "listing/recent_words.h"
#include "listing/references.h"
#include "mips/byte_order.h"
#include "util/address_gaps.h"
#include "util/block_reader.h"
#include "util/output.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace {

// 1 after every line written; counts the words of a run of repeated data
// words. 0 before the first line, so the first word is never folded.
int repeat_count = 0;

// Standard output's buffer for a text listing, and whether the stream has
// it. A stream's buffer may be set only before its first use: a process that
// lists more than once (the fuzzers, the tests) keeps the one it set first,
// so the flag outlives the reset of the run state.
char stdout_buffer[1 << 18];
bool stdout_buffer_set = false;

// "%6xr": the offset from the last label, blank-padded to at least 6 digits.
void write_relative_prefix(uint32_t offset) {
    char text[10];
    char* p = put_hex_digits(text, offset, 6, ' ');
    *p++ = 'r';
    out_text(std::string_view(text, static_cast<size_t>(p - text)));
}

// The address and raw-word columns of a data line.
void write_word_prefix(uint32_t address, uint32_t word) {
    char text[32];
    put_word_prefix(text, address, word);
    out_text(std::string_view(text, word_prefix_length));
}

// Labels, fold or line for the word at settings.start.
void list_one_word(uint32_t word) {
    const uint32_t address = settings.start;
    // Decoded once, for its line unless it is shown as data, and for the
    // function-end rule when it may change the flow of control.
    decoded_instruction d;
    const bool decoded = !has_flag(flag::data_mode) || may_change_flow(word);
    if (decoded) d = decode_word(address, word);
    function_end_track(address, word, decoded ? &d : nullptr);
    int labels = show_labels(address, label_mode::label);
    // Under -X the words of a switch table are data lines naming their cases.
    const bool entry = has_flag(flag::cross_references) && table_entry_at(address);

    // A run of equal data words shows its first word and one fold marker; a
    // label inside the run interrupts it.
    if (labels == 0 && has_flag(flag::data_mode) && !entry && repeat_count != 0 &&
        word == recent_words[recent_index]) {
        if (++repeat_count == 2) out_text("\t...\t...\n");
        return;
    }

    --settings.line_budget;
    repeat_count = 1;
    if (has_flag(flag::relative) && last_label_address != 0)
        write_relative_prefix(address - last_label_address);
    if (entry) {
        write_word_prefix(address, word);
        write_case_target(word);
    } else if (has_flag(flag::data_mode)) {
        write_word_prefix(address, word);
        show_labels(word, label_mode::value);
    } else {
        if (!decoded) d = decode_word(address, word);
        // (The instruction's line takes the columns into its own text.)
        write_instruction(d, true);
    }
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
    if (!html && settings.output == stdout && !stdout_buffer_set) {
        std::setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
        stdout_buffer_set = true;
    }
    if (has_flag(flag::call_report)) {
        collect_references();
        end_run();
        return;
    }
    // The input is read in blocks. The data display seeks the same stream,
    // but it puts the position back, which is then the end of the block held
    // here.
    block_reader reader(settings.input);
    address_gap gap = gap_after(settings.start);
    while (settings.line_budget > 0) {
        // size counts down the bytes still to list; a trailing part word is
        // not listed. (Checked before subtracting, so a size near the lowest
        // int cannot wrap around.)
        if (settings.size < 4) break;
        settings.size -= 4;
        const unsigned char* bytes;
        if (reader.take_words(1, &bytes) == 0) break;
        // The zeros of a gap are read but not listed; a run of equal words
        // does not fold across one.
        if (settings.start >= gap.start) {
            if (settings.start < gap.end) {
                settings.start += 4;
                repeat_count = 0;
                continue;
            }
            if (html) html_pass_gap(gap.end);
            gap = gap_after(settings.start);
        }
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
