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

#include "object/elf_file.h"
#include "symbols/symbol_table.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace {

// Where the sections of the object being read lie; null for a file read at
// its own addresses.
const elf_layout* layout = nullptr;

// The ELF file being read; its stream is null outside read_elf_map. A bad
// entry ends the program with it still open.
elf_file map_elf{};

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

// The name at name_offset of the string table strings; what is "symbol" or
// "section", for the messages.
std::string_view read_name(const section_header& strings, uint32_t name_offset, char* text,
                           const char* what = "symbol") {
    return elf_name(map_elf, strings, name_offset, elf_name_limit, text, what);
}

enum class entry_kind { none, code, data };

// What a symbol becomes: nothing, a code name or a data name.
entry_kind kind_of(uint8_t info, uint32_t size, uint16_t section, std::string_view name) {
    const uint8_t type = elf::ELF32_ST_TYPE(info), binding = elf::ELF32_ST_BIND(info);
    if (type != elf::STT_NOTYPE && type != elf::STT_OBJECT && type != elf::STT_FUNC)
        return entry_kind::none;
    if (section == elf::SHN_UNDEF || section >= elf::SHN_LORESERVE ||
        section >= map_elf.header.section_count)
        return entry_kind::none;
    if (name.empty() || name.starts_with("$L") || name.starts_with(".L")) return entry_kind::none;
    // A size of 0 marks a place rather than a thing, worth a name only for a
    // function or a label others can reach.
    const bool reachable_label =
        type == elf::STT_NOTYPE && (binding == elf::STB_GLOBAL || binding == elf::STB_WEAK);
    if (size == 0 && type != elf::STT_FUNC && !reachable_label) return entry_kind::none;
    const uint32_t flags = elf_read_section(map_elf, section).flags;
    if (!(flags & elf::SHF_ALLOC)) return entry_kind::none;
    if (type != elf::STT_OBJECT && (flags & elf::SHF_EXECINSTR)) return entry_kind::code;
    return entry_kind::data;
}

// What a symbol of an object laid out becomes, and its address: a symbol of
// a placed section as in a map, at the section's address plus its value; an
// undefined global or weak one a code name and a common one a data name, at
// the made-up address of its index. _gp_disp stands for GP - P, no place.
entry_kind laid_out_kind(uint8_t info, uint32_t size, uint16_t section, std::string_view name,
                         uint32_t index, uint32_t& address) {
    const uint8_t binding = elf::ELF32_ST_BIND(info);
    if (name.empty() || name == "_gp_disp") return entry_kind::none;
    if (section == elf::SHN_UNDEF || section == elf::SHN_COMMON) {
        if (section == elf::SHN_UNDEF && binding != elf::STB_GLOBAL && binding != elf::STB_WEAK)
            return entry_kind::none;
        address = undefined_symbol_address(index);
        return section == elf::SHN_UNDEF ? entry_kind::code : entry_kind::data;
    }
    if (section >= layout->section_count || layout->section_address[section] == 0)
        return entry_kind::none;
    address += layout->section_address[section];
    return kind_of(info, size, section, name);
}

// The longest suffix a name takes: one given, or _2, _3, ...
constexpr int suffix_limit = 12;

// The map name of an ELF name with suffix, '@' in front of it; returns the
// plain name's length.
int map_text_of(std::string_view name, std::string_view suffix,
                char (&text)[1 + elf_name_limit + 2 * suffix_limit + 1]) {
    text[0] = '@';
    char* plain = text + 1;
    int length = map_name_of(name, plain);
    suffix = suffix.substr(0, suffix_limit);
    suffix.copy(plain + length, suffix.size());
    length += int(suffix.size());
    plain[length] = 0;
    return length;
}

// Enters the map name of an ELF name (with suffix) at value. A name that an
// earlier symbol of the file took gets the first free suffix _2, _3, ...; a
// name of an earlier map is a repeat at the same address and an error at
// another.
void enter_symbol(std::string_view name, bool data, uint32_t value,
                  std::string_view suffix = std::string_view()) {
    // '@', the name, the suffixes, the terminator.
    char text[1 + elf_name_limit + 2 * suffix_limit + 1];
    char* plain = text + 1;
    const int length = map_text_of(name, suffix, text);
    for (int k = 2;
         is_named_here(find_symbol(plain, false)) || is_named_here(find_symbol(text, false)); ++k)
        std::snprintf(plain + length, suffix_limit, "_%d", k);
    const char* entered = data ? text : plain;
    const int existing = add_new_symbol(value, entered, nullptr);
    if (existing >= 0 && symbol_table[existing].address != value)
        zo_message("%s: symbol '%s' redefined", map_elf.path, entered);
    mark_named_here(existing >= 0 ? existing : symbol_count - 1);
}

