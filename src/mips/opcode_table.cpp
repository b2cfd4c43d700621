#include "mips/opcode_table.h"

#include <bit>

#include "mips/release2_rows.h"
#include "util/output.h"
#include "util/run_settings.h"

namespace {
using enum operand_format;
using namespace property;
} // namespace

// Every instruction the program decodes. The first row that accepts a word
// wins, so mfc0 and mtc0 stand before the cop0 catch-all. Bits 26 to 31 of a
// mask word are the format class of the original table, kept as they were;
// the format column says how the operands are written.
// clang-format off
//   name       match       mask word   format        properties
constexpr std::array<opcode_entry, opcode_count> opcode_table{{
    {"add", 0x00000020, 0x07fff800, three_reg, writes_rd | move},
    {"addi", 0x20000000, 0x07ffffff, imm_signed, base_rs | writes_rt | move},
    {"addiu", 0x24000000, 0x07ffffff, imm_signed, base_rs | writes_rt | move | data},
    {"addu", 0x00000021, 0x07fff800, three_reg, writes_rd | move},
    {"and", 0x00000024, 0x07fff800, three_reg, writes_rd},
    {"andi", 0x30000000, 0x03ffffff, imm_unsigned, writes_rt},
    {"beq", 0x10000000, 0x13ffffff, branch2, branch | extends | coloured},
    {"beql", 0x50000000, 0x13ffffff, branch2, branch | extends | coloured},
    {"bgez", 0x04010000, 0x03e0ffff, branch1, branch},
    {"bgezal", 0x04110000, 0x03e0ffff, branch1, branch},
    {"bgezall", 0x04130000, 0x03e0ffff, branch1, branch},
    {"bgezl", 0x04030000, 0x03e0ffff, branch1, branch},
    {"bgtz", 0x1c000000, 0x03e0ffff, branch1, branch | extends | coloured},
    {"bgtzl", 0x5c000000, 0x03e0ffff, branch1, branch | extends | coloured},
    {"blez", 0x18000000, 0x03e0ffff, branch1, branch | extends | coloured},
    {"blezl", 0x58000000, 0x03e0ffff, branch1, branch | extends | coloured},
    {"bltz", 0x04000000, 0x03e0ffff, branch1, branch},
    {"bltzal", 0x04100000, 0x03e0ffff, branch1, branch},
    {"bltzall", 0x04120000, 0x03e0ffff, branch1, branch},
    {"bltzl", 0x04020000, 0x03e0ffff, branch1, branch},
    {"bne", 0x14000000, 0x13ffffff, branch2, branch | extends | coloured},
    {"bnel", 0x54000000, 0x13ffffff, branch2, branch | extends | coloured},
    {"break", 0x0000000d, 0x03ffffc0, code, none},
    {"mfc0", 0x40000000, 0x001ff807, cp0_move, none},
    {"mtc0", 0x40800000, 0x001ff807, cp0_move, none},
    {"cop0", 0x40000000, 0x17ffffff, coprocessor, none},
    {"cop1", 0x44000000, 0x17ffffff, coprocessor, none},
    {"cop2", 0x48000000, 0x17ffffff, coprocessor, none},
    {"cop3", 0x4c000000, 0x17ffffff, coprocessor, none},
    {"dadd", 0x0000002c, 0x07fff800, three_reg, none},
    {"daddi", 0x60000000, 0x07ffffff, imm_signed, none},
    {"daddiu", 0x64000000, 0x07ffffff, imm_signed, none},
    {"daddu", 0x0000002d, 0x07fff800, three_reg, none},
    {"ddiv", 0x0000001e, 0x03ff0000, two_reg, none},
    {"ddivu", 0x0000001f, 0x03ff0000, two_reg, none},
    {"div", 0x0000001a, 0x03ff0000, two_reg, none},
    {"divu", 0x0000001b, 0x03ff0000, two_reg, none},
    {"dmult", 0x0000001c, 0x03ff0000, two_reg, none},
    {"dmultu", 0x0000001d, 0x03ff0000, two_reg, none},
    {"dsll", 0x00000038, 0x001fffc0, shift, none},
    {"dsll32", 0x0000003c, 0x001fffc0, shift, none},
    {"dsllv", 0x00000014, 0x0ffff800, shift_var, none},
    {"dsra", 0x0000003b, 0x001fffc0, shift, none},
    {"dsra32", 0x0000003f, 0x001fffc0, shift, none},
    {"dsrav", 0x00000017, 0x0ffff800, shift_var, none},
    {"dsrl", 0x0000003a, 0x001fffc0, shift, none},
    {"dsrl32", 0x0000003e, 0x001fffc0, shift, none},
    {"dsrlv", 0x00000016, 0x0ffff800, shift_var, none},
    {"dsub", 0x0000002e, 0x0bfff800, three_reg_sub, none},
    {"dsubu", 0x0000002f, 0x0bfff800, three_reg_sub, none},
    {"j", 0x08000000, 0x1bffffff, jump_target, jump | coloured},
    {"jal", 0x0c000000, 0x1bffffff, jump_target, jump | coloured},
    {"jalr", 0x00000009, 0x03e0f800, jalr, jump | coloured},
    {"jr", 0x00000008, 0x03e00000, reg_rs, jump | coloured},
    {"lb", 0x80000000, 0x0bffffff, load_store, load | coloured | base_rs | writes_rt | data},
    {"lbu", 0x90000000, 0x0bffffff, load_store, load | coloured | base_rs | writes_rt | data},
    {"ld", 0xdc000000, 0x0bffffff, load_store, load | data},
    {"ldc1", 0xd4000000, 0x0bffffff, load_store, load | data},
    {"ldc2", 0xd8000000, 0x0bffffff, load_store, load | data},
    {"ldl", 0x68000000, 0x0bffffff, load_store, load | data},
    {"ldr", 0x6c000000, 0x0bffffff, load_store, load | data},
    {"lh", 0x84000000, 0x0bffffff, load_store, load | coloured | base_rs | writes_rt | data},
    {"lhu", 0x94000000, 0x0bffffff, load_store, load | coloured | base_rs | writes_rt | data},
    {"ll", 0xc0000000, 0x0bffffff, load_store, load | coloured | base_rs | writes_rt | data},
    {"lld", 0xd0000000, 0x0bffffff, load_store, load | data},
    {"lui", 0x3c000000, 0x001fffff, lui, writes_rt},
    {"lw", 0x8c000000, 0x0bffffff, load_store, load | coloured | base_rs | writes_rt | data},
    {"lwc1", 0xc4000000, 0x0bffffff, load_store, load | data},
    {"lwc2", 0xc8000000, 0x0bffffff, load_store, load | data},
    {"lwl", 0x88000000, 0x0bffffff, load_store, load | coloured | base_rs | writes_rt | data},
    {"lwr", 0x98000000, 0x0bffffff, load_store, load | coloured | base_rs | writes_rt | data},
    {"lwu", 0x9c000000, 0x0bffffff, load_store, load | coloured | base_rs | writes_rt | data},
    {"mfhi", 0x00000010, 0x0000f800, reg_rd, none},
    {"mflo", 0x00000012, 0x0000f800, reg_rd, none},
    {"movn", 0x0000000b, 0x03fff800, three_reg_full, none},
    {"movz", 0x0000000a, 0x03fff800, three_reg_full, none},
    {"mthi", 0x00000011, 0x03e00000, reg_rs, none},
    {"mtlo", 0x00000013, 0x03e00000, reg_rs, none},
    {"madd", 0x70000000, 0x03ff0000, two_reg, none},
    {"maddu", 0x70000001, 0x03ff0000, two_reg, none},
    {"msub", 0x70000004, 0x03ff0000, two_reg, none},
    {"msubu", 0x70000005, 0x03ff0000, two_reg, none},
    {"mul", 0x70000002, 0x07fff800, three_reg, none},
    {"mult", 0x00000018, 0x03ff0000, two_reg, none},
    {"multu", 0x00000019, 0x03ff0000, two_reg, none},
    {"nor", 0x00000027, 0x07fff800, three_reg, writes_rd},
    {"or", 0x00000025, 0x07fff800, three_reg, writes_rd | move},
    {"ori", 0x34000000, 0x03ffffff, imm_unsigned, base_rs | writes_rt | move},
    {"cache", 0xbc000000, 0x0fffffff, cache, none},
    {"pref", 0xcc000000, 0x0fffffff, cache, none},
    {"sb", 0xa0000000, 0x0bffffff, load_store, store | coloured | base_rs | data},
    {"sc", 0xe0000000, 0x0bffffff, load_store, store | coloured | base_rs | data},
    {"scd", 0xf0000000, 0x0bffffff, load_store, store | data},
    {"sd", 0xfc000000, 0x0bffffff, load_store, store | data},
    {"sdc1", 0xf4000000, 0x0bffffff, load_store, store | data},
    {"sdc2", 0xf8000000, 0x0bffffff, load_store, store | data},
    {"sdl", 0xb0000000, 0x0bffffff, load_store, store | coloured | base_rs | data},
    {"sdr", 0xb4000000, 0x0bffffff, load_store, store | coloured | base_rs | data},
    {"sh", 0xa4000000, 0x0bffffff, load_store, store | coloured | base_rs | data},
    {"sll", 0x00000000, 0x001fffc0, shift, writes_rd},
    {"sllv", 0x00000004, 0x0ffff800, shift_var, writes_rd},
    {"slt", 0x0000002a, 0x03fff800, three_reg_full, none},
    {"slti", 0x28000000, 0x07ffffff, imm_signed, writes_rt},
    {"sltiu", 0x2c000000, 0x07ffffff, imm_signed, writes_rt},
    {"sltu", 0x0000002b, 0x03fff800, three_reg_full, none},
    {"sra", 0x00000003, 0x001fffc0, shift, writes_rd},
    {"srav", 0x00000007, 0x0ffff800, shift_var, writes_rd},
    {"srl", 0x00000002, 0x001fffc0, shift, writes_rd},
    {"srlv", 0x00000006, 0x0ffff800, shift_var, writes_rd},
    {"sub", 0x00000022, 0x0bfff800, three_reg_sub, writes_rd},
    {"subu", 0x00000023, 0x0bfff800, three_reg_sub, writes_rd},
    {"sw", 0xac000000, 0x0bffffff, load_store, store | coloured | base_rs | data},
    {"swc1", 0xe4000000, 0x0bffffff, load_store, store | data},
    {"swc2", 0xe8000000, 0x0bffffff, load_store, store | data},
    {"swc3", 0xec000000, 0x0bffffff, load_store, store | data},
    {"swl", 0xa8000000, 0x0bffffff, load_store, store | coloured | base_rs | data},
    {"swr", 0xb8000000, 0x0bffffff, load_store, store | coloured | base_rs | data},
    {"sync", 0x0000000f, 0x000007c0, sync, none},
    {"syscall", 0x0000000c, 0x03ffffc0, code, none},
    {"teq", 0x00000034, 0x07ffffc0, trap, none},
    {"teqi", 0x040c0000, 0x07e0ffff, trap_imm, none},
    {"tge", 0x00000030, 0x07ffffc0, trap, none},
    {"tgei", 0x04080000, 0x07e0ffff, trap_imm, none},
    {"tgeiu", 0x04090000, 0x07e0ffff, trap_imm, none},
    {"tgeu", 0x00000031, 0x07ffffc0, trap, none},
    {"tlt", 0x00000032, 0x07ffffc0, trap, none},
    {"tlti", 0x040a0000, 0x07e0ffff, trap_imm, none},
    {"tltiu", 0x040b0000, 0x07e0ffff, trap_imm, none},
    {"tltu", 0x00000033, 0x07ffffc0, trap, none},
    {"tne", 0x00000036, 0x07ffffc0, trap, none},
    {"tnei", 0x040e0000, 0x07e0ffff, trap_imm, none},
    {"xor", 0x00000026, 0x07fff800, three_reg, writes_rd},
    {"xori", 0x38000000, 0x03ffffff, imm_unsigned, writes_rt},
}};
// clang-format on

