// The operand syntax of an opcode-table row, written in the manual's field
// names ("rt,offset(base)", "fd,fs,ft") and turned into a short sequence of
// field codes and characters while compiling, so that one routine writes the
// operands of every row.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The fields an operand names, and so how it is written.
enum class operand_field : uint8_t {
    none,
    rs,         // general registers in bits 21, 16 and 11
    rt,         //
    rd,         //
    base,       // rs as the base of a memory operand
    index,      // rt as the index of a memory operand
    fd,         // FPU registers "$fN" in bits 6, 11, 16 and 21
    fs,         //
    ft,         //
    fr,         //
    sa,         // bits 6 to 10 in decimal; also "pos" and "stype"
    size,       // the field size of ext (rd + 1) and of ins (rd + 1 - pos)
    op,         // rt in decimal: the operation of cache and pref
    hint,       // rd in decimal: the hint of prefx
    offset,     // the signed 16-bit immediate in decimal; also "simm"
    immediate,  // the same with its echo "=0x%04x"
    uimmediate, // the 16-bit immediate "0x%x"
    target,     // a branch target
    jump,       // the target of j and jal ("instr_index"), with the names there
    code,       // bits 6 to 25 "0x%05x": break, syscall, sdbbp
    code10,     // bits 6 to 15 "0x%03x": the register traps
    code19,     // bits 6 to 24 "0x%05x": wait
    cc,         // an FPU condition code "$fccN" in bits 18 to 20
    cmpcc,      // the same in bits 8 to 10 (c.cond.fmt)
    creg,       // rd as "$N": a hardware or FPU control register
    cp0,        // rd and sel as "RN.S", the register named by rd under -c
    cp0sel,     // the same, named by rd and sel
    cofun,      // bits 0 to 25 "0x%07x": cop0 to cop3
    // The DSP, MT and MCU ASEs (-R2):
    ac,       // an accumulator "$acN" in bits 11 and 12
    ac_rs,    // the same in bits 21 and 22 (mfhi, mflo)
    rs_n,     // rs in decimal: a shift amount (the row's mask keeps its width)
    rd_n,     // rd in decimal: a shift amount, a byte position
    imm8,     // bits 16 to 23 "0x%x" (repl.qb)
    imm10,    // bits 16 to 25 signed, in decimal (repl.ph)
    shift6,   // bits 20 to 25 signed, in decimal (shilo)
    mask_rt,  // bits 16 to 21 in decimal: the DSP control fields of rddsp
    mask_rd,  // bits 11 to 16 in decimal: those of wrdsp
    ac18,     // an accumulator "$acN" in bits 18 and 19 (mftlo, mfthi, mftacx)
    ac13,     // the same in bits 13 and 14 (mttlo, mtthi, mttacx)
    cp0_rt,   // rt and sel as "RN.S", as cp0sel names rd and sel (mftc0)
    creg_rt,  // rt as "$N": an FPU control register (cftc1)
    u_bit,    // bit 5 in decimal (mftr, mttr)
    h_bit,    // bit 4 in decimal
    sel3,     // bits 0 to 2 in decimal
    bit3,     // bits 12 to 14 in decimal (aset, aclr)
    offset12, // bits 0 to 11 signed, in decimal
};

// The names the syntax may use, and what each stands for.
struct operand_name {
    std::string_view name;
    operand_field field;
};
inline constexpr std::array<operand_name, 49> operand_names{{
    {"rs", operand_field::rs},
    {"rt", operand_field::rt},
    {"rd", operand_field::rd},
    {"base", operand_field::base},
    {"index", operand_field::index},
    {"fd", operand_field::fd},
    {"fs", operand_field::fs},
    {"ft", operand_field::ft},
    {"fr", operand_field::fr},
    {"sa", operand_field::sa},
    {"pos", operand_field::sa},
    {"stype", operand_field::sa},
    {"size", operand_field::size},
    {"op", operand_field::op},
    {"hint", operand_field::hint},
    {"offset", operand_field::offset},
    {"simm", operand_field::offset},
    {"immediate", operand_field::immediate},
    {"uimmediate", operand_field::uimmediate},
    {"target", operand_field::target},
    {"instr_index", operand_field::jump},
    {"code", operand_field::code},
    {"code10", operand_field::code10},
    {"code19", operand_field::code19},
    {"cc", operand_field::cc},
    {"cmpcc", operand_field::cmpcc},
    {"creg", operand_field::creg},
    {"cp0", operand_field::cp0},
    {"cp0sel", operand_field::cp0sel},
    {"cofun", operand_field::cofun},
    {"ac", operand_field::ac},
    {"ac_rs", operand_field::ac_rs},
    {"sa_rs", operand_field::rs_n},
    {"sa_rd", operand_field::rd_n},
    {"bp", operand_field::rd_n},
    {"imm8", operand_field::imm8},
    {"imm10", operand_field::imm10},
    {"shift6", operand_field::shift6},
    {"mask_rt", operand_field::mask_rt},
    {"mask_rd", operand_field::mask_rd},
    {"u", operand_field::u_bit},
    {"h", operand_field::h_bit},
    {"sel", operand_field::sel3},
    {"bit", operand_field::bit3},
    {"offset12", operand_field::offset12},
    {"ac18", operand_field::ac18},
    {"ac13", operand_field::ac13},
    {"cp0_rt", operand_field::cp0_rt},
    {"creg_rt", operand_field::creg_rt},
}};

