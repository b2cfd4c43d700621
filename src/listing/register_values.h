// What a register holds at a point of the code, as far as the few words
// before it tell: the one look-back behind the address comments of -c, the
// calls through registers of -X and the argument values of -C.
#pragma once

#include <cstdint>

#include "listing/recent_words.h"
#include "mips/decode.h"

// How a register got its value.
enum class value_form : uint8_t {
    number,  // li: an addiu or ori from $zero, or a lui alone
    address, // a lui, or a word loaded from a $gp slot, completed by an addiu or ori
    slot,    // a word loaded as it stands from a $gp slot: a GOT entry, or any word
};

struct register_value {
    uint32_t value; // what the register holds; 0 when not known
    uint32_t slot;  // the $gp slot it was loaded from (slot, address); 0 for none
    value_form form;
    bool known; // false for a slot whose word the input does not hold
};

// The register that v uses as base or source (d = 0) or writes (d >= 1), as
// the address comments look back: 32 for none, -1 to end the look-back.
// A jump further back than the word before the instruction (d > 1) marks the
// look-back unsafe.
int look_back_register(const decoded_instruction& v, int d, bool& unsafe);

// The words before a point in the order the code runs into them, newest
// first, over jumps: past a jump (j, b, jr) that does not lead into the words
// read since the last one, the way resumes at the delay slot of the nearest
// branch or jump further back that does, or failing that of the nearest jr
// other than jr $ra (the dispatch of a switch whose case this is); a jump
// that leads there is read on. For the walks of a switch dispatch, whose
// table is checked after; without over_jumps the words one after another.
struct code_path {
    const word_history& history;
    uint32_t point;         // address of the word after index 0
    int limit;              // indexes below it are read
    bool over_jumps = true; // false: every index in turn
    uint32_t top = 0;       // address of the newest word of the run being read, or
                            // at the start the word after it
    int entered = -1;       // index of the branch the way last came in by

    uint32_t address_of(int k) const { return point - 4 * static_cast<uint32_t>(k + 1); }
    // The first index to read from index first on, and the one after k:
    // limit at the limit, -1 where nothing leads into the run.
    int start(int first);
    int after(int k) { return over_jumps ? settle(k + 1) : k + 1; }

  private:
    int settle(int k);
};

// v, or where the table in use knows no row for its word, the same word by
// the Release 2 table: compilers write Release 2 words (seb, ext, lwx, ...)
// that the default table does not know, and what they do is the same
// without -R2.
decoded_instruction known_row(const decoded_instruction& v);

// The general register that v writes, as the look-backs of values read it:
// fuller than the row's writes, which the address comments keep as they
// are. 32 for none (a multiply, a trap, an FPU operation, ...), -1 when the
// word does not tell (no row, or a coprocessor catch-all).
int register_written(const decoded_instruction& v);

// The address comments' look-back for instruction d, the word at history
// index -1 (the one being listed): the high part that a lui, or a lw from a
// local GOT entry, gave the register d uses as base or source within the
// look-back, and whether that came from the GOT; false when no such word is
// found.
bool base_high_part(const word_history& history, const decoded_instruction& d, uint32_t& high,
                    bool& got, bool& unsafe);

// The value of register r after the words of history from index first on
// (first 0: the newest one) by the look-back of calls: set by lui, li,
// addiu, ori, a move, or a lw from a $gp slot, within the look-back's
// length; a call whose callee ran in between (any but the one at own_call,
// -1 for none) ends it for a register that a callee need not keep, and a
// jump in between ends it. point is the address that follows the newest
// word. False when the words do not tell.
bool find_register_value(const word_history& history, uint32_t point, int r, int first,
                         int own_call, register_value& out);

// The same over the words within length of the point, whatever -B says,
// with no call looked at and over jumps: for the longer sequences of a
// switch dispatch, whose table is checked after.
bool find_register_value_within(const word_history& history, uint32_t point, int r, int first,
                                int length, register_value& out);
// The history index of the word that last wrote r, by the same rules (over
// jumps), from index first on within length of the point, and that word
// decoded; below 0 when none is found or the words do not tell.
int find_last_write(const word_history& history, uint32_t point, int r, int first, int length,
                    decoded_instruction& writer);

// The callee of call word d, the word after history index 0: the target of a
// jal or of a bal/bgezal (but for one to the word after its delay slot, which
// only takes the program counter), or for a jalr, or a jr other than jr $ra
// (a tail call), the address its register holds (a slot whose word is
// unknown or 0 but named stands for the import it names). False for any
// other word, and for a jalr or jr whose register is not known.
bool find_callee(const word_history& history, const decoded_instruction& d, uint32_t& callee);

// True for the calls that -X counts: jal, bal/bgezal, jalr.
bool is_call_word(const decoded_instruction& d);
// True for a jr other than jr $ra: a tail call when its register is known.
bool is_tail_call(const decoded_instruction& d);