namespace {

// Rows that accept each other's match words, in table order: the catch-all
// cop0 takes every coprocessor-0 word that mfc0 and mtc0 leave.
constexpr std::array<std::array<std::string_view, 2>, 2> known_overlaps{{
    {"mfc0", "cop0"},
    {"mtc0", "cop0"},
}};

// Number of words entry e accepts: 2 to the number of its operand bits,
// modulo 2^32 (a full 32-bit count would wrap to 0).
constexpr uint32_t accepted_words(const opcode_entry& e) {
    int k = std::popcount(e.mask & OPERAND_BITS);
    return k >= 32 ? 0 : uint32_t{1} << k;
}

constexpr bool has_illegal_bits(const opcode_entry& e) {
    return (e.match & e.mask & OPERAND_BITS) != 0;
}

// One entry accepts the other's match word.
constexpr bool ambiguous(const opcode_entry& a, const opcode_entry& b) {
    return opcode_accepts(a, b.match) || opcode_accepts(b, a.match);
}

constexpr bool table_is_clean(std::span<const opcode_entry> table) {
    for (size_t i = 0; i < table.size(); ++i) {
        if (has_illegal_bits(table[i])) return false;
        for (size_t j = i + 1; j < table.size(); ++j)
            if (table[i].name == table[j].name) return false;
    }
    return true;
}

// True when every pair of overlapping rows is one that is_known accepts.
template <typename known>
constexpr bool overlaps_are(std::span<const opcode_entry> table, known&& is_known) {
    size_t n = 0;
    for (size_t i = 0; i < table.size(); ++i) {
        for (size_t j = i + 1; j < table.size(); ++j) {
            if (!ambiguous(table[i], table[j])) continue;
            if (!is_known(n, table[i].name, table[j].name)) return false;
            ++n;
        }
    }
    return is_known(n, "", "");
}

static_assert(table_is_clean(opcode_table),
              "a match bit inside its operand bits, or a name used twice");
static_assert(overlaps_are(opcode_table,
                           [](size_t n, std::string_view a, std::string_view b) {
                               if (a.empty()) return n == known_overlaps.size();
                               return n < known_overlaps.size() && known_overlaps[n][0] == a &&
                                      known_overlaps[n][1] == b;
                           }),
              "rows overlap that known_overlaps does not list");

// ---- the Release 2 table -----------------------------------------------------
//
// The rows of release2_rows.h, then the default rows: the coprocessor-1 loads
// and stores name FPU registers, mfc0 and mtc0 name the CP0 registers by
// number and select, and the cop0 and cop1 catch-alls are gone. The new rows
// come first, so the COP1X rows win over the cop3 catch-all, which takes the
// COP1X words that none of them accepts.

constexpr bool dropped_in_release2(const opcode_entry& e) {
    return e.name == "cop0" || e.name == "cop1";
}

constexpr operand_format release2_format(const opcode_entry& e) {
    if (e.name == "lwc1" || e.name == "swc1" || e.name == "ldc1" || e.name == "sdc1")
        return load_store_fpu;
    if (e.name == "mfc0" || e.name == "mtc0") return cp0_move_select;
    return e.format;
}

constexpr size_t release2_count = [] {
    size_t n = release2::rows.size();
    for (const opcode_entry& e : opcode_table) n += !dropped_in_release2(e);
    return n;
}();

} // namespace