// Pieces from this value up are fields (field_piece + the field), those
// below it the characters of the syntax.
constexpr uint8_t field_piece = 0x80;

// True for the fields that name a general register.
constexpr bool is_register_field(operand_field f) {
    return f == operand_field::rs || f == operand_field::rt || f == operand_field::rd ||
           f == operand_field::base || f == operand_field::index;
}

// A row's operands: the syntax as written, and the same as pieces, each a
// field code (field_piece and up) or a character to write; operand k is the pieces
// from starts[k] to starts[k + 1], and a ',' goes between the operands
// written. An operand whose name ends in '?' is left out, with its comma,
// when its value is 0.
struct operand_syntax {
    static constexpr int piece_capacity = 12;
    static constexpr int operand_capacity = 5;

    std::string_view text;
    std::array<uint8_t, piece_capacity> pieces{};
    std::array<uint8_t, operand_capacity + 1> starts{};
    uint8_t operand_count = 0;
    uint8_t optional = 0;   // bit k: operand k may be left out
    uint64_t field_set = 0; // bit f: field f appears
    // The register field of each of the first three operands that is one
    // register alone; none for the others (-S and -P compare them).
    std::array<operand_field, 3> registers{};

    constexpr operand_syntax() = default;
    // A syntax with a name not in operand_names, or too long, does not compile.
    consteval operand_syntax(const char* syntax) : text(syntax) {
        int pieces_in_operand = 0;
        int count = 0;
        for (size_t i = 0; i < text.size();) {
            const char c = text[i];
            if (i == 0) operand_count = 1;
            if (c == ',') {
                if (operand_count == operand_capacity) throw "too many operands";
                starts[operand_count++] = static_cast<uint8_t>(count);
                pieces_in_operand = 0;
                ++i;
                continue;
            }
            const size_t k = operand_count - 1u;
            operand_field f = operand_field::none;
            if (c >= 'a' && c <= 'z') {
                size_t end = i;
                while (end < text.size() && is_name_character(text[end])) ++end;
                f = field_named(text.substr(i, end - i));
                field_set |= uint64_t{1} << static_cast<int>(f);
                if (end < text.size() && text[end] == '?') {
                    optional |= static_cast<uint8_t>(1u << k);
                    ++end;
                }
                put(static_cast<uint8_t>(field_piece + static_cast<int>(f)), count);
                i = end;
            } else if (c > ' ' && c != '?') {
                put(static_cast<uint8_t>(c), count);
                ++i;
            } else {
                throw "not a character of an operand syntax";
            }
            if (k < registers.size())
                registers[k] =
                    ++pieces_in_operand == 1 && is_register_field(f) ? f : operand_field::none;
        }
        starts[operand_count] = static_cast<uint8_t>(count);
    }
    // True when the syntax names field f.
    constexpr bool has(operand_field f) const {
        return (field_set >> static_cast<int>(f) & 1) != 0;
    }

  private:
    static_assert(static_cast<int>(operand_field::offset12) < 64 &&
                      static_cast<int>(operand_field::creg_rt) < 64,
                  "field_set holds a bit per field");
    static constexpr bool is_name_character(char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    }
    static consteval operand_field field_named(std::string_view name) {
        for (const operand_name& n : operand_names)
            if (n.name == name) return n.field;
        throw "an operand name not in operand_names";
    }
    consteval void put(uint8_t piece, int& count) {
        if (count == piece_capacity) throw "operand syntax too long";
        pieces[size_t(count++)] = piece;
    }
};
