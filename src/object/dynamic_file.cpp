// The dynamic section of a file under -E, found through its program headers
// alone, so that a file without section headers gives the same names. Its
// addresses are turned into file offsets through the loadable segments, and
// every table it names is checked against the file before it is read.
#include "object/dynamic_file.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "object/elf_map.h"
#include "util/run_settings.h"

got_layout listed_got{};

namespace {

// A loadable segment, for turning addresses into file offsets.
struct load {
    uint32_t address, memory_size, offset, file_size;
    bool code; // PF_X
};
constexpr int load_capacity = 64;
std::array<load, load_capacity> loads{};
int load_count = 0;

// What the dynamic section says, its tables as file offsets.
struct dynamic_values {
    bool present;                           // a dynamic section with a GOT
    bool symbols;                           // a dynamic section with symbols
    uint32_t pltgot;                        // DT_PLTGOT: the GOT's address
    uint32_t local_gotno, gotsym, symtabno; // DT_MIPS_LOCAL_GOTNO, _GOTSYM, _SYMTABNO
    uint32_t symtab, strtab, strsz;         // DT_SYMTAB, DT_STRTAB, DT_STRSZ
    uint32_t jmprel, jump_slots;            // DT_JMPREL, DT_PLTRELSZ / 8
};
dynamic_values dynamic{};
// ri_gp_value of the file's .reginfo; 0 when it has none.
uint32_t reginfo_gp = 0;
// The input while its names are read.
elf_file* reading = nullptr;

// The file offset of the count bytes at address; false when no segment holds
// them all in the file.
bool file_offset(uint32_t address, uint64_t count, uint32_t& offset) {
    for (int i = 0; i < load_count; ++i) {
        const load& l = loads[size_t(i)];
        if (address >= l.address && uint64_t(address - l.address) + count <= l.file_size) {
            offset = l.offset + (address - l.address);
            return true;
        }
    }
    return false;
}

// True when some segment's memory holds the count bytes at address.
bool in_memory(uint32_t address, uint64_t count) {
    for (int i = 0; i < load_count; ++i) {
        const load& l = loads[size_t(i)];
        if (address >= l.address && uint64_t(address - l.address) + count <= l.memory_size)
            return true;
    }
    return false;
}

bool in_code(uint32_t address) {
    for (int i = 0; i < load_count; ++i) {
        const load& l = loads[size_t(i)];
        if (l.code && address >= l.address && address - l.address < l.memory_size) return true;
    }
    return false;
}

// The ri_gp_value of a .reginfo at offset of size bytes, if the file holds it.
void read_reginfo(elf_file& file, uint32_t offset, uint32_t size) {
    unsigned char r[elf::reginfo_size];
    if (size >= elf::reginfo_size && elf_read(file, offset, r, elf::reginfo_size))
        reginfo_gp = elf_word(file, r + elf::reginfo_gp_value);
}

// The program headers: the loadable segments, the dynamic section (its
// place returned), the .reginfo.
bool read_program_headers(elf_file& file, uint32_t& dynamic_offset, uint32_t& dynamic_size) {
    bool found = false;
    for (uint32_t i = 0; i < file.header.program_count; ++i) {
        const program_header p = elf_read_program(file, i);
        if (p.type == elf::PT_LOAD && (p.memory_size != 0 || p.file_size != 0)) {
            // (The executable's loader has refused more than this many.)
            if (load_count == load_capacity) elf_fault(file, "too many segments");
            loads[size_t(load_count++)] = {p.address, p.memory_size, p.offset, p.file_size,
                                           (p.flags & elf::PF_X) != 0};
        } else if (p.type == elf::PT_DYNAMIC) {
            dynamic_offset = p.offset;
            dynamic_size = p.file_size;
            found = true;
        } else if (p.type == elf::PT_MIPS_REGINFO) {
            read_reginfo(file, p.offset, p.file_size);
        }
    }
    return found;
}

// The stretches of code where stubs and PLT entries stand: .MIPS.stubs and
// .plt where the file has section headers, else every code segment.
struct code_stretch {
    uint32_t address, offset, size;
};
constexpr int stretch_capacity = 8;
std::array<code_stretch, stretch_capacity> stretches{};
int stretch_count = 0;
bool sections_named = false; // the stretches come from section headers

// The sections: a .reginfo where no segment gave one, the .got of a static
// executable (all of whose entries are local), .MIPS.stubs and .plt.
void read_sections(elf_file& file) {
    const uint32_t count = file.header.section_count;
    if (count == 0) return;
    elf_check_section_entry_size(file);
    const bool named = file.header.names_index < count;
    sections_named = named;
    const section_header names =
        named ? elf_read_section(file, file.header.names_index) : section_header{};
    for (uint32_t i = 1; i < count; ++i) {
        const section_header s = elf_read_section(file, i);
        if (s.type == elf::SHT_MIPS_REGINFO && reginfo_gp == 0)
            read_reginfo(file, s.offset, s.size);
        if (!named || s.name >= names.size || !(s.flags & elf::SHF_ALLOC)) continue;
        char text[16];
        const int n =
            elf_text(file, uint64_t(names.offset) + s.name, names.size - s.name, 12, text);
        const std::string_view name(text, size_t(n));
        if (name == ".got" && !dynamic.present && in_memory(s.address, s.size))
            listed_got = {s.address, s.address + s.size, s.address + s.size};
        if ((name == ".MIPS.stubs" || name == ".plt") && s.type != elf::SHT_NOBITS &&
            stretch_count < stretch_capacity)
            stretches[size_t(stretch_count++)] = {s.address, s.offset, s.size};
    }
}

// The values of the dynamic section's entries that tell where things are.
void read_dynamic_entries(elf_file& file, uint32_t offset, uint32_t size) {
    uint32_t symtab = 0, strtab = 0, jmprel = 0, pltrelsz = 0;
    for (uint32_t k = 0; k < size / elf::dynamic_entry_size; ++k) {
        unsigned char e[elf::dynamic_entry_size];
        elf_read(file, uint64_t(offset) + uint64_t(elf::dynamic_entry_size) * k, e,
                 elf::dynamic_entry_size, "bad dynamic section");
        const int32_t tag = int32_t(elf_word(file, e));
        const uint32_t value = elf_word(file, e + 4);
        if (tag == elf::DT_NULL) break;
        switch (tag) {
        case elf::DT_PLTGOT: dynamic.pltgot = value, dynamic.present = true; break;
        case elf::DT_MIPS_LOCAL_GOTNO: dynamic.local_gotno = value; break;
        case elf::DT_MIPS_GOTSYM: dynamic.gotsym = value; break;
        case elf::DT_MIPS_SYMTABNO: dynamic.symtabno = value; break;
        case elf::DT_SYMTAB: symtab = value; break;
        case elf::DT_STRTAB: strtab = value; break;
        case elf::DT_STRSZ: dynamic.strsz = value; break;
        case elf::DT_JMPREL: jmprel = value; break;
        case elf::DT_PLTRELSZ: pltrelsz = value; break;
        default: break;
        }
    }
    dynamic.symbols = dynamic.symtabno > 1;
    // Every table must lie in the file: its counts are then sound.
    const uint64_t symbols = uint64_t(dynamic.symtabno) * elf::symbol_size;
    if (dynamic.symtabno != 0 && !file_offset(symtab, symbols, dynamic.symtab))
        elf_fault(file, "dynamic symbols beyond the end of the file");
    if (dynamic.strsz != 0 && !file_offset(strtab, dynamic.strsz, dynamic.strtab))
        elf_fault(file, "dynamic strings beyond the end of the file");
    dynamic.jump_slots = pltrelsz / elf::rel_size;
    if (dynamic.jump_slots != 0 && !file_offset(jmprel, pltrelsz, dynamic.jmprel))
        elf_fault(file, "PLT relocations beyond the end of the file");
}

// The GOT: its local entries, then one entry for each dynamic symbol from
// DT_MIPS_GOTSYM on.
void take_got(elf_file& file) {
    if (!dynamic.present) return;
    const uint64_t globals = uint64_t(dynamic.symtabno) - dynamic.gotsym;
    const uint64_t entries = dynamic.local_gotno + globals;
    if (dynamic.gotsym > dynamic.symtabno || !in_memory(dynamic.pltgot, 4 * entries))
        elf_fault(file, "bad global offset table");
    const uint32_t local_end = dynamic.pltgot + 4 * dynamic.local_gotno;
    listed_got = {dynamic.pltgot, local_end, local_end + uint32_t(4 * globals)};
    if (settings.gp_value == 0) settings.gp_value = dynamic.pltgot + elf::gp_bias;
}

// ---- the names of the imports ------------------------------------------------

// The name of dynamic symbol index, in text.
std::string_view dynamic_name(uint32_t index, char (&text)[elf_name_limit + 1]) {
    const elf_symbol e = elf_read_symbol(*reading, dynamic.symtab, index);
    const section_header strings{0, 0, 0, 0, dynamic.strtab, dynamic.strsz, 0, 0, 0};
    if (e.name == 0) return {};
    return elf_name(*reading, strings, e.name, elf_name_limit, text, "symbol");
}

// Names code at address (or, with data, the slot at address) after dynamic
// symbol index, when it has a name.
void name_by_symbol(uint32_t index, std::string_view suffix, bool data, uint32_t address) {
    if (index == 0 || index >= dynamic.symtabno) return;
    char text[elf_name_limit + 1];
    const std::string_view name = dynamic_name(index, text);
    if (!name.empty()) enter_elf_name(name, suffix, data, address);
}

// Every global GOT entry: "<symbol>_got", a data name.
void name_global_entries() {
    for (uint32_t i = dynamic.gotsym; i < dynamic.symtabno; ++i)
        name_by_symbol(i, "_got", true, listed_got.local_end + 4 * (i - dynamic.gotsym));
}

// The dynamic symbol whose PLT slot lies at slot (an R_MIPS_JUMP_SLOT
// relocation); 0 for none. The relocations come in the order of their
// slots, which a search halves.
uint32_t jump_slot_symbol(uint32_t slot) {
    uint32_t low = 0, high = dynamic.jump_slots;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        const elf_relocation r = elf_read_relocation(*reading, dynamic.jmprel, middle, false);
        if (r.offset == slot) return r.type() == elf::R_MIPS_JUMP_SLOT ? r.symbol() : 0;
        if (r.offset < slot)
            low = middle + 1;
        else
            high = middle;
    }
    return 0;
}

