// Reads the symbol table of a 32-bit MIPS ELF file (relocatable, executable
// or shared, either byte order) as a map file: each symbol that names a
// place in memory becomes a map name at its st_value. The file is read a
// header or an entry at a time through a few kept blocks, never held whole,
// and every position is checked against the file before it is used.
#include "object/elf_map.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "mips/byte_order.h"
#include "symbols/symbol_table.h"
#include "util/block_cache.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace {

constexpr int elf_header_size = 52;
constexpr int section_header_size = 40;
constexpr int symbol_entry_size = 16;

constexpr uint32_t section_type_symtab = 2;
constexpr uint32_t section_allocated = 0x2;  // SHF_ALLOC: the section lies in memory
constexpr uint32_t section_executable = 0x4; // SHF_EXECINSTR: it holds code
// Section indexes from here on (absolute 0xfff1, common 0xfff2, ...) name no
// section header; 0 is undefined.
constexpr uint16_t first_reserved_index = 0xff00;
constexpr uint16_t section_common = 0xfff2;

// st_info: type in the low four bits, binding in the high four.
constexpr uint8_t type_untyped = 0, type_object = 1, type_function = 2;
constexpr uint8_t binding_global = 1, binding_weak = 2;

// Where the sections of the object being read lie; null for a file read at
// its own addresses.
const elf_layout* layout = nullptr;

// The ELF file being read; null outside read_elf_map. A bad entry ends the
// program with it still open.
FILE* open_elf = nullptr;
const char* elf_path = nullptr;
bool elf_little = false;           // EI_DATA 1 (little endian) rather than 2 (big)
uint64_t section_table_offset = 0; // e_shoff
uint32_t section_total = 0;        // e_shnum

// Symbol tables sit far from their string tables and the section headers
// that tell where a symbol lies; these blocks spare a seek for each.
block_cache<4096, 8> cache;

// Entries of the symbol table named by a symbol of the ELF file being read
// (added by it, or met there at the same address), by entry index: such a
// name is taken for the rest of the file. The entries do not move while a
// file is read; the table is sorted after it.
std::array<uint64_t, (symbol_capacity + 63) / 64> named_here{};

bool is_named_here(int entry) {
    return entry >= 0 && (named_here[size_t(entry) / 64] >> (entry % 64) & 1) != 0;
}
void mark_named_here(int entry) {
    named_here[size_t(entry) / 64] |= uint64_t(1) << (entry % 64);
}

[[noreturn]] void elf_fault(const char* what) {
    zo_message("%s: %s", elf_path, what);
}

uint16_t elf_half(const unsigned char* bytes) {
    return static_cast<uint16_t>(ordered_value(bytes, 2, elf_little));
}
uint32_t elf_word(const unsigned char* bytes) {
    return ordered_value(bytes, 4, elf_little);
}

// The fields of a section header that the reader uses.
struct elf_section {
    uint32_t name;    // sh_name: offset of the name in the section-name table
    uint32_t type;    // sh_type
    uint32_t flags;   // sh_flags
    uint32_t address; // sh_addr
    uint32_t offset;  // sh_offset
    uint32_t size;    // sh_size
    uint32_t link;    // sh_link: for a symbol table, its string table
};

elf_section read_section(uint32_t index) {
    unsigned char b[section_header_size];
    if (!cache.read(section_table_offset + uint64_t(section_header_size) * index, b,
                    section_header_size))
        elf_fault("section header read error");
    // 0 sh_name, 4 sh_type, 8 sh_flags, 12 sh_addr, 16 sh_offset, 20 sh_size, 24 sh_link
    return {elf_word(b),      elf_word(b + 4),  elf_word(b + 8), elf_word(b + 12),
            elf_word(b + 16), elf_word(b + 20), elf_word(b + 24)};
}

// The name at name_offset of the string table, cut at elf_name_limit
// characters, in text (room for elf_name_limit + 1). what is "symbol" or
// "section", for the messages.
std::string_view read_name(const elf_section& strings, uint32_t name_offset, char* text,
                           const char* what = "symbol") {
    if (name_offset >= strings.size)
        zo_message("%s: %s name beyond the string table", elf_path, what);
    // Never more than the table holds, nor more than a name can keep.
    const size_t n = std::min<uint32_t>(strings.size - name_offset, elf_name_limit + 1);
    if (!cache.read(uint64_t(strings.offset) + name_offset, reinterpret_cast<unsigned char*>(text),
                    int(n)))
        elf_fault("symbol read error");
    if (const void* end = std::memchr(text, 0, n))
        return {text, size_t(static_cast<const char*>(end) - text)};
    if (n <= elf_name_limit) zo_message("%s: %s name without terminator", elf_path, what);
    return {text, size_t(elf_name_limit)};
}

