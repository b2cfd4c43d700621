// Lists a relocatable object as a linker would lay it out when it links the
// object alone into a static program: its allocated sections one after the
// other from 0x10000000, each at its alignment, its relocations applied with
// the ABI's formulas, the undefined symbols at made-up addresses in the same
// 256 MiB region. The image goes into a temporary file without a name,
// written a block at a time; the object is read through a few kept blocks,
// never held whole.
#include "object/linked_object.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "mips/byte_order.h"
#include "object/elf_map.h"
#include "symbols/symbol_table.h"
#include "util/run_settings.h"
#include "util/zo.h"

linked_layout linked{};

namespace {

// The image ends below the made-up addresses of the undefined symbols.
constexpr uint32_t image_limit = undefined_symbol_base;
// How far a HI16 or a local GOT16 looks for the LO16 that completes its
// addend, in relocations of its section.
constexpr uint32_t pair_reach = 1024;
// The longest name shown by -D.
constexpr int name_limit = 48;

// The address of each placed section by index; 0 for the others.
std::array<uint32_t, 0x10000> placed{};
uint32_t section_count = 0;
uint32_t symbols_offset = 0, symbol_total = 0;
uint32_t string_table = 0, string_size = 0;
uint64_t input_length = 0;
// The global pointer area's slots behind the symbols' ones handed out so far.
uint32_t next_own_slot = 0;

// The image until the listing takes it over as its input.
FILE* image = nullptr;

elf_symbol read_symbol(elf_file& file, uint32_t index) {
    return elf_read_symbol(file, symbols_offset, index);
}

// The text at name of a string table of table_size bytes, cut at 48
// characters, for -D; in text (room for 49).
const char* read_text(elf_file& file, uint32_t table, uint32_t table_size, uint32_t name,
                      char* text) {
    elf_text(file, uint64_t(table) + name, name < table_size ? table_size - name : 0, name_limit,
             text, "symbol read error");
    return text;
}

bool placed_section(uint32_t index) {
    return index < section_count && placed[index] != 0;
}

uint32_t symbol_address(uint32_t index, const elf_symbol& s) {
    if (index == 0) return 0;
    if (s.section == elf::SHN_ABS) return s.value;
    if (s.section != elf::SHN_UNDEF && s.section < elf::SHN_LORESERVE && placed_section(s.section))
        return placed[s.section] + s.value;
    return undefined_symbol_address(index);
}

bool is_gp_disp(elf_file& file, const elf_symbol& s) {
    constexpr char name[] = "_gp_disp";
    if (s.section != elf::SHN_UNDEF || s.name == 0 || s.name + sizeof name > string_size)
        return false;
    unsigned char text[sizeof name];
    elf_read(file, uint64_t(string_table) + s.name, text, sizeof name, "symbol read error");
    return std::memcmp(text, name, sizeof name) == 0;
}

// Writes value at image address a.
void patch_word(uint32_t a, uint32_t value) {
    unsigned char b[4];
    put_ordered(b, 4, value);
    patch_image(a - linked_image_base, b, 4);
}

// ---- thread-local storage --------------------------------------------------

// The thread pointer points this far past the start of the program's TLS
// block, and the DTP as far past the start of a module's, so that a signed
// 16-bit offset reaches more of it.
constexpr uint32_t tp_bias = 0x7000;
constexpr uint32_t dtp_bias = 0x8000;

// Where the variable of a thread-local relocation lies.
enum class tls_place : uint8_t {
    block,     // in a placed TLS section: at an offset of the TLS block
    none,      // nowhere: undefined, common, or no symbol at all
    elsewhere, // outside the TLS sections, which no such relocation may name
};

tls_place tls_place_of(elf_file& file, uint32_t index, const elf_symbol& s) {
    if (index == 0 || s.section == elf::SHN_UNDEF || s.section == elf::SHN_COMMON)
        return tls_place::none;
    if (s.section < elf::SHN_LORESERVE && placed_section(s.section) &&
        (elf_read_section(file, s.section).flags & elf::SHF_TLS))
        return tls_place::block;
    return tls_place::elsewhere;
}

// What a thread-local relocation writes, or a GOT slot of its own holds.
enum class tls_value : uint8_t {
    none,
    module,     // the variable's module: 1, the program (no addend)
    dtp_offset, // its offset from the DTP
    tp_offset,  // its offset from the thread pointer
    zero,
};

// Where a relocation without slots writes its value: the whole word, the
// high half (rounded, for the low half's sign) or the low half. One with
// slots writes their offset from $gp to the low half.
enum class tls_field : uint8_t { word, high, low };

struct tls_row {
    uint32_t type;
    uint8_t slots;    // GOT slots of its own; 0: the field takes the value
    tls_value first;  // the value, or that of the first slot
    tls_value second; // that of the second slot
    tls_field field;
};

// clang-format off
constexpr tls_row tls_rows[] = {
    // type                   slots  first                  second                 field
    {elf::R_MIPS_TLS_DTPMOD32,    0, tls_value::module,     tls_value::none,       tls_field::word},
    {elf::R_MIPS_TLS_DTPREL32,    0, tls_value::dtp_offset, tls_value::none,       tls_field::word},
    {elf::R_MIPS_TLS_GD,          2, tls_value::module,     tls_value::dtp_offset, tls_field::low},
    {elf::R_MIPS_TLS_LDM,         2, tls_value::module,     tls_value::zero,       tls_field::low},
    {elf::R_MIPS_TLS_DTPREL_HI16, 0, tls_value::dtp_offset, tls_value::none,       tls_field::high},
    {elf::R_MIPS_TLS_DTPREL_LO16, 0, tls_value::dtp_offset, tls_value::none,       tls_field::low},
    {elf::R_MIPS_TLS_GOTTPREL,    1, tls_value::tp_offset,  tls_value::none,       tls_field::low},
    {elf::R_MIPS_TLS_TPREL32,     0, tls_value::tp_offset,  tls_value::none,       tls_field::word},
    {elf::R_MIPS_TLS_TPREL_HI16,  0, tls_value::tp_offset,  tls_value::none,       tls_field::high},
    {elf::R_MIPS_TLS_TPREL_LO16,  0, tls_value::tp_offset,  tls_value::none,       tls_field::low},
};
// clang-format on
static_assert(std::size(tls_rows) == 10);

// The row of a thread-local relocation type; null for another type.
const tls_row* tls_row_of(uint32_t type) {
    for (const tls_row& row : tls_rows)
        if (row.type == type) return &row;
    return nullptr;
}

// True when the slots of row hold an offset of the variable's place, which
// a variable without a place does not have: its own slot stands in for
// them, so that the data display names it.
bool slots_of_the_place(const tls_row& row) {
    auto offset = [](tls_value v) {
        return v == tls_value::dtp_offset || v == tls_value::tp_offset;
    };
    return row.slots > 0 && (offset(row.first) || offset(row.second));
}

// What of the variable at address S plus A is; a variable without a place
// counts as lld counts an undefined weak one: as address 0, whose offset
// from the thread pointer is the addend alone.
uint32_t tls_value_of(tls_value what, tls_place place, uint32_t S, uint32_t A) {
    const uint32_t at = place == tls_place::block ? S - linked.tls_start : 0;
    // The block keeps its first section's place modulo its alignment, and
    // the thread pointer points at a multiple of it plus the bias.
    const uint32_t skew = linked.tls_alignment > 1 ? linked.tls_start % linked.tls_alignment : 0;
    switch (what) {
    case tls_value::module: return 1;
    case tls_value::dtp_offset: return at + A - dtp_bias;
    case tls_value::tp_offset: return place == tls_place::block ? at + skew + A - tp_bias : A;
    case tls_value::none:
    case tls_value::zero: break;
    }
    return 0;
}

// ---- relocations -----------------------------------------------------------

int32_t sign_extend(uint32_t value, int bits) {
    const uint32_t m = uint32_t(1) << (bits - 1);
    return int32_t((value ^ m) - m);
}

bool fits_signed(int64_t value, int bits) {
    return value >= -(int64_t(1) << (bits - 1)) && value < (int64_t(1) << (bits - 1));
}

// One relocation section being applied to its placed target.
struct relocation_pass {
    elf_file& file; // the object
    section_header target;
    uint32_t target_index;
    uint32_t table, count;
    bool with_addend; // RELA
    uint32_t entry_size() const { return with_addend ? elf::rela_size : elf::rel_size; }
};

[[noreturn]] void bad_relocation(const relocation_pass& pass) {
    elf_fault(pass.file, "bad relocation");
}

elf_relocation read_relocation(const relocation_pass& pass, uint32_t j) {
    return elf_read_relocation(pass.file, pass.table, j, pass.with_addend);
}

// The word of the target section at offset as the object holds it.
uint32_t original_word(const relocation_pass& pass, uint32_t offset) {
    if (uint64_t(offset) + 4 > pass.target.size || pass.target.type == elf::SHT_NOBITS)
        bad_relocation(pass);
    unsigned char b[4];
    elf_read(pass.file, uint64_t(pass.target.offset) + offset, b, 4, "relocation read error");
    return elf_word(pass.file, b);
}

// The addend of a HI16 or GOT16 entry j of a REL table: its own 16 bits as the
// high half, and the low half from the next LO16 of the same symbol.
int32_t paired_addend(const relocation_pass& pass, uint32_t j, uint32_t word) {
    const elf_relocation r = read_relocation(pass, j);
    int32_t low = 0;
    const uint32_t end = std::min(pass.count, j + 1 + pair_reach);
    for (uint32_t k = j + 1; k < end; ++k) {
        const elf_relocation next = read_relocation(pass, k);
        if (next.type() == elf::R_MIPS_LO16 && next.symbol() == r.symbol()) {
            low = sign_extend(original_word(pass, next.offset) & 0xffff, 16);
            break;
        }
    }
    return int32_t(((word & 0xffff) << 16) + uint32_t(low));
}

// The local GOT16 entries met lately in the relocation section, newest last:
// the LO16 entries of the same symbol that follow are taken relative to the
// slot's address.
struct local_entry {
    uint32_t symbol;
    uint32_t slot_value;
    uint32_t high; // the GOT16's own 16 bits (REL)
};
std::array<local_entry, 32> local_entries;
int local_count = 0;

const local_entry* local_entry_of(uint32_t symbol) {
    for (int i = local_count - 1; i >= 0; --i)
        if (local_entries[size_t(i)].symbol == symbol) return &local_entries[size_t(i)];
    return nullptr;
}

void forget_local_entry(uint32_t symbol) {
    int n = 0;
    for (int i = 0; i < local_count; ++i)
        if (local_entries[size_t(i)].symbol != symbol)
            local_entries[size_t(n++)] = local_entries[size_t(i)];
    local_count = n;
}

void remember_local_entry(const local_entry& e) {
    forget_local_entry(e.symbol);
    if (local_count == int(local_entries.size())) {
        std::copy(local_entries.begin() + 1, local_entries.end(), local_entries.begin());
        --local_count;
    }
    local_entries[size_t(local_count++)] = e;
}

uint32_t with_low_half(uint32_t word, uint32_t value) {
    return (word & 0xffff0000) | (value & 0xffff);
}

// Hands out n slots of the global pointer area behind the symbols' ones and
// returns the index of the first from $gp. (They were counted before the
// area was made, by the same rules.)
uint32_t take_slots(const relocation_pass& pass, uint32_t n) {
    if (next_own_slot + n > linked.own_slots) bad_relocation(pass);
    const uint32_t slot = symbol_total + next_own_slot;
    next_own_slot += n;
    return slot;
}

// The slots of its own that relocation r takes: one for a GOT16 of a local
// symbol; for a thread-local one, those of its row unless the variable has
// no place and its own slot stands in for them.
uint32_t own_slots(elf_file& file, const elf_relocation& r) {
    const uint32_t index = r.symbol();
    const tls_row* row = tls_row_of(r.type());
    if ((r.type() != elf::R_MIPS_GOT16 && (row == nullptr || row->slots == 0)) ||
        index >= symbol_total)
        return 0;
    const elf_symbol s = read_symbol(file, index);
    if (row == nullptr) return index != 0 && elf::ELF32_ST_BIND(s.info) == elf::STB_LOCAL ? 1 : 0;
    if (slots_of_the_place(*row) && tls_place_of(file, index, s) != tls_place::block) return 0;
    return row->slots;
}

// The addend of a thread-local relocation r of row without slots, at word.
// A REL entry's is the field as it stands: a high half holds an addend of
// its own, not the upper bits of its pair's.
uint32_t tls_addend(const relocation_pass& pass, const tls_row& row, const elf_relocation& r,
                    uint32_t word) {
    if (pass.with_addend) return uint32_t(r.addend);
    if (row.field == tls_field::word) return word;
    return uint32_t(sign_extend(word & 0xffff, 16));
}

// The word that a thread-local relocation r of row makes of word, with the
// symbol s of the index. A GOT slot holds its value without the addend, as
// lld fills it.
uint32_t thread_local_word(const relocation_pass& pass, const tls_row& row, const elf_relocation& r,
                           const elf_symbol& s, uint32_t word) {
    const uint32_t index = r.symbol();
    const tls_place place = tls_place_of(pass.file, index, s);
    if (place == tls_place::elsewhere) bad_relocation(pass);
    const uint32_t S = symbol_address(index, s);
    if (row.slots == 0) {
        const uint32_t v = tls_value_of(row.first, place, S, tls_addend(pass, row, r, word));
        switch (row.field) {
        case tls_field::word: return v;
        case tls_field::high: return with_low_half(word, (v + 0x8000) >> 16);
        case tls_field::low: break;
        }
        return with_low_half(word, v);
    }
    const uint32_t n = own_slots(pass.file, r);
    if (n == 0) return with_low_half(word, 4 * index);
    const uint32_t slot = take_slots(pass, n);
    patch_word(linked.gp + 4 * slot, tls_value_of(row.first, place, S, 0));
    if (n == 2) patch_word(linked.gp + 4 * slot + 4, tls_value_of(row.second, place, S, 0));
    return with_low_half(word, 4 * slot);
}

void apply(const relocation_pass& pass, uint32_t j, const elf_relocation& r) {
    const uint32_t type = r.type(), index = r.symbol();
    if (type == elf::R_MIPS_NONE || type == elf::R_MIPS_JALR) return;
    if (index >= symbol_total) bad_relocation(pass);
    const uint32_t word = original_word(pass, r.offset);
    const elf_symbol s = read_symbol(pass.file, index);
    const uint32_t S = symbol_address(index, s);
    const uint32_t P = placed[pass.target_index] + r.offset;
    const uint32_t GP = linked.gp;
    const bool rel = !pass.with_addend;
    const bool local = elf::ELF32_ST_BIND(s.info) == elf::STB_LOCAL && index != 0;
    const uint32_t half_addend = uint32_t(sign_extend(word & 0xffff, 16));
    uint32_t result = word;
    switch (type) {
    case elf::R_MIPS_32: result = S + (rel ? word : uint32_t(r.addend)); break;
    case elf::R_MIPS_PC32: // unwind tables
        result = S + (rel ? word : uint32_t(r.addend)) - P;
        break;
    case elf::R_MIPS_GPREL32:
        result = S + (rel ? word : uint32_t(r.addend)) - GP;
        if (s.section == elf::SHN_UNDEF && index != 0)
            result = 4 * index + (rel ? word : uint32_t(r.addend));
        break;
    case elf::R_MIPS_26: {
        const uint32_t A =
            rel ? uint32_t(sign_extend((word & 0x3ffffff) << 2, 28)) : uint32_t(r.addend);
        const uint32_t v = S + A;
        if (((v ^ (P + 4)) & 0xf0000000) != 0) bad_relocation(pass);
        result = (word & 0xfc000000) | ((v >> 2) & 0x3ffffff);
        break;
    }
    case elf::R_MIPS_HI16: {
        const uint32_t AHL = rel ? uint32_t(paired_addend(pass, j, word)) : uint32_t(r.addend);
        const uint32_t base = is_gp_disp(pass.file, s) ? GP - P : S;
        result = with_low_half(word, (base + AHL + 0x8000) >> 16);
        forget_local_entry(index);
        break;
    }
    case elf::R_MIPS_LO16: {
        const uint32_t A = rel ? half_addend : uint32_t(r.addend);
        if (is_gp_disp(pass.file, s)) {
            result = with_low_half(word, GP - P + 4 + A);
        } else if (const local_entry* e = local ? local_entry_of(index) : nullptr) {
            const uint32_t target = S + (rel ? (e->high << 16) + half_addend : uint32_t(r.addend));
            const int64_t d = int64_t(int32_t(target - e->slot_value));
            if (!fits_signed(d, 16)) bad_relocation(pass);
            result = with_low_half(word, uint32_t(d));
        } else {
            result = with_low_half(word, S + A);
        }
        break;
    }
    case elf::R_MIPS_GPREL16: {
        // An undefined symbol has no place within reach of $gp: its slot
        // stands in for it, so that the data display names it.
        const uint32_t place = s.section == elf::SHN_UNDEF && index != 0 ? GP + 4 * index : S;
        const int64_t v = int64_t(int32_t(place + (rel ? half_addend : uint32_t(r.addend)) - GP));
        if (!fits_signed(v, 16)) bad_relocation(pass);
        result = with_low_half(word, uint32_t(v));
        break;
    }
    case elf::R_MIPS_PC16: {
        const uint32_t A =
            rel ? uint32_t(sign_extend((word & 0xffff) << 2, 18)) : uint32_t(r.addend);
        const int64_t v = int64_t(int32_t(S + A - P));
        if (!fits_signed(v, 18) || (v & 3) != 0) bad_relocation(pass);
        result = with_low_half(word, uint32_t(v >> 2));
        break;
    }
    case elf::R_MIPS_GOT16:
        if (local) {
            // A slot of its own holds the local address that the GOT16 and
            // its LO16 make together.
            const uint32_t AHL = rel ? uint32_t(paired_addend(pass, j, word)) : uint32_t(r.addend);
            const uint32_t slot = take_slots(pass, 1);
            patch_word(GP + 4 * slot, S + AHL);
            remember_local_entry({index, S + AHL, word & 0xffff});
            result = with_low_half(word, 4 * slot);
            break;
        }
        [[fallthrough]];
    case elf::R_MIPS_CALL16: result = with_low_half(word, 4 * index); break;
    default:
        if (const tls_row* row = tls_row_of(type)) {
            result = thread_local_word(pass, *row, r, s, word);
            break;
        }
        zo_message("%s: unimplemented relocation type %d", pass.file.path, int(type));
    }
    if (has_flag(flag::dump_object)) {
        char text[name_limit + 1];
        std::fprintf(stderr, "offset: %5x  info: %5x\t%s\n", r.offset, r.info,
                     read_text(pass.file, string_table, string_size, s.name, text));
    }
    patch_word(P, result);
}

// Calls act for every relocation section whose target is placed.
template <typename Act> void for_each_relocation_pass(elf_file& file, Act act) {
    for (uint32_t i = 1; i < section_count; ++i) {
        const section_header r = elf_read_section(file, i);
        if ((r.type != elf::SHT_REL && r.type != elf::SHT_RELA) || !placed_section(r.info))
            continue;
        relocation_pass pass{file, elf_read_section(file, r.info), r.info, r.offset,
                             0,    r.type == elf::SHT_RELA};
        pass.count = r.size / pass.entry_size();
        act(pass);
    }
}

uint32_t count_own_slots(elf_file& file) {
    uint64_t n = 0;
    for_each_relocation_pass(file, [&](const relocation_pass& pass) {
        for (uint32_t j = 0; j < pass.count; ++j) n += own_slots(file, read_relocation(pass, j));
    });
    if (n > image_limit) elf_fault(file, "image too large");
    return uint32_t(n);
}

// ---- layout ----------------------------------------------------------------

bool is_placed(const section_header& s) {
    return (s.flags & elf::SHF_ALLOC) && s.type != elf::SHT_MIPS_REGINFO &&
           s.type != elf::SHT_MIPS_OPTIONS && s.type != elf::SHT_MIPS_ABIFLAGS;
}

void place_sections(elf_file& file) {
    const uint32_t names_index = file.header.names_index;
    const section_header names =
        names_index < section_count ? elf_read_section(file, names_index) : section_header{};
    uint64_t end = linked_image_base;
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "Section list:\n");
    for (uint32_t i = 0; i < section_count; ++i) {
        const section_header s = elf_read_section(file, i);
        if (i > 0 && is_placed(s)) {
            const uint64_t alignment = s.alignment > 1 ? s.alignment : 1;
            const uint64_t address = (end + alignment - 1) / alignment * alignment;
            end = address + s.size;
            if (end > image_limit) elf_fault(file, "image too large");
            placed[i] = uint32_t(address);
            // The TLS sections make the TLS block: from the first on, at
            // the largest alignment of them.
            if (s.flags & elf::SHF_TLS) {
                if (linked.tls_start == 0) linked.tls_start = uint32_t(address);
                linked.tls_alignment = std::max(linked.tls_alignment, uint32_t(alignment));
            }
            if (s.type != elf::SHT_NOBITS && uint64_t(s.offset) + s.size > input_length)
                elf_fault(file, "section beyond the end of the file");
        }
        if (s.type == elf::SHT_SYMTAB && symbols_offset == 0) {
            symbols_offset = s.offset;
            symbol_total = s.size / elf::symbol_size;
            if (uint64_t(s.offset) + s.size > input_length) elf_fault(file, "symbol read error");
            if (s.link < section_count) {
                const section_header strings = elf_read_section(file, s.link);
                string_table = strings.offset;
                if (strings.offset < input_length)
                    string_size =
                        uint32_t(std::min<uint64_t>(strings.size, input_length - strings.offset));
            }
        }
        if (has_flag(flag::dump_object)) {
            char text[name_limit + 1];
            std::fprintf(stderr, "section %2d: %-20s addr:%5x  size:%5x  type: %x", int(i),
                         read_text(file, names.offset, names.size, s.name, text), s.offset, s.size,
                         s.type);
            if (placed[i] != 0) std::fprintf(stderr, "  at: %08x", placed[i]);
            std::fprintf(stderr, "\n");
        }
    }
    linked.image_end = uint32_t(end);
}