// The stubs and PLT entries that end with the last of the words of a code
// segment, the last first; address is where it lies.
void name_stub_or_entry(const std::array<uint32_t, 5>& w, uint32_t address) {
    // Lazy-binding stubs:
    //   8f998010  lw $t9,-0x7ff0($gp)    03e07825  move $t7,$ra
    //   0320f809  jalr $t9               2418iiii  li $t8,INDEX (or 3418iiii)
    // and, for an index from 0x10000 on, lui $t8,hi before the jalr and
    // ori $t8,$t8,lo after it.
    const auto is_move = [](uint32_t v) { return v == 0x03e07825 || v == 0x03e07821; };
    const auto is_li = [](uint32_t v) { return (v >> 16) == 0x2418 || (v >> 16) == 0x3418; };
    if (w[3] == 0x8f998010 && is_move(w[2]) && w[1] == 0x0320f809 && is_li(w[0]))
        name_by_symbol(w[0] & 0xffff, {}, false, address - 12);
    if (w[4] == 0x8f998010 && is_move(w[3]) && (w[2] >> 16) == 0x3c18 && w[1] == 0x0320f809 &&
        (w[0] >> 16) == 0x3718)
        name_by_symbol((w[2] & 0xffff) << 16 | (w[0] & 0xffff), {}, false, address - 16);
    // PLT entries:
    //   3c0fhhhh  lui $t7,%hi(slot)      8df9llll  lw $t9,%lo(slot)($t7)
    //   03200008  jr $t9                 25f8llll  addiu $t8,$t7,%lo(slot)
    if ((w[3] >> 16) == 0x3c0f && (w[2] >> 16) == 0x8df9 && w[1] == 0x03200008 &&
        (w[0] >> 16) == 0x25f8 && (w[2] & 0xffff) == (w[0] & 0xffff)) {
        const uint32_t slot = (w[3] << 16) + uint32_t(int16_t(w[2] & 0xffff));
        const uint32_t index = jump_slot_symbol(slot);
        name_by_symbol(index, {}, false, address - 12);
        name_by_symbol(index, "_got", true, slot);
    }
}

