#include "mips/opcode_table.h"

#include <bit>
#include <string_view>

#include "util/output.h"

// Every instruction the program decodes. Bits 26 to 31 of a mask word select
// the operand format together with the operand bits; the first entry that
// accepts a word wins, so mfc0 and mtc0 stand before the cop0 catch-all.
//   name       match       mask word
constexpr std::array<opcode_entry, opcode_count> opcode_table{{
    {"add", 0x00000020, 0x07fff800},     {"addi", 0x20000000, 0x07ffffff},
    {"addiu", 0x24000000, 0x07ffffff},   {"addu", 0x00000021, 0x07fff800},
    {"and", 0x00000024, 0x07fff800},     {"andi", 0x30000000, 0x03ffffff},
    {"beq", 0x10000000, 0x13ffffff},     {"beql", 0x50000000, 0x13ffffff},
    {"bgez", 0x04010000, 0x03e0ffff},    {"bgezal", 0x04110000, 0x03e0ffff},
    {"bgezall", 0x04130000, 0x03e0ffff}, {"bgezl", 0x04030000, 0x03e0ffff},
    {"bgtz", 0x1c000000, 0x03e0ffff},    {"bgtzl", 0x5c000000, 0x03e0ffff},
    {"blez", 0x18000000, 0x03e0ffff},    {"blezl", 0x58000000, 0x03e0ffff},
    {"bltz", 0x04000000, 0x03e0ffff},    {"bltzal", 0x04100000, 0x03e0ffff},
    {"bltzall", 0x04120000, 0x03e0ffff}, {"bltzl", 0x04020000, 0x03e0ffff},
    {"bne", 0x14000000, 0x13ffffff},     {"bnel", 0x54000000, 0x13ffffff},
    {"break", 0x0000000d, 0x03ffffc0},   {"mfc0", 0x40000000, 0x001ff807},
    {"mtc0", 0x40800000, 0x001ff807},    {"cop0", 0x40000000, 0x17ffffff},
    {"cop1", 0x44000000, 0x17ffffff},    {"cop2", 0x48000000, 0x17ffffff},
    {"cop3", 0x4c000000, 0x17ffffff},    {"dadd", 0x0000002c, 0x07fff800},
    {"daddi", 0x60000000, 0x07ffffff},   {"daddiu", 0x64000000, 0x07ffffff},
    {"daddu", 0x0000002d, 0x07fff800},   {"ddiv", 0x0000001e, 0x03ff0000},
    {"ddivu", 0x0000001f, 0x03ff0000},   {"div", 0x0000001a, 0x03ff0000},
    {"divu", 0x0000001b, 0x03ff0000},    {"dmult", 0x0000001c, 0x03ff0000},
    {"dmultu", 0x0000001d, 0x03ff0000},  {"dsll", 0x00000038, 0x001fffc0},
    {"dsll32", 0x0000003c, 0x001fffc0},  {"dsllv", 0x00000014, 0x0ffff800},
    {"dsra", 0x0000003b, 0x001fffc0},    {"dsra32", 0x0000003f, 0x001fffc0},
    {"dsrav", 0x00000017, 0x0ffff800},   {"dsrl", 0x0000003a, 0x001fffc0},
    {"dsrl32", 0x0000003e, 0x001fffc0},  {"dsrlv", 0x00000016, 0x0ffff800},
    {"dsub", 0x0000002e, 0x0bfff800},    {"dsubu", 0x0000002f, 0x0bfff800},
    {"j", 0x08000000, 0x1bffffff},       {"jal", 0x0c000000, 0x1bffffff},
    {"jalr", 0x00000009, 0x03e0f800},    {"jr", 0x00000008, 0x03e00000},
    {"lb", 0x80000000, 0x0bffffff},      {"lbu", 0x90000000, 0x0bffffff},
    {"ld", 0xdc000000, 0x0bffffff},      {"ldc1", 0xd4000000, 0x0bffffff},
    {"ldc2", 0xd8000000, 0x0bffffff},    {"ldl", 0x68000000, 0x0bffffff},
    {"ldr", 0x6c000000, 0x0bffffff},     {"lh", 0x84000000, 0x0bffffff},
    {"lhu", 0x94000000, 0x0bffffff},     {"ll", 0xc0000000, 0x0bffffff},
    {"lld", 0xd0000000, 0x0bffffff},     {"lui", 0x3c000000, 0x001fffff},
    {"lw", 0x8c000000, 0x0bffffff},      {"lwc1", 0xc4000000, 0x0bffffff},
    {"lwc2", 0xc8000000, 0x0bffffff},    {"lwl", 0x88000000, 0x0bffffff},
    {"lwr", 0x98000000, 0x0bffffff},     {"lwu", 0x9c000000, 0x0bffffff},
    {"mfhi", 0x00000010, 0x0000f800},    {"mflo", 0x00000012, 0x0000f800},
    {"movn", 0x0000000b, 0x03fff800},    {"movz", 0x0000000a, 0x03fff800},
    {"mthi", 0x00000011, 0x03e00000},    {"mtlo", 0x00000013, 0x03e00000},
    {"madd", 0x70000000, 0x03ff0000},    {"maddu", 0x70000001, 0x03ff0000},
    {"msub", 0x70000004, 0x03ff0000},    {"msubu", 0x70000005, 0x03ff0000},
    {"mul", 0x70000002, 0x07fff800},     {"mult", 0x00000018, 0x03ff0000},
    {"multu", 0x00000019, 0x03ff0000},   {"nor", 0x00000027, 0x07fff800},
    {"or", 0x00000025, 0x07fff800},      {"ori", 0x34000000, 0x03ffffff},
    {"cache", 0xbc000000, 0x0fffffff},   {"pref", 0xcc000000, 0x0fffffff},
    {"sb", 0xa0000000, 0x0bffffff},      {"sc", 0xe0000000, 0x0bffffff},
    {"scd", 0xf0000000, 0x0bffffff},     {"sd", 0xfc000000, 0x0bffffff},
    {"sdc1", 0xf4000000, 0x0bffffff},    {"sdc2", 0xf8000000, 0x0bffffff},
    {"sdl", 0xb0000000, 0x0bffffff},     {"sdr", 0xb4000000, 0x0bffffff},
    {"sh", 0xa4000000, 0x0bffffff},      {"sll", 0x00000000, 0x001fffc0},
    {"sllv", 0x00000004, 0x0ffff800},    {"slt", 0x0000002a, 0x03fff800},
    {"slti", 0x28000000, 0x07ffffff},    {"sltiu", 0x2c000000, 0x07ffffff},
    {"sltu", 0x0000002b, 0x03fff800},    {"sra", 0x00000003, 0x001fffc0},
    {"srav", 0x00000007, 0x0ffff800},    {"srl", 0x00000002, 0x001fffc0},
    {"srlv", 0x00000006, 0x0ffff800},    {"sub", 0x00000022, 0x0bfff800},
    {"subu", 0x00000023, 0x0bfff800},    {"sw", 0xac000000, 0x0bffffff},
    {"swc1", 0xe4000000, 0x0bffffff},    {"swc2", 0xe8000000, 0x0bffffff},
    {"swc3", 0xec000000, 0x0bffffff},    {"swl", 0xa8000000, 0x0bffffff},
    {"swr", 0xb8000000, 0x0bffffff},     {"sync", 0x0000000f, 0x000007c0},
    {"syscall", 0x0000000c, 0x03ffffc0}, {"teq", 0x00000034, 0x07ffffc0},
    {"teqi", 0x040c0000, 0x07e0ffff},    {"tge", 0x00000030, 0x07ffffc0},
    {"tgei", 0x04080000, 0x07e0ffff},    {"tgeiu", 0x04090000, 0x07e0ffff},
    {"tgeu", 0x00000031, 0x07ffffc0},    {"tlt", 0x00000032, 0x07ffffc0},
    {"tlti", 0x040a0000, 0x07e0ffff},    {"tltiu", 0x040b0000, 0x07e0ffff},
    {"tltu", 0x00000033, 0x07ffffc0},    {"tne", 0x00000036, 0x07ffffc0},
    {"tnei", 0x040e0000, 0x07e0ffff},    {"xor", 0x00000026, 0x07fff800},
    {"xori", 0x38000000, 0x03ffffff},
}};

