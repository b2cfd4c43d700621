// Who calls what and who refers to what: the pass that -X and -C make over
// the listed range before the listing, the references it keeps, the lines
// the listing writes from them, and the call-site report of -C.
#pragma once

#include <cstdint>
#include <vector>

#include "html/page_set.h"
#include "mips/decode.h"

enum class reference_kind : uint8_t { call, data };

// One call of a callee, or one instruction that forms the address of a
// named datum.
struct reference {
    uint32_t target;   // the callee, or the datum
    uint32_t site;     // the call, or the instruction
    uint32_t function; // start of the function the site lies in; 0 when none is known
    reference_kind kind;
};
static_assert(sizeof(reference) <= 16);

// Reads the range once from the input's position (the listing's start) and
// puts the position back. Under -X it keeps every call and data reference
// and the switch dispatches, and names the callees that have no name
// (fun_XXXXXXXX) and the cases; under -C it writes the report.
void collect_references();
// Under -X, after the pass: the jumps of the switch dispatches it found and
// their last cases, for the HTML pre-pass; then, after that, the count of
// dispatches on standard error (in HTML output and under -D) and the links
// of the pages to the calls, the references and the tables.
std::vector<case_reach> case_reaches();
void mark_reference_links();

// Under -X and -c, after the label lines at a: who calls a and who refers
// to it, a comment line each.
void write_reference_lines(uint32_t a);

// Under -X, for a bal, bgezal, jalr or jr line: counts its callee as a call
// target (a tail call through jr as a jump) and, under -c, writes "#" and
// the callee's names (its address when it has none; a bal only with a name).
void write_callee_comment(const decoded_instruction& d);

// Under -X: whether a function that no label names starts at a, the first
// word but a nop after a function end. Asked in ascending order.
bool function_starts_at(uint32_t a);

// Under -X: whether a lies in the table of a switch dispatch (asked in
// ascending order); then write_case_target writes the case target of its
// word w as the rest of a data line: its names, linked in HTML.
bool table_entry_at(uint32_t a);
void write_case_target(uint32_t w);

// Back to the state at program start (for tests).
void reset_references();