constexpr std::array<opcode_entry, release2_count> release2_table = [] {
    std::array<opcode_entry, release2_count> table{};
    size_t n = 0;
    for (const opcode_entry& e : release2::rows) table[n++] = e;
    for (const opcode_entry& e : opcode_table) {
        if (dropped_in_release2(e)) continue;
        table[n] = e;
        table[n++].format = release2_format(e);
    }
    return table;
}();

namespace {

static_assert(table_is_clean(release2_table),
              "a match bit inside its operand bits, or a name used twice");
static_assert(overlaps_are(release2_table,
                           [](size_t, std::string_view a, std::string_view b) {
                               // The new COP1X rows lie inside the cop3 catch-all.
                               return a.empty() || b == "cop3";
                           }),
              "rows of the Release 2 table overlap other than with cop3");

// ---- the lookup index --------------------------------------------------------
//
// Rows are split by their major opcode (bits 26 to 31, fixed in every row),
// and the major opcodes that hold many instructions once more by the field
// that tells them apart: the function field (bits 0 to 5) for SPECIAL,
// SPECIAL2, SPECIAL3 and COP1X, rt (bits 16 to 20) for REGIMM, rs (bits 21
// to 25) and then the function field for the coprocessors. A bucket lists,
// in table order, every row that can accept some word of its major opcode and
// field values, so a scan of the bucket gives the same first match as a scan
// of the whole table, whatever rows the table holds.

struct sub_fields {
    int shift1, width1; // the first field; width 0 for none
    int shift2, width2; // the second field, inside the first one's key
};

constexpr sub_fields sub_fields_of(uint32_t major) {
    switch (major) {
    case 0x00: // SPECIAL
    case 0x1c: // SPECIAL2
    case 0x1f: // SPECIAL3
    case 0x13: // COP1X
        return {0, 6, 0, 0};
    case 0x01: return {16, 5, 0, 0}; // REGIMM
    case 0x10:                       // COP0
    case 0x11:                       // COP1
    case 0x12:                       // COP2
        return {21, 5, 0, 6};
    default: return {0, 0, 0, 0};
    }
}

constexpr uint32_t field_mask(int width) {
    return (uint32_t{1} << width) - 1;
}

constexpr uint32_t key_of(const sub_fields& f, uint32_t w) {
    return ((w >> f.shift1) & field_mask(f.width1)) << f.width2 |
           ((w >> f.shift2) & field_mask(f.width2));
}

constexpr int keys_of(uint32_t major) {
    const sub_fields f = sub_fields_of(major);
    return 1 << (f.width1 + f.width2);
}

constexpr int bucket_total = [] {
    int n = 0;
    for (uint32_t major = 0; major < 64; ++major) n += keys_of(major);
    return n;
}();

// The key bits that row e fixes, and their values, for the sub-fields f: e
// can accept a word of its major opcode whose sub-fields read key exactly when
// (key & fixed) == value.
struct key_bits {
    uint32_t fixed, value;
};
constexpr key_bits key_bits_of(const opcode_entry& e, const sub_fields& f) {
    const uint32_t fixed = ~(e.mask & OPERAND_BITS);
    const uint32_t k = key_of(f, fixed);
    return {k, key_of(f, e.match) & k};
}

constexpr size_t largest_table = 1024;

// Calls v(bucket, row) for every row of every bucket, in bucket order and
// within a bucket in table order.
template <typename visit>
constexpr void for_each_bucket_row(std::span<const opcode_entry> table, visit&& v) {
    int bucket = 0;
    for (uint32_t major = 0; major < 64; ++major) {
        const sub_fields f = sub_fields_of(major);
        std::array<uint16_t, largest_table> rows{};
        std::array<key_bits, largest_table> keys{};
        size_t n = 0;
        for (size_t i = 0; i < table.size(); ++i) {
            if (table[i].match >> 26 != major) continue;
            keys[n] = key_bits_of(table[i], f);
            rows[n++] = static_cast<uint16_t>(i);
        }
        for (uint32_t key = 0; key < uint32_t(keys_of(major)); ++key, ++bucket) {
            for (size_t k = 0; k < n; ++k)
                if ((key & keys[k].fixed) == keys[k].value) v(bucket, rows[k]);
        }
    }
}

constexpr size_t bucket_rows_of(std::span<const opcode_entry> table) {
    size_t n = 0;
    for_each_bucket_row(table, [&n](int, size_t) { ++n; });
    return n;
}

template <size_t bucket_rows> struct opcode_index {
    std::array<sub_fields, 64> fields;                // per major opcode
    std::array<uint16_t, 64> first_bucket;            // per major opcode
    std::array<uint16_t, bucket_total + 1> first_row; // per bucket, into rows
    std::array<uint16_t, bucket_rows> rows;           // table indices
    static_assert(bucket_total < 65536 && bucket_rows < 65536);
};

template <size_t bucket_rows>
constexpr opcode_index<bucket_rows> build_index(std::span<const opcode_entry> table) {
    opcode_index<bucket_rows> index{};
    int bucket = 0;
    for (uint32_t major = 0; major < 64; ++major) {
        index.fields[major] = sub_fields_of(major);
        index.first_bucket[major] = static_cast<uint16_t>(bucket);
        bucket += keys_of(major);
    }
    size_t n = 0;
    for_each_bucket_row(table, [&](int b, size_t i) {
        ++index.first_row[size_t(b) + 1];
        index.rows[n++] = static_cast<uint16_t>(i);
    });
    for (int b = 0; b < bucket_total; ++b)
        index.first_row[size_t(b) + 1] += index.first_row[size_t(b)];
    return index;
}

static_assert(opcode_table.size() <= largest_table && release2_table.size() <= largest_table);
constexpr auto default_index = build_index<bucket_rows_of(opcode_table)>(opcode_table);
constexpr auto release2_index = build_index<bucket_rows_of(release2_table)>(release2_table);

// An index as the lookup reads it, whatever its size.
struct index_view {
    const sub_fields* fields;
    const uint16_t* first_bucket;
    const uint16_t* first_row;
    const uint16_t* rows;
    const opcode_entry* table;
};

template <size_t bucket_rows>
constexpr index_view view_of(const opcode_index<bucket_rows>& index,
                             std::span<const opcode_entry> table) {
    return {index.fields.data(), index.first_bucket.data(), index.first_row.data(),
            index.rows.data(), table.data()};
}

constexpr index_view default_view = view_of(default_index, opcode_table);
constexpr index_view release2_view = view_of(release2_index, release2_table);

constexpr int indexed_lookup(const index_view& index, uint32_t w) {
    const uint32_t major = w >> 26;
    const size_t bucket = index.first_bucket[major] + key_of(index.fields[major], w);
    for (int k = index.first_row[bucket]; k < index.first_row[bucket + 1]; ++k) {
        const int i = index.rows[k];
        if (opcode_accepts(index.table[i], w)) return i;
    }
    return -1;
}

constexpr int scan_lookup(std::span<const opcode_entry> table, uint32_t w) {
    for (size_t i = 0; i < table.size(); ++i)
        if (opcode_accepts(table[i], w)) return int(i);
    return -1;
}

constexpr bool index_finds_every_row(const index_view& index, std::span<const opcode_entry> table) {
    for (const opcode_entry& e : table)
        if (indexed_lookup(index, e.match) != scan_lookup(table, e.match)) return false;
    return true;
}
static_assert(index_finds_every_row(default_view, opcode_table));
static_assert(index_finds_every_row(release2_view, release2_table));

// ---- properties by opcode ----------------------------------------------------

// The by_opcode properties that all rows with the given opcode bits share.
template <typename selects> constexpr uint16_t shared_properties(selects&& of_opcode) {
    uint16_t shared = by_opcode;
    bool any = false;
    for (const opcode_entry& e : opcode_table) {
        if (!of_opcode(e.match)) continue;
        shared &= e.properties;
        any = true;
    }
    return any ? shared : 0;
}

} // namespace

