// Lists a relocatable object as a linker would lay it out when it links the
// object alone: its allocated sections one after the other from 0x10000000,
// each at its alignment, its relocations applied with the ABI's formulas, the
// undefined symbols at made-up addresses in the same 256 MiB region. The
// image goes into a temporary file without a name, written a block at a
// time; the object is read through a few kept blocks, never held whole.
#include "object/linked_object.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "object/elf_loader.h"
#include "object/elf_map.h"
#include "object/image_file.h"
#include "symbols/symbol_table.h"
#include "util/patch_cache.h"
#include "util/run_settings.h"
#include "util/zo.h"

linked_layout linked{};

namespace {

constexpr int section_header_size = 40;
constexpr int symbol_entry_size = 16;
constexpr uint32_t type_symtab = 2, type_rela = 4, type_nobits = 8, type_rel = 9;
// The MIPS bookkeeping sections that a linker never copies: .reginfo,
// .MIPS.options, .MIPS.abiflags.
constexpr uint32_t type_reginfo = 0x70000006, type_options = 0x7000000d, type_abiflags = 0x7000002a;
constexpr uint32_t flag_allocated = 0x2;
constexpr uint16_t section_absolute = 0xfff1;
constexpr uint16_t first_reserved = 0xff00;
constexpr uint8_t binding_local = 0;
// The image ends below the made-up addresses of the undefined symbols.
constexpr uint32_t image_limit = undefined_symbol_base;
// How far a HI16 or a local GOT16 looks for the LO16 that completes its
// addend, in relocations of its section.
constexpr uint32_t pair_reach = 1024;

namespace reloc {
constexpr uint32_t none = 0, word = 2, jump26 = 4, hi16 = 5, lo16 = 6, gprel16 = 7, got16 = 9,
                   pc16 = 10, call16 = 11, gprel32 = 12, jalr = 37, pc32 = 248;
}

struct section_info {
    uint32_t name, type, flags, offset, size, link, info, alignment;
};

struct symbol_info {
    uint32_t name, value, size;
    uint8_t info;
    uint16_t section;
};

// The address of each placed section by index; 0 for the others.
std::array<uint32_t, 0x10000> placed{};
uint32_t section_count = 0;
uint64_t section_table = 0;
uint32_t symbols_offset = 0, symbol_total = 0;
uint32_t string_table = 0, string_size = 0;
uint64_t input_length = 0;
uint32_t next_local_slot = 0;

// The image until the listing takes it over as its input.
FILE* image = nullptr;

[[noreturn]] void fault(const char* what) {
    zo_message("%s: %s", settings.input_path, what);
}

// Reads through the object loader's kept blocks: headers, symbols and
// relocations sit apart in the object.
void read_bytes(uint64_t position, unsigned char* bytes, int count, const char* what) {
    if (!read_object_at(position, bytes, count)) fault(what);
}

section_info read_section(uint32_t index) {
    unsigned char b[section_header_size];
    read_bytes(section_table + uint64_t(section_header_size) * index, b, section_header_size,
               "section header read error");
    // 0 sh_name, 4 sh_type, 8 sh_flags, 12 sh_addr, 16 sh_offset, 20 sh_size,
    // 24 sh_link, 28 sh_info, 32 sh_addralign
    return {object_word(b),      object_word(b + 4),  object_word(b + 8),  object_word(b + 16),
            object_word(b + 20), object_word(b + 24), object_word(b + 28), object_word(b + 32)};
}

symbol_info read_symbol(uint32_t index) {
    unsigned char e[symbol_entry_size];
    read_bytes(uint64_t(symbols_offset) + uint64_t(symbol_entry_size) * index, e, symbol_entry_size,
               "symbol read error");
    return {object_word(e), object_word(e + 4), object_word(e + 8), e[12], object_half(e + 14)};
}

// The text at name of a string table, cut at 48 characters, for -D.
const char* read_text(uint32_t table, uint32_t table_size, uint32_t name) {
    static char text[49];
    int n = 0;
    for (; n < 48 && name + uint32_t(n) < table_size; ++n) {
        unsigned char c;
        read_bytes(uint64_t(table) + name + uint32_t(n), &c, 1, "symbol read error");
        if (c == 0) break;
        text[n] = char(c);
    }
    text[n] = 0;
    return text;
}

bool placed_section(uint32_t index) {
    return index < section_count && placed[index] != 0;
}

uint32_t symbol_address(uint32_t index, const symbol_info& s) {
    if (index == 0) return 0;
    if (s.section == section_absolute) return s.value;
    if (s.section != 0 && s.section < first_reserved && placed_section(s.section))
        return placed[s.section] + s.value;
    return undefined_symbol_address(index);
}

bool is_gp_disp(const symbol_info& s) {
    constexpr char name[] = "_gp_disp";
    if (s.section != 0 || s.name == 0 || s.name + sizeof name > string_size) return false;
    unsigned char text[sizeof name];
    read_bytes(uint64_t(string_table) + s.name, text, sizeof name, "symbol read error");
    return std::memcmp(text, name, sizeof name) == 0;
}

// ---- the image, patched a block at a time ---------------------------------

patch_cache<4096, 8> patches;

[[noreturn]] void image_write_error() {
    image_file_write_error(image);
}

// Writes value at image address a.
void patch_word(uint32_t a, uint32_t value) {
    unsigned char b[4];
    for (int i = 0; i < 4; ++i) b[i] = ordered_byte(value, 4, i);
    patches.patch(a - linked_image_base, b, 4);
}

// ---- relocations -----------------------------------------------------------

int32_t sign_extend(uint32_t value, int bits) {
    const uint32_t m = uint32_t(1) << (bits - 1);
    return int32_t((value ^ m) - m);
}

bool fits_signed(int64_t value, int bits) {
    return value >= -(int64_t(1) << (bits - 1)) && value < (int64_t(1) << (bits - 1));
}

[[noreturn]] void bad_relocation() {
    fault("bad relocation");
}

// One relocation section being applied to its placed target.
struct relocation_pass {
    section_info target;
    uint32_t target_index;
    uint32_t table, count;
    bool with_addend; // RELA
    uint32_t entry_size() const { return with_addend ? 12 : 8; }
};

struct relocation {
    uint32_t offset, info;
    int32_t addend;
    uint32_t type() const { return info & 0xff; }
    uint32_t symbol() const { return info >> 8; }
};

relocation read_relocation(const relocation_pass& pass, uint32_t j) {
    unsigned char e[12];
    read_bytes(uint64_t(pass.table) + uint64_t(pass.entry_size()) * j, e, int(pass.entry_size()),
               "relocation read error");
    return {object_word(e), object_word(e + 4), pass.with_addend ? int32_t(object_word(e + 8)) : 0};
}

// The word of the target section at offset as the object holds it.
uint32_t original_word(const relocation_pass& pass, uint32_t offset) {
    if (uint64_t(offset) + 4 > pass.target.size || pass.target.type == type_nobits)
        bad_relocation();
    unsigned char b[4];
    read_bytes(uint64_t(pass.target.offset) + offset, b, 4, "relocation read error");
    return object_word(b);
}

// The addend of a HI16 or GOT16 entry j of a REL table: its own 16 bits as the
// high half, and the low half from the next LO16 of the same symbol.
int32_t paired_addend(const relocation_pass& pass, uint32_t j, uint32_t word) {
    const relocation r = read_relocation(pass, j);
    int32_t low = 0;
    const uint32_t end = std::min(pass.count, j + 1 + pair_reach);
    for (uint32_t k = j + 1; k < end; ++k) {
        const relocation next = read_relocation(pass, k);
        if (next.type() == reloc::lo16 && next.symbol() == r.symbol()) {
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

void apply(const relocation_pass& pass, uint32_t j, const relocation& r) {
    const uint32_t type = r.type(), index = r.symbol();
    if (type == reloc::none || type == reloc::jalr) return;
    if (index >= symbol_total) bad_relocation();
    const uint32_t word = original_word(pass, r.offset);
    const symbol_info s = read_symbol(index);
    const uint32_t S = symbol_address(index, s);
    const uint32_t P = placed[pass.target_index] + r.offset;
    const uint32_t GP = linked.gp;
    const bool rel = !pass.with_addend;
    const bool local = (s.info >> 4) == binding_local && index != 0;
    const uint32_t half_addend = uint32_t(sign_extend(word & 0xffff, 16));
    uint32_t result = word;
    switch (type) {
    case reloc::word: result = S + (rel ? word : uint32_t(r.addend)); break;
    case reloc::pc32: // unwind tables
        result = S + (rel ? word : uint32_t(r.addend)) - P;
        break;
    case reloc::gprel32:
        result = S + (rel ? word : uint32_t(r.addend)) - GP;
        if (s.section == 0 && index != 0) result = 4 * index + (rel ? word : uint32_t(r.addend));
        break;
    case reloc::jump26: {
        const uint32_t A =
            rel ? uint32_t(sign_extend((word & 0x3ffffff) << 2, 28)) : uint32_t(r.addend);
        const uint32_t v = S + A;
        if (((v ^ (P + 4)) & 0xf0000000) != 0) bad_relocation();
        result = (word & 0xfc000000) | ((v >> 2) & 0x3ffffff);
        break;
    }
    case reloc::hi16: {
        const uint32_t AHL = rel ? uint32_t(paired_addend(pass, j, word)) : uint32_t(r.addend);
        const uint32_t base = is_gp_disp(s) ? GP - P : S;
        result = with_low_half(word, (base + AHL + 0x8000) >> 16);
        forget_local_entry(index);
        break;
    }
    case reloc::lo16: {
        const uint32_t A = rel ? half_addend : uint32_t(r.addend);
        if (is_gp_disp(s)) {
            result = with_low_half(word, GP - P + 4 + A);
        } else if (const local_entry* e = local ? local_entry_of(index) : nullptr) {
            const uint32_t target = S + (rel ? (e->high << 16) + half_addend : uint32_t(r.addend));
            const int64_t d = int64_t(int32_t(target - e->slot_value));
            if (!fits_signed(d, 16)) bad_relocation();
            result = with_low_half(word, uint32_t(d));
        } else {
            result = with_low_half(word, S + A);
        }
        break;
    }
    case reloc::gprel16: {
        // An undefined symbol has no place within reach of $gp: its slot
        // stands in for it, so that the data display names it.
        const uint32_t place = s.section == 0 && index != 0 ? GP + 4 * index : S;
        const int64_t v = int64_t(int32_t(place + (rel ? half_addend : uint32_t(r.addend)) - GP));
        if (!fits_signed(v, 16)) bad_relocation();
        result = with_low_half(word, uint32_t(v));
        break;
    }
    case reloc::pc16: {
        const uint32_t A =
            rel ? uint32_t(sign_extend((word & 0xffff) << 2, 18)) : uint32_t(r.addend);
        const int64_t v = int64_t(int32_t(S + A - P));
        if (!fits_signed(v, 18) || (v & 3) != 0) bad_relocation();
        result = with_low_half(word, uint32_t(v >> 2));
        break;
    }
    case reloc::got16:
        if (local) {
            // A slot of its own holds the local address that the GOT16 and
            // its LO16 make together.
            const uint32_t AHL = rel ? uint32_t(paired_addend(pass, j, word)) : uint32_t(r.addend);
            const uint32_t slot = symbol_total + next_local_slot++;
            patch_word(GP + 4 * slot, S + AHL);
            remember_local_entry({index, S + AHL, word & 0xffff});
            result = with_low_half(word, 4 * slot);
            break;
        }
        [[fallthrough]];
    case reloc::call16: result = with_low_half(word, 4 * index); break;
    default: zo_message("%s: unimplemented relocation type %d", settings.input_path, int(type));
    }
    if (has_flag(flag::dump_object))
        std::fprintf(stderr, "offset: %5x  info: %5x\t%s\n", r.offset, r.info,
                     read_text(string_table, string_size, s.name));
    patch_word(P, result);
}

// Calls act for every relocation section whose target is placed.
template <typename Act> void for_each_relocation_pass(Act act) {
    for (uint32_t i = 1; i < section_count; ++i) {
        const section_info r = read_section(i);
        if ((r.type != type_rel && r.type != type_rela) || !placed_section(r.info)) continue;
        relocation_pass pass{read_section(r.info), r.info, r.offset, 0, r.type == type_rela};
        pass.count = r.size / pass.entry_size();
        act(pass);
    }
}

uint32_t count_local_got_entries() {
    uint32_t n = 0;
    for_each_relocation_pass([&](const relocation_pass& pass) {
        for (uint32_t j = 0; j < pass.count; ++j) {
            const relocation r = read_relocation(pass, j);
            if (r.type() == reloc::got16 && r.symbol() != 0 && r.symbol() < symbol_total &&
                (read_symbol(r.symbol()).info >> 4) == binding_local)
                ++n;
        }
    });
    return n;
}

// ---- layout ----------------------------------------------------------------

bool is_placed(const section_info& s) {
    return (s.flags & flag_allocated) && s.type != type_reginfo && s.type != type_options &&
           s.type != type_abiflags;
}

void place_sections(uint32_t names_index) {
    const section_info names =
        names_index < section_count ? read_section(names_index) : section_info{};
    uint64_t end = linked_image_base;
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "Section list:\n");
    for (uint32_t i = 0; i < section_count; ++i) {
        const section_info s = read_section(i);
        if (i > 0 && is_placed(s)) {
            const uint64_t alignment = s.alignment > 1 ? s.alignment : 1;
            const uint64_t address = (end + alignment - 1) / alignment * alignment;
            end = address + s.size;
            if (end > image_limit) fault("image too large");
            placed[i] = uint32_t(address);
            if (s.type != type_nobits && uint64_t(s.offset) + s.size > input_length)
                fault("section beyond the end of the file");
        }
        if (s.type == type_symtab && symbols_offset == 0) {
            symbols_offset = s.offset;
            symbol_total = s.size / symbol_entry_size;
            if (uint64_t(s.offset) + s.size > input_length) fault("symbol read error");
            if (s.link < section_count) {
                const section_info strings = read_section(s.link);
                string_table = strings.offset;
                if (strings.offset < input_length)
                    string_size =
                        uint32_t(std::min<uint64_t>(strings.size, input_length - strings.offset));
            }
        }
        if (has_flag(flag::dump_object)) {
            std::fprintf(stderr, "section %2d: %-20s addr:%5x  size:%5x  type: %x", int(i),
                         read_text(names.offset, names.size, s.name), s.offset, s.size, s.type);
            if (placed[i] != 0) std::fprintf(stderr, "  at: %08x", placed[i]);
            std::fprintf(stderr, "\n");
        }
    }
    linked.image_end = uint32_t(end);
}

} // namespace

void load_linked_object(const unsigned char* h, uint32_t& start, uint32_t& offset, int32_t& size) {
    if (object_half(h + 46) != section_header_size) fault("bad section header size");
    section_table = object_word(h + 32);
    section_count = object_half(h + 48);

    FILE* input = settings.input;
    input_length = input_file_length();

    place_sections(object_half(h + 50));
    next_local_slot = 0;
    linked.local_slots = count_local_got_entries();
    linked.gp = (linked.image_end + 3) & ~uint32_t(3);
    const uint64_t gpa_end = linked.gp + 4 * (uint64_t(symbol_total) + linked.local_slots);
    if (gpa_end > image_limit) fault("image too large");
    linked.gpa_end = uint32_t(gpa_end);

    image = open_image_file();
    for (uint32_t i = 1; i < section_count; ++i) {
        if (!placed_section(i)) continue;
        const section_info s = read_section(i);
        if (s.type != type_nobits && s.size > 0)
            copy_to_image(image, placed[i] - linked_image_base, s.offset, s.size,
                          "section beyond the end of the file");
    }
    // The slots of the symbols, in table order; the local ones follow as the
    // relocations fill them.
    zo_fseek(image, int32_t(linked.gp - linked_image_base));
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\nSymbol table:\n");
    for (uint32_t i = 0; i < symbol_total; ++i) {
        const symbol_info s = read_symbol(i);
        const uint32_t a = symbol_address(i, s);
        unsigned char b[4];
        for (int k = 0; k < 4; ++k) b[k] = ordered_byte(a, 4, k);
        if (std::fwrite(b, 1, 4, image) != 4) image_write_error();
        if (has_flag(flag::dump_object))
            std::fprintf(stderr, "%-33s val:%5x  size:%5x  info:%3x si: %x  at: %08x\n",
                         read_text(string_table, string_size, s.name), s.value, s.size, s.info,
                         s.section, a);
    }
    end_image_file(image, linked.gpa_end - linked_image_base);

    patches.start(image, image_write_error);
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\nRelocation table:\n");
    for_each_relocation_pass([](const relocation_pass& pass) {
        local_count = 0;
        for (uint32_t j = 0; j < pass.count; ++j) apply(pass, j, read_relocation(pass, j));
    });
    patches.finish();
    zo_fflush(image);
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\n");

    settings.input = nullptr;
    zo_fclose(input);
    settings.input = image;
    image = nullptr;

    const elf_layout layout{placed.data(), section_count};
    read_elf_map(settings.input_path, true, &layout);
    add_new_symbol(linked.gp, "@BGPA", nullptr);
    sort_symbols();
    settings.gp_value = linked.gp;
    start = linked_image_base;
    offset = linked_image_base;
    // (An object with nothing to place lists nothing; a size of 0 would read
    // as no size at all.)
    size = linked.gpa_end > linked_image_base ? int32_t(linked.gpa_end - linked_image_base) : -1;
}

void reset_linked_object() {
    if (image != nullptr) std::fclose(image);
    image = nullptr;
    std::fill(placed.begin(), placed.begin() + std::min<uint32_t>(section_count, 0x10000), 0u);
    linked = linked_layout{};
    section_count = 0;
    section_table = 0;
    symbols_offset = symbol_total = string_table = string_size = 0;
    input_length = 0;
    next_local_slot = 0;
    local_count = 0;
    patches.start(nullptr, nullptr);
}