// ---- the image -------------------------------------------------------------

// Copies the placed sections that hold bytes into the image.
void copy_sections(elf_file& file) {
    for (uint32_t i = 1; i < section_count; ++i) {
        if (!placed_section(i)) continue;
        const section_header s = elf_read_section(file, i);
        if (s.type != elf::SHT_NOBITS && s.size > 0)
            copy_to_image(file, placed[i] - linked_image_base, s.offset, s.size,
                          "section beyond the end of the file");
    }
}

// The slots of the symbols, in table order; the local ones follow as the
// relocations fill them.
void write_symbol_slots(elf_file& file) {
    seek_image(linked.gp - linked_image_base);
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\nSymbol table:\n");
    for (uint32_t i = 0; i < symbol_total; ++i) {
        const elf_symbol s = read_symbol(file, i);
        const uint32_t a = symbol_address(i, s);
        unsigned char b[4];
        put_ordered(b, 4, a);
        write_image(b, 4);
        if (has_flag(flag::dump_object)) {
            char text[name_limit + 1];
            std::fprintf(stderr, "%-33s val:%5x  size:%5x  info:%3x si: %x  at: %08x\n",
                         read_text(file, string_table, string_size, s.name, text), s.value, s.size,
                         s.info, s.section, a);
        }
    }
}

} // namespace

