// Shows the memory at an address: names, text in quotes, or a pointer chain.
#pragma once

#include <cstdint>

// plain, function_pointer and the GOT modes start a chain; the others
// continue one (after_function_pointer: the level behind a function-pointer
// table entry; shown: an address named but not read).
enum class display_mode {
    plain,
    function_pointer,
    after_function_pointer,
    chain,
    // A slot of the global offset table, read as an address whatever its
    // bytes: a global entry, its value followed as a chain; a global entry
    // loaded as a function, its value named only; a local entry, whose value
    // is shown but not read when it is a 64 KiB page (the high part of an
    // address that the code completes) and followed as an address otherwise.
    // A value of 0 is shown only.
    got_entry,
    got_function,
    got_local,
    // An address formed from a local GOT entry, read as a plain one but for
    // a null pointer in its chain, which is shown only.
    got_address,
    shown,
};

// Address reached at the second level of the current instruction's display.
extern uint32_t followed_pointer;

// Writes the display of address a (no newline); restores the input position.
void data_display(uint32_t a, bool from_operand, display_mode mode);
// The word at address a of the input, read as the displays read it (the
// position restored); false when the input does not hold it or the listing
// still stands at its first byte.
bool read_listed_word(uint32_t a, uint32_t& word);
// Writes the text at address a in quotes as the display shows it; false,
// writing nothing, when no text stands there.
bool write_text_at(uint32_t a);
// True when the input holds address a.
bool input_holds(uint32_t a);
// Clears followed_pointer and the chain state (for tests; the program never
// calls it).
void reset_data_display();