constexpr std::array<uint16_t, 64> major_properties = [] {
    std::array<uint16_t, 64> p{};
    for (uint32_t major = 1; major < 64; ++major)
        p[major] = shared_properties([major](uint32_t m) { return m >> 26 == major; });
    return p;
}();

constexpr std::array<uint16_t, 64> special_properties = [] {
    std::array<uint16_t, 64> p{};
    for (uint32_t funct = 0; funct < 64; ++funct)
        p[funct] =
            shared_properties([funct](uint32_t m) { return m >> 26 == 0 && (m & 63) == funct; });
    return p;
}();

// The jumps and the branches that extend a function, as their opcodes tell:
//   00001x                     j, jal
//   000000 ... 00100x          jr, jalr
//   0x01xx                     beq, bne, blez, bgtz and their likely forms
static_assert([] {
    for (uint32_t major = 1; major < 64; ++major) {
        const uint32_t w = major << 26;
        if (((major_properties[major] & jump) != 0) != ((w & 0xf8000000) == 0x08000000))
            return false;
        if (((major_properties[major] & extends) != 0) != ((w & 0xb0000000) == 0x10000000))
            return false;
    }
    for (uint32_t funct = 0; funct < 64; ++funct)
        if (((special_properties[funct] & jump) != 0) != ((funct & 0x3e) == 8)) return false;
    return true;
}());