void load_linked_object(elf_file& file, image_range& range) {
    elf_check_section_entry_size(file);
    section_count = file.header.section_count;
    input_length = elf_file_length(file);

    place_sections(file);
    next_own_slot = 0;
    linked.own_slots = count_own_slots(file);
    linked.gp = (linked.image_end + 3) & ~uint32_t(3);
    const uint64_t gpa_end = linked.gp + 4 * (uint64_t(symbol_total) + linked.own_slots);
    if (gpa_end > image_limit) elf_fault(file, "image too large");
    linked.gpa_end = uint32_t(gpa_end);

    image = open_image_file();
    copy_sections(file);
    write_symbol_slots(file);
    end_image_file(linked.gpa_end - linked_image_base);

    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\nRelocation table:\n");
    for_each_relocation_pass(file, [](const relocation_pass& pass) {
        local_count = 0;
        for (uint32_t j = 0; j < pass.count; ++j) apply(pass, j, read_relocation(pass, j));
    });
    finish_image_patches();
    flush_image();
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\n");

    hand_over_image();
    image = nullptr;

    const elf_layout layout{placed.data(), section_count};
    read_elf_map(file.path, true, &layout);
    add_new_symbol(linked.gp, "@BGPA", nullptr);
    sort_symbols();
    input_names_entered(range);
    settings.gp_value = linked.gp;
    range.start = linked_image_base;
    range.offset = linked_image_base;
    // (An object with nothing to place lists nothing; a size of 0 would read
    // as no size at all.)
    range.size =
        linked.gpa_end > linked_image_base ? int32_t(linked.gpa_end - linked_image_base) : -1;
}

void reset_linked_object() {
    // (A fatal message while the image was made leaves it open.)
    if (image != nullptr) std::fclose(image);
    image = nullptr;
    std::fill(placed.begin(), placed.begin() + std::min<uint32_t>(section_count, 0x10000), 0u);
    linked = linked_layout{};
    section_count = 0;
    symbols_offset = symbol_total = string_table = string_size = 0;
    input_length = 0;
    next_own_slot = 0;
    local_count = 0;
}