namespace {

constexpr std::string_view entry_name(const opcode_entry& e) {
    std::size_t n = 0;
    while (n < sizeof e.name && e.name[n] != '\0') ++n;
    return {e.name, n};
}

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

constexpr uint32_t coverage_sum(std::span<const opcode_entry> entries) {
    uint32_t sum = 0;
    for (const opcode_entry& e : entries) sum += accepted_words(e);
    return sum;
}

constexpr bool table_is_clean() {
    for (int i = 0; i < opcode_count; ++i) {
        if (has_illegal_bits(opcode_table[i])) return false;
        for (int j = i + 1; j < opcode_count; ++j) {
            if (entry_name(opcode_table[i]) == entry_name(opcode_table[j])) return false;
        }
    }
    return true;
}

constexpr int ambiguous_pairs() {
    int n = 0;
    for (int i = 0; i < opcode_count; ++i) {
        for (int j = i + 1; j < opcode_count; ++j) n += ambiguous(opcode_table[i], opcode_table[j]);
    }
    return n;
}

static_assert(opcode_table.size() == 133);
static_assert(table_is_clean(), "a match bit inside its operand bits, or a name used twice");
static_assert(ambiguous_pairs() == 2, "only mfc0/cop0 and mtc0/cop0 may overlap");
static_assert(coverage_sum(opcode_table) == 0xd6f074c0);

// The lookup index. Every word's major opcode (bits 26 to 31) is fixed in
// every entry, so the entries are first split by it; within one major opcode
// they are split again by a second field, funct (bits 0 to 5) or rt (bits 16
// to 20), whichever leaves the shortest lists. A bucket keeps, in table order,
// every entry that can accept some word with its major opcode and field
// value, so a scan of the bucket gives the same first match as a scan of the
// whole table.

struct sub_field {
    int shift;
    uint32_t bits;
};
constexpr std::array<sub_field, 2> sub_fields{{{0, 0x3f}, {16, 0x1f}}};

constexpr int bucket_capacity = 4;
struct bucket {
    uint8_t count;
    std::array<uint8_t, bucket_capacity> entries;
};

struct opcode_index {
    std::array<uint8_t, 64> field;       // index into sub_fields per major opcode
    std::array<bucket, 64 * 64> buckets; // [major opcode][sub-field value]
};

constexpr bool may_accept(const opcode_entry& e, uint32_t major, sub_field f, uint32_t value) {
    uint32_t fixed = ~(e.mask & OPERAND_BITS);
    uint32_t probe = (major << 26) | (value << f.shift);
    uint32_t checked = 0xfc000000 | (f.bits << f.shift);
    return ((probe ^ e.match) & fixed & checked) == 0;
}

// The entries of one major opcode, in table order.
struct major_group {
    int count;
    std::array<uint8_t, opcode_count> entries;
};

constexpr major_group entries_of_major(uint32_t major) {
    major_group g{};
    for (int i = 0; i < opcode_count; ++i) {
        if (opcode_table[i].match >> 26 == major) g.entries[g.count++] = static_cast<uint8_t>(i);
    }
    return g;
}

constexpr int candidates(const major_group& g, uint32_t major, sub_field f, uint32_t value) {
    int n = 0;
    for (int k = 0; k < g.count; ++k) n += may_accept(opcode_table[g.entries[k]], major, f, value);
    return n;
}

constexpr opcode_index build_index() {
    opcode_index index{};
    for (uint32_t major = 0; major < 64; ++major) {
        major_group g = entries_of_major(major);
        int best = 0, best_size = opcode_count + 1;
        for (int f = 0; f < static_cast<int>(sub_fields.size()); ++f) {
            int size = 0;
            for (uint32_t v = 0; v <= sub_fields[f].bits; ++v) {
                int n = candidates(g, major, sub_fields[f], v);
                if (n > size) size = n;
            }
            if (size < best_size) best = f, best_size = size;
        }
        index.field[major] = static_cast<uint8_t>(best);
        sub_field f = sub_fields[best];
        for (uint32_t v = 0; v <= f.bits; ++v) {
            bucket& b = index.buckets[major * 64 + v];
            for (int k = 0; k < g.count; ++k) {
                if (!may_accept(opcode_table[g.entries[k]], major, f, v)) continue;
                if (b.count == bucket_capacity) throw "opcode index bucket overflow";
                b.entries[b.count++] = g.entries[k];
            }
        }
    }
    return index;
}

constexpr opcode_index lookup_index = build_index();

constexpr int indexed_lookup(uint32_t w) {
    uint32_t major = w >> 26;
    sub_field f = sub_fields[lookup_index.field[major]];
    const bucket& b = lookup_index.buckets[major * 64 + ((w >> f.shift) & f.bits)];
    for (int i = 0; i < b.count; ++i) {
        if (opcode_accepts(opcode_table[b.entries[i]], w)) return b.entries[i];
    }
    return -1;
}

constexpr int scan_lookup(uint32_t w) {
    for (int i = 0; i < opcode_count; ++i) {
        if (opcode_accepts(opcode_table[i], w)) return i;
    }
    return -1;
}

constexpr bool index_finds_every_row() {
    for (int i = 0; i < opcode_count; ++i) {
        if (indexed_lookup(opcode_table[i].match) != scan_lookup(opcode_table[i].match))
            return false;
    }
    return true;
}
static_assert(index_finds_every_row());

} // namespace

int find_opcode(uint32_t w) {
    return indexed_lookup(w);
}

int find_opcode_by_scan(uint32_t w) {
    return scan_lookup(w);
}

void check_opcode_entries(std::span<const opcode_entry> entries) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const opcode_entry& a = entries[i];
        std::string_view name = entry_name(a);
        int len = static_cast<int>(name.size());
        if (has_illegal_bits(a)) out_format("%.*s: illegal definition\n", len, name.data());
        sum += accepted_words(a);
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
            const opcode_entry& b = entries[j];
            std::string_view other = entry_name(b);
            if (name == other) out_format("%.*s: duplicate name\n", len, name.data());
            if (ambiguous(a, b)) {
                out_format("%.*s/%.*s: ambiguous definition\n", len, name.data(),
                           static_cast<int>(other.size()), other.data());
            }
        }
    }
    // The decoded share of the word space in thousandths, truncated.
    uint32_t share = ((sum >> 16) * 1000) >> 16;
    out_format("0x%08x opcodes mapped (0.%03u)\n", sum, share);
}

void opcode_selftest() {
    check_opcode_entries(opcode_table);
}