void read_symbols(const section_header& symbols) {
    if (symbols.link >= map_elf.header.section_count) elf_fault(map_elf, "bad string table index");
    const section_header strings = elf_read_section(map_elf, symbols.link);
    const uint32_t total = symbols.size / elf::symbol_size;
    // Entry 0 is the null symbol.
    for (uint32_t i = 1; i < total; ++i) {
        const elf_symbol e = elf_read_symbol(map_elf, symbols.offset, i);
        char text[elf_name_limit + 1];
        const std::string_view name =
            e.name == 0 ? std::string_view() : read_name(strings, e.name, text);
        // The file's own _gp, absolute or not, is the base of offset($gp)
        // terms unless one was given before.
        if (name == "_gp" && e.section != elf::SHN_UNDEF && settings.gp_value == 0)
            settings.gp_value = e.value;
        uint32_t address = e.value;
        const entry_kind kind = layout == nullptr
                                    ? kind_of(e.info, e.size, e.section, name)
                                    : laid_out_kind(e.info, e.size, e.section, name, i, address);
        if (kind != entry_kind::none) enter_symbol(name, kind == entry_kind::data, address);
    }
}

// What a dynamic symbol becomes: as a symbol of .symtab where the file has
// section headers; without them, by its type and the segment it lies in.
entry_kind dynamic_kind(const elf_symbol& e, std::string_view name, bool (*in_code)(uint32_t)) {
    if (map_elf.header.section_count != 0) return kind_of(e.info, e.size, e.section, name);
    const uint8_t type = elf::ELF32_ST_TYPE(e.info), binding = elf::ELF32_ST_BIND(e.info);
    if (type != elf::STT_NOTYPE && type != elf::STT_OBJECT && type != elf::STT_FUNC)
        return entry_kind::none;
    if (e.section == elf::SHN_UNDEF || e.section >= elf::SHN_LORESERVE) return entry_kind::none;
    if (name.empty() || name.starts_with("$L") || name.starts_with(".L")) return entry_kind::none;
    const bool reachable_label =
        type == elf::STT_NOTYPE && (binding == elf::STB_GLOBAL || binding == elf::STB_WEAK);
    if (e.size == 0 && type != elf::STT_FUNC && !reachable_label) return entry_kind::none;
    return type != elf::STT_OBJECT && in_code(e.value) ? entry_kind::code : entry_kind::data;
}

void read_dynamic_symbols(const elf_dynamic_symbols& dynamic) {
    const section_header strings{0, 0, 0, 0, dynamic.strings, dynamic.strings_size, 0, 0, 0};
    // Entry 0 is the null symbol.
    for (uint32_t i = 1; i < dynamic.count; ++i) {
        const elf_symbol e = elf_read_symbol(map_elf, dynamic.table, i);
        char text[elf_name_limit + 1];
        const std::string_view name =
            e.name == 0 ? std::string_view() : read_name(strings, e.name, text);
        const entry_kind kind = dynamic_kind(e, name, dynamic.in_code);
        if (kind != entry_kind::none) enter_elf_name(name, {}, kind == entry_kind::data, e.value);
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
void read_section_labels() {
    const uint32_t section_count = map_elf.header.section_count;
    if (map_elf.header.names_index >= section_count)
        elf_fault(map_elf, "bad section name table index");
    const section_header names = elf_read_section(map_elf, map_elf.header.names_index);
    // (The names the symbols took stay taken: a section name meets them.)
    for (uint32_t i = 1; i < section_count; ++i) {
        const section_header s = elf_read_section(map_elf, i);
        if (!(s.flags & elf::SHF_ALLOC) || s.size == 0 || s.name == 0) continue;
        uint32_t address = s.address;
        if (layout != nullptr) {
            if (i >= layout->section_count || layout->section_address[i] == 0) continue;
            address = layout->section_address[i];
        }
        char text[elf_name_limit + 1];
        const std::string_view name = read_name(names, s.name, text, "section");
        const bool data = !(s.flags & elf::SHF_EXECINSTR);
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

void enter_elf_name(std::string_view name, std::string_view suffix, bool data, uint32_t address) {
    char text[1 + elf_name_limit + 2 * suffix_limit + 1];
    map_text_of(name, suffix, text);
    const int existing = find_symbol(data ? text : text + 1, false);
    if (is_named_here(existing) && symbol_table[existing].address == address) return;
    enter_symbol(name, data, address, suffix);
}

void read_elf_map(const char* path, bool section_labels, const elf_layout* laid_out,
                  const elf_dynamic_symbols* dynamic) {
    expect_many_symbols();
    layout = laid_out;
    named_here.fill(0);
    elf_open(map_elf, zo_fopen(path, "rb"), path, elf_source::named);
    elf_check_ident(map_elf);
    elf_check_machine(map_elf);
    // A file without section headers has no symbol table and needs no size of them.
    const uint32_t section_count = map_elf.header.section_count;
    if (section_count != 0) elf_check_section_entry_size(map_elf);

    // A file holds one symbol table at most; a file without one is an
    // empty map.
    for (uint32_t i = 0; i < section_count; ++i) {
        const section_header s = elf_read_section(map_elf, i);
        if (s.type == elf::SHT_SYMTAB) {
            read_symbols(s);
            break;
        }
    }
    if (section_labels && section_count != 0) read_section_labels();
    if (dynamic != nullptr) {
        read_dynamic_symbols(*dynamic);
        dynamic->more_names();
    }
    FILE* elf = map_elf.stream;
    elf_forget(map_elf);
    layout = nullptr;
    zo_fclose(elf);
    sort_symbols();
}

void reset_elf_map() {
    if (map_elf.stream != nullptr) std::fclose(map_elf.stream);
    elf_forget(map_elf);
    layout = nullptr;
    named_here.fill(0);
}