enum class entry_kind { none, code, data };

// What a symbol becomes: nothing, a code name or a data name.
entry_kind kind_of(uint8_t info, uint32_t size, uint16_t section, std::string_view name) {
    const uint8_t type = info & 0xf, binding = info >> 4;
    if (type != type_untyped && type != type_object && type != type_function)
        return entry_kind::none;
    if (section == 0 || section >= first_reserved_index || section >= section_total)
        return entry_kind::none;
    if (name.empty() || name.starts_with("$L") || name.starts_with(".L")) return entry_kind::none;
    // A size of 0 marks a place rather than a thing, worth a name only for a
    // function or a label others can reach.
    const bool reachable_label =
        type == type_untyped && (binding == binding_global || binding == binding_weak);
    if (size == 0 && type != type_function && !reachable_label) return entry_kind::none;
    const uint32_t flags = read_section(section).flags;
    if (!(flags & section_allocated)) return entry_kind::none;
    if (type != type_object && (flags & section_executable)) return entry_kind::code;
    return entry_kind::data;
}

// What a symbol of an object laid out becomes, and its address: a symbol of
// a placed section as in a map, at the section's address plus its value; an
// undefined global or weak one a code name and a common one a data name, at
// the made-up address of its index. _gp_disp stands for GP - P, no place.
entry_kind laid_out_kind(uint8_t info, uint32_t size, uint16_t section, std::string_view name,
                         uint32_t index, uint32_t& address) {
    const uint8_t binding = info >> 4;
    if (name.empty() || name == "_gp_disp") return entry_kind::none;
    if (section == 0 || section == section_common) {
        if (section == 0 && binding != binding_global && binding != binding_weak)
            return entry_kind::none;
        address = undefined_symbol_address(index);
        return section == 0 ? entry_kind::code : entry_kind::data;
    }
    if (section >= layout->section_count || layout->section_address[section] == 0)
        return entry_kind::none;
    address += layout->section_address[section];
    return kind_of(info, size, section, name);
}

// Enters the map name of an ELF name at value. A name that an earlier symbol
// of the file took gets the first free suffix _2, _3, ...; a name of an
// earlier map is a repeat at the same address and an error at another.
void enter_symbol(std::string_view name, bool data, uint32_t value) {
    // '@', the name, the longest suffix, the terminator.
    char text[1 + elf_name_limit + 12 + 1];
    text[0] = '@';
    char* plain = text + 1;
    const int length = map_name_of(name, plain);
    for (int k = 2;
         is_named_here(find_symbol(plain, false)) || is_named_here(find_symbol(text, false)); ++k)
        std::snprintf(plain + length, 12, "_%d", k);
    const char* entered = data ? text : plain;
    const int existing = add_new_symbol(value, entered, nullptr);
    if (existing >= 0 && symbol_table[existing].address != value)
        zo_message("%s: symbol '%s' redefined", elf_path, entered);
    mark_named_here(existing >= 0 ? existing : symbol_count - 1);
}

void read_symbols(const elf_section& symbols) {
    if (symbols.link >= section_total) elf_fault("bad string table index");
    const elf_section strings = read_section(symbols.link);
    const uint32_t total = symbols.size / symbol_entry_size;
    // Entry 0 is the null symbol.
    for (uint32_t i = 1; i < total; ++i) {
        unsigned char e[symbol_entry_size];
        if (!cache.read(uint64_t(symbols.offset) + uint64_t(symbol_entry_size) * i, e,
                        symbol_entry_size))
            elf_fault("symbol read error");
        // 0 st_name, 4 st_value, 8 st_size, 12 st_info, 13 st_other, 14 st_shndx
        const uint32_t name_offset = elf_word(e), value = elf_word(e + 4), size = elf_word(e + 8);
        const uint8_t info = e[12];
        const uint16_t section = elf_half(e + 14);
        char text[elf_name_limit + 1];
        const std::string_view name =
            name_offset == 0 ? std::string_view() : read_name(strings, name_offset, text);
        // The file's own _gp, absolute or not, is the base of offset($gp)
        // terms unless one was given before.
        if (name == "_gp" && section != 0 && settings.gp_value == 0) settings.gp_value = value;
        uint32_t address = value;
        const entry_kind kind = layout == nullptr
                                    ? kind_of(info, size, section, name)
                                    : laid_out_kind(info, size, section, name, i, address);
        if (kind != entry_kind::none) enter_symbol(name, kind == entry_kind::data, address);
    }
}