static_assert(
    [] {
        for (uint32_t major = 0; major < 64; ++major) {
            if (((major_properties[major] & jump) != 0) != major_in(jump_majors, major << 26))
                return false;
            if (((major_properties[major] & extends) != 0) != major_in(extends_majors, major << 26))
                return false;
        }
        return true;
    }(),
    "jump_majors or extends_majors differ from the rows");

std::span<const opcode_entry> active_opcode_table() {
    if (has_flag(flag::release2)) return release2_table;
    return opcode_table;
}

namespace {

// The lookup in one of the two tables, with its index's place known while
// compiling.
template <const index_view& index> inline const opcode_entry* entry_in(uint32_t w) {
    const int i = indexed_lookup(index, w);
    return i >= 0 ? &index.table[i] : nullptr;
}

} // namespace

int find_opcode(uint32_t w) {
    return indexed_lookup(has_flag(flag::release2) ? release2_view : default_view, w);
}

const opcode_entry* find_entry(uint32_t w) {
    if (has_flag(flag::release2)) return entry_in<release2_view>(w);
    return entry_in<default_view>(w);
}

int find_opcode_by_scan(uint32_t w) {
    return scan_lookup(active_opcode_table(), w);
}

void check_opcode_entries(std::span<const opcode_entry> entries) {
    uint32_t sum = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const opcode_entry& a = entries[i];
        const int length = static_cast<int>(a.name.size());
        if (has_illegal_bits(a)) out_format("%.*s: illegal definition\n", length, a.name.data());
        sum += accepted_words(a);
        for (size_t j = i + 1; j < entries.size(); ++j) {
            const opcode_entry& b = entries[j];
            if (a.name == b.name) out_format("%.*s: duplicate name\n", length, a.name.data());
            if (ambiguous(a, b)) {
                out_format("%.*s/%.*s: ambiguous definition\n", length, a.name.data(),
                           static_cast<int>(b.name.size()), b.name.data());
            }
        }
    }
    // The decoded share of the word space in thousandths, truncated.
    uint32_t share = ((sum >> 16) * 1000) >> 16;
    out_format("0x%08x opcodes mapped (0.%03u)\n", sum, share);
}

void opcode_selftest() {
    check_opcode_entries(active_opcode_table());
}