// Reads a stretch of code, a block at a time, for stubs and PLT entries.
void name_stubs_and_plt_entries(const code_stretch& c) {
    constexpr uint32_t chunk = 4096;
    unsigned char bytes[chunk];
    std::array<uint32_t, 5> w{};
    for (uint32_t k = 0; k + 4 <= c.size; k += chunk) {
        const uint32_t n = std::min(chunk, (c.size - k) & ~3u);
        if (!elf_read(*reading, uint64_t(c.offset) + k, bytes, int(n))) break;
        for (uint32_t j = 0; j < n; j += 4) {
            for (size_t m = w.size() - 1; m > 0; --m) w[m] = w[m - 1];
            w[0] = elf_word(*reading, bytes + j);
            // (Most words are no part of one: a stub or an entry ends in an
            // li, ori or addiu of $t8.)
            const uint32_t upper = w[0] >> 16;
            if (upper == 0x2418 || upper == 0x3418 || upper == 0x3718 || upper == 0x25f8)
                name_stub_or_entry(w, c.address + k + j);
        }
    }
}

void name_stubs_and_plt_entries() {
    if (sections_named) {
        for (int i = 0; i < stretch_count; ++i) name_stubs_and_plt_entries(stretches[size_t(i)]);
        return;
    }
    for (int i = 0; i < load_count; ++i) {
        const load& l = loads[size_t(i)];
        if (l.code) name_stubs_and_plt_entries({l.address, l.offset, l.file_size});
    }
}

void enter_import_names() {
    name_global_entries();
    name_stubs_and_plt_entries();
}

} // namespace

void read_dynamic_section(elf_file& file) {
    reset_dynamic_file();
    uint32_t offset = 0, size = 0;
    if (read_program_headers(file, offset, size)) read_dynamic_entries(file, offset, size);
    if (dynamic.present) take_got(file);
    read_sections(file);
}

void read_dynamic_names(elf_file& file) {
    if (!dynamic.symbols) {
        read_elf_map(file.path, true);
    } else {
        reading = &file;
        const elf_dynamic_symbols symbols{dynamic.symtab, dynamic.symtabno, dynamic.strtab,
                                          dynamic.strsz,  in_code,          enter_import_names};
        read_elf_map(file.path, true, nullptr, &symbols);
        reading = nullptr;
    }
    if (settings.gp_value == 0) settings.gp_value = reginfo_gp;
}

void reset_dynamic_file() {
    listed_got = got_layout{};
    load_count = 0;
    dynamic = dynamic_values{};
    reginfo_gp = 0;
    reading = nullptr;
    stretch_count = 0;
    sections_named = false;
}