// True when a name of the kind asked for (data or code) stands at address.
bool named_alike(uint32_t address, bool data) {
    for (int i = 0; i < symbol_count; ++i) {
        const symbol_entry& e = symbol_table[i];
        if (e.address == address && e.name[0] != '\0' && (e.name[0] == '@') == data) return true;
    }
    return false;
}

// A label at the start of each allocated section that holds bytes, made of
// its name: ".text" becomes "_text", ".rodata" the data name "@_rodata". It
// is left out where a name of its kind stands already: it is there to switch
// the listing to code or to data lines.
void read_section_labels(uint32_t names_index) {
    if (names_index >= section_total) elf_fault("bad section name table index");
    const elf_section names = read_section(names_index);
    // (The names the symbols took stay taken: a section name meets them.)
    for (uint32_t i = 1; i < section_total; ++i) {
        const elf_section s = read_section(i);
        if (!(s.flags & section_allocated) || s.size == 0 || s.name == 0) continue;
        uint32_t address = s.address;
        if (layout != nullptr) {
            if (i >= layout->section_count || layout->section_address[i] == 0) continue;
            address = layout->section_address[i];
        }
        char text[elf_name_limit + 1];
        const std::string_view name = read_name(names, s.name, text, "section");
        const bool data = !(s.flags & section_executable);
        if (!name.empty() && !named_alike(address, data)) enter_symbol(name, data, address);
    }
}

} // namespace

int map_name_of(std::string_view name, char* text) {
    auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
    auto is_hex = [&](char c) {
        return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    auto is_name = [&](char c) {
        return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    };
    // An address expression would read such a name as a number.
    const bool prefixed = is_digit(name[0]) || std::all_of(name.begin(), name.end(), is_hex);
    int length = 0;
    if (prefixed) text[length++] = '_';
    for (char c : name) {
        if (length == elf_name_limit) break;
        text[length++] = is_name(c) ? c : '_';
    }
    text[length] = 0;
    return length;
}

void read_elf_map(const char* path, bool section_labels, const elf_layout* laid_out) {
    expect_many_symbols();
    elf_path = path;
    layout = laid_out;
    named_here.fill(0);
    open_elf = zo_fopen(path, "rb");
    cache.start(open_elf, false);

    unsigned char h[elf_header_size];
    if (!cache.read(0, h, elf_header_size)) elf_fault("ELF header read error");
    // 0..15 ident: 4 class, 5 data, 6 version
    if (h[4] != 1) elf_fault("not a 32-bit object");
    if (h[5] != 1 && h[5] != 2) elf_fault("not a little nor big endian object");
    elf_little = h[5] == 1;
    if (h[6] != 1 || elf_word(h + 20) != 1) elf_fault("not a current ELF version");
    if (elf_half(h + 18) != 8) elf_fault("not a MIPS object");
    if (elf_half(h + 40) != elf_header_size) elf_fault("bad ELF header size");
    section_table_offset = elf_word(h + 32);
    section_total = elf_half(h + 48);
    // A file without section headers has no symbol table and needs no size of them.
    if (section_total != 0 && elf_half(h + 46) != section_header_size)
        elf_fault("bad section header size");

    // A file holds one symbol table at most; a file without one is an
    // empty map.
    for (uint32_t i = 0; i < section_total; ++i) {
        const elf_section s = read_section(i);
        if (s.type == section_type_symtab) {
            read_symbols(s);
            break;
        }
    }
    if (section_labels && section_total != 0) read_section_labels(elf_half(h + 50));
    FILE* elf = open_elf;
    open_elf = nullptr;
    layout = nullptr;
    zo_fclose(elf);
    sort_symbols();
}

void reset_elf_map() {
    if (open_elf != nullptr) std::fclose(open_elf);
    open_elf = nullptr;
    layout = nullptr;
    elf_path = nullptr;
    elf_little = false;
    section_table_offset = 0;
    section_total = 0;
    named_here.fill(0);
}
