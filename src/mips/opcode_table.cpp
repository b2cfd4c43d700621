#include "mips/opcode_table.h"

#include <bit>

#include "mips/operand_syntaxes.h"
#include "util/output.h"
#include "util/run_settings.h"

namespace {
using namespace property;

// The rows of one instruction set's table: those of the Release 2 table alone
// first, then the others, each in its order.
template <size_t count> constexpr std::array<opcode_entry, count> rows_of(uint8_t set) {
    std::array<opcode_entry, count> table{};
    size_t n = 0;
    for (const opcode_entry& e : release2::rows)
        if (e.sets & set) table[n++] = e;
    for (const opcode_entry& e : mips32::rows)
        if (e.sets & set) table[n++] = e;
    for (opcode_entry& e : table) {
        e.kind = kind_of(e.properties, e.operands.has(operand_field::jump));
        e.syntax_index = syntax_index_of(e.operands);
    }
    return table;
}

constexpr size_t count_of(uint8_t set) {
    size_t n = 0;
    for (const opcode_entry& e : release2::rows) n += (e.sets & set) != 0;
    for (const opcode_entry& e : mips32::rows) n += (e.sets & set) != 0;
    return n;
}

static_assert(count_of(in_mips32) == opcode_count);

} // namespace

constexpr std::array<opcode_entry, opcode_count> opcode_table = rows_of<opcode_count>(in_mips32);

namespace {

constexpr std::array<opcode_entry, count_of(in_release2)> release2_table =
    rows_of<count_of(in_release2)>(in_release2);

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

// rddsp and wrdsp have a row of their own for the word with every DSP
// control field, where the mask is left out.
constexpr bool named_twice(std::string_view name) {
    return name == "rddsp" || name == "wrdsp";
}

constexpr bool table_is_clean(std::span<const opcode_entry> table) {
    for (size_t i = 0; i < table.size(); ++i) {
        if (has_illegal_bits(table[i])) return false;
        for (size_t j = i + 1; j < table.size(); ++j)
            if (table[i].name == table[j].name && !named_twice(table[i].name)) return false;
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
static_assert(table_is_clean(release2_table),
              "a match bit inside its operand bits, or a name used twice");
static_assert(overlaps_are(release2_table,
                           [](size_t, std::string_view a, std::string_view b) {
                               // The new COP1X rows lie inside the cop3 catch-all;
                               // the hazard barriers, pause and bal name words of
                               // sll and bgezal.
                               // mftr and mttr after the names of their forms.
                               const bool named =
                                   ((a == "ssnop" || a == "ehb" || a == "pause") && b == "sll") ||
                                   (a == "bal" && b == "bgezal") || b == "mftr" || b == "mttr";
                               return a.empty() || b == "cop3" || named;
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

// The key of a word as the lookup computes it: the masks made once.
struct major_key {
    uint32_t mask1, mask2;
    uint8_t shift1, shift2, width2;
    uint16_t first_bucket;
};

// A row of a bucket: the bits it fixes and their values, and its index.
struct bucket_row {
    uint32_t fixed, match;
    uint16_t row;
};

template <size_t bucket_rows> struct opcode_index {
    std::array<major_key, 64> majors;                 // per major opcode
    std::array<uint16_t, bucket_total + 1> first_row; // per bucket, into rows
    std::array<bucket_row, bucket_rows> rows;
    static_assert(bucket_total < 65536 && bucket_rows < 65536);
};

template <size_t bucket_rows>
constexpr opcode_index<bucket_rows> build_index(std::span<const opcode_entry> table) {
    opcode_index<bucket_rows> index{};
    int bucket = 0;
    for (uint32_t major = 0; major < 64; ++major) {
        const sub_fields f = sub_fields_of(major);
        index.majors[major] = {field_mask(f.width1),           field_mask(f.width2),
                               static_cast<uint8_t>(f.shift1), static_cast<uint8_t>(f.shift2),
                               static_cast<uint8_t>(f.width2), static_cast<uint16_t>(bucket)};
        bucket += keys_of(major);
    }
    size_t n = 0;
    for_each_bucket_row(table, [&](int b, size_t i) {
        ++index.first_row[size_t(b) + 1];
        const uint32_t fixed = ~(table[i].mask & OPERAND_BITS);
        index.rows[n++] = {fixed, table[i].match, static_cast<uint16_t>(i)};
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
    const major_key* majors;
    const uint16_t* first_row;
    const bucket_row* rows;
    const opcode_entry* table;
};

template <size_t bucket_rows>
constexpr index_view view_of(const opcode_index<bucket_rows>& index,
                             std::span<const opcode_entry> table) {
    return {index.majors.data(), index.first_row.data(), index.rows.data(), table.data()};
}

constexpr index_view default_view = view_of(default_index, opcode_table);
constexpr index_view release2_view = view_of(release2_index, release2_table);

constexpr int indexed_lookup(const index_view& index, uint32_t w) {
    const major_key& m = index.majors[w >> 26];
    const uint32_t key = ((w >> m.shift1) & m.mask1) << m.width2 | ((w >> m.shift2) & m.mask2);
    const size_t bucket = m.first_bucket + key;
    for (int k = index.first_row[bucket]; k < index.first_row[bucket + 1]; ++k) {
        const bucket_row& r = index.rows[k];
        if ((w & r.fixed) == r.match) return r.row;
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

namespace {

// Bit m when some row of either table with the opcode bits m (its major
// opcode, or its function field, as select picks them) is a jump or a branch.
template <typename selects> constexpr uint64_t flow_bits(selects&& opcode_of) {
    uint64_t bits = 0;
    for (std::span<const opcode_entry> table : {std::span<const opcode_entry>(opcode_table),
                                                std::span<const opcode_entry>(release2_table)})
        for (const opcode_entry& e : table) {
            const int m = opcode_of(e.match);
            if (m >= 0 && (e.properties & (jump | branch)) != 0) bits |= uint64_t{1} << m;
        }
    return bits;
}

static_assert(flow_majors == flow_bits([](uint32_t m) {
                  return m >> 26 == 0 ? -1 : static_cast<int>(m >> 26);
              }),
              "flow_majors differs from the rows");
static_assert(flow_functions == flow_bits([](uint32_t m) {
                  return m >> 26 == 0 ? static_cast<int>(m & 63) : -1;
              }),
              "flow_functions differs from the rows");

} // namespace

// Every word that the opcode fields make a jump or a branch is one to decode.
static_assert([] {
    for (uint32_t m = 0; m < 64; ++m) {
        if ((major_properties[m] & (jump | branch)) != 0 && (flow_majors >> m & 1) == 0)
            return false;
        if ((special_properties[m] & (jump | branch)) != 0 && (flow_functions >> m & 1) == 0)
            return false;
    }
    return true;
}());

std::span<const opcode_entry> opcode_table_of(instruction_set set) {
    if (set == instruction_set::release2) return release2_table;
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

const opcode_entry* find_entry(uint32_t w, instruction_set set) {
    if (set == instruction_set::release2) return entry_in<release2_view>(w);
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
            if (a.name == b.name && !named_twice(a.name))
                out_format("%.*s: duplicate name\n", length, a.name.data());
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
