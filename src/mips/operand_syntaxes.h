// Every operand syntax that the rows of the tables use, once each: the
// listing writes the operands of each with code made for it while compiling.
#pragma once

#include <array>
#include <cstddef>

#include "mips/mips32_rows.h"
#include "mips/release2_rows.h"

namespace syntax_list {

// Calls f for every row of both tables, the Release 2 rows first.
template <typename visit> constexpr void for_each_row(visit&& f) {
    for (const opcode_entry& e : release2::rows) f(e);
    for (const opcode_entry& e : mips32::rows) f(e);
}

constexpr size_t count_distinct() {
    std::array<std::string_view, release2::rows.size() + mips32::rows.size()> seen{};
    size_t n = 0;
    for_each_row([&](const opcode_entry& e) {
        for (size_t i = 0; i < n; ++i)
            if (seen[i] == e.operands.text) return;
        seen[n++] = e.operands.text;
    });
    return n;
}

} // namespace syntax_list

inline constexpr size_t operand_syntax_count = syntax_list::count_distinct();

// In the order the rows first use them.
inline constexpr std::array<operand_syntax, operand_syntax_count> operand_syntaxes = [] {
    std::array<operand_syntax, operand_syntax_count> list{};
    size_t n = 0;
    syntax_list::for_each_row([&](const opcode_entry& e) {
        for (size_t i = 0; i < n; ++i)
            if (list[i].text == e.operands.text) return;
        list[n++] = e.operands;
    });
    return list;
}();

// The index of a syntax in operand_syntaxes.
constexpr uint8_t syntax_index_of(const operand_syntax& s) {
    for (size_t i = 0; i < operand_syntaxes.size(); ++i)
        if (operand_syntaxes[i].text == s.text) return static_cast<uint8_t>(i);
    return 0xff;
}
