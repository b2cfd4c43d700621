#include "object/elf_file.h"

#include <algorithm>
#include <cstring>

#include "util/run_settings.h"
#include "util/zo.h"

namespace {

constexpr int block_size = elf_block_size;

// True when position can be read: for the input, within zo_fseek's limit.
bool within_reach(const elf_file& file, uint64_t position) {
    return file.source != elf_source::input || position <= file_position_limit;
}

} // namespace

void elf_open(elf_file& file, FILE* stream, const char* path, elf_source source) {
    file.stream = stream;
    file.path = path;
    file.source = source;
    // The input's positions are checked against zo_fseek's limit (elf_read).
    file.cache.start(stream, source == elf_source::input);
    unsigned char h[elf::header_size];
    if (!elf_read(file, 0, h, elf::header_size)) elf_fault(file, "ELF header read error");
    file.little = h[elf::EI_DATA] == elf::ELFDATA2LSB ||
                  (source == elf_source::input && has_flag(flag::little_endian));
    elf_header& header = file.header;
    std::memcpy(header.ident, h, elf::EI_NIDENT);
    // 16 e_type, 18 e_machine, 20 e_version, 24 e_entry, 28 e_phoff,
    // 32 e_shoff, 36 e_flags, 40 e_ehsize, 42 e_phentsize, 44 e_phnum,
    // 46 e_shentsize, 48 e_shnum, 50 e_shstrndx
    header.type = elf_half(file, h + 16);
    header.machine = elf_half(file, h + 18);
    header.version = elf_word(file, h + 20);
    header.entry = elf_word(file, h + 24);
    header.program_table = elf_word(file, h + 28);
    header.section_table = elf_word(file, h + 32);
    header.header_size = elf_half(file, h + 40);
    header.program_entry_size = elf_half(file, h + 42);
    header.program_count = elf_half(file, h + 44);
    header.section_entry_size = elf_half(file, h + 46);
    header.section_count = elf_half(file, h + 48);
    header.names_index = elf_half(file, h + 50);
}

void elf_forget(elf_file& file) {
    file.stream = nullptr;
    file.path = nullptr;
    file.source = elf_source::input;
    file.little = false;
    file.header = elf_header{};
    file.cache.start(nullptr, false);
}

bool elf_magic(const elf_header& header) {
    return std::memcmp(header.ident,
                       "\x7f"
                       "ELF",
                       4) == 0;
}

void elf_check_ident(const elf_file& file) {
    const unsigned char* ident = file.header.ident;
    if (ident[elf::EI_CLASS] != elf::ELFCLASS32) elf_fault(file, "not a 32-bit object");
    // Read little endian although it says big: the input under -LE.
    if (ident[elf::EI_DATA] == elf::ELFDATA2MSB && file.little)
        elf_fault(file, "big endian object");
    if (ident[elf::EI_DATA] != elf::ELFDATA2LSB && ident[elf::EI_DATA] != elf::ELFDATA2MSB)
        elf_fault(file, "not a little nor big endian object");
    if (ident[elf::EI_VERSION] != elf::EV_CURRENT || file.header.version != elf::EV_CURRENT)
        elf_fault(file, "not a current ELF version");
}

void elf_check_machine(const elf_file& file) {
    if (file.header.machine != elf::EM_MIPS) elf_fault(file, "not a MIPS object");
    if (file.header.header_size != elf::header_size) elf_fault(file, "bad ELF header size");
}

void elf_check_section_entry_size(const elf_file& file) {
    if (file.header.section_entry_size != elf::section_header_size)
        elf_fault(file, "bad section header size");
}

void elf_fault(const elf_file& file, const char* what) {
    zo_message("%s: %s", file.path, what);
}

bool elf_read(elf_file& file, uint64_t position, void* buffer, int count) {
    if (!within_reach(file, position)) return false;
    return count <= 0 || file.cache.read(position, static_cast<unsigned char*>(buffer), count);
}

void elf_read(elf_file& file, uint64_t position, void* buffer, int count, const char* what) {
    if (!elf_read(file, position, buffer, count)) elf_fault(file, what);
}

uint64_t elf_file_length(elf_file& file) {
    if (std::fseek(file.stream, 0, SEEK_END) != 0) zo_error(zo_fname(file.stream), "*fseek error");
    const long length = std::ftell(file.stream);
    return std::min<uint64_t>(length < 0 ? 0 : uint64_t(length), file_position_limit);
}

section_header elf_read_section(elf_file& file, uint32_t index) {
    unsigned char b[elf::section_header_size];
    elf_read(file, file.header.section_table + uint64_t(elf::section_header_size) * index, b,
             elf::section_header_size, "section header read error");
    // 0 sh_name, 4 sh_type, 8 sh_flags, 12 sh_addr, 16 sh_offset, 20 sh_size,
    // 24 sh_link, 28 sh_info, 32 sh_addralign
    return {elf_word(file, b),      elf_word(file, b + 4),  elf_word(file, b + 8),
            elf_word(file, b + 12), elf_word(file, b + 16), elf_word(file, b + 20),
            elf_word(file, b + 24), elf_word(file, b + 28), elf_word(file, b + 32)};
}

program_header elf_read_program(elf_file& file, uint32_t index) {
    unsigned char p[elf::program_header_size];
    elf_read(file, file.header.program_table + uint64_t(elf::program_header_size) * index, p,
             elf::program_header_size, "program header read error");
    // 0 p_type, 4 p_offset, 8 p_vaddr, 12 p_paddr, 16 p_filesz, 20 p_memsz, 24 p_flags
    return {elf_word(file, p),      elf_word(file, p + 4),  elf_word(file, p + 8),
            elf_word(file, p + 16), elf_word(file, p + 20), elf_word(file, p + 24)};
}

elf_symbol elf_read_symbol(elf_file& file, uint32_t table_offset, uint32_t index) {
    unsigned char e[elf::symbol_size];
    elf_read(file, table_offset + uint64_t(elf::symbol_size) * index, e, elf::symbol_size,
             "symbol read error");
    // 0 st_name, 4 st_value, 8 st_size, 12 st_info, 13 st_other, 14 st_shndx
    return {elf_word(file, e), elf_word(file, e + 4), elf_word(file, e + 8), e[12],
            elf_half(file, e + 14)};
}

elf_relocation elf_read_relocation(elf_file& file, uint32_t table_offset, uint32_t index,
                                   bool with_addend) {
    const int size = with_addend ? elf::rela_size : elf::rel_size;
    unsigned char e[elf::rela_size];
    elf_read(file, table_offset + uint64_t(size) * index, e, size, "relocation read error");
    // 0 r_offset, 4 r_info, 8 r_addend
    return {elf_word(file, e), elf_word(file, e + 4),
            with_addend ? int32_t(elf_word(file, e + 8)) : 0};
}

int elf_text(elf_file& file, uint64_t position, uint64_t available, int limit, char* text,
             const char* missing) {
    const uint64_t wanted = std::min<uint64_t>(available, uint64_t(limit));
    int length = 0;
    // A name is read a byte at a time up to its terminator, from the blocks
    // themselves.
    int64_t number = int64_t(position / block_size);
    int at = int(position % block_size);
    int block_length = 0;
    const unsigned char* block = nullptr;
    while (uint64_t(length) < wanted) {
        if (block == nullptr || at == block_length) {
            // The first block, or the one after a whole block. Past a short
            // block, or at a position beyond it, lies the end of the file.
            if (block != nullptr && block_length == block_size) {
                ++number;
                at = 0;
                block = nullptr;
            }
            if (block == nullptr &&
                within_reach(file, uint64_t(number) * block_size + uint64_t(at)))
                block = file.cache.block(number, block_length);
            if (block == nullptr || at >= block_length) {
                if (missing != nullptr) elf_fault(file, missing);
                break;
            }
        }
        const unsigned char c = block[at++];
        if (c == 0) break;
        text[length++] = char(c);
    }
    text[length] = 0;
    return length;
}

std::string_view elf_name(elf_file& file, const section_header& strings, uint32_t name_offset,
                          int limit, char* text, const char* what) {
    if (name_offset >= strings.size)
        zo_message("%s: %s name beyond the string table", file.path, what);
    // Never more than the table holds, nor more than a name can keep.
    const int n = int(std::min<uint32_t>(strings.size - name_offset, uint32_t(limit) + 1));
    elf_read(file, uint64_t(strings.offset) + name_offset, text, n, "symbol read error");
    if (const void* end = std::memchr(text, 0, size_t(n)))
        return {text, size_t(static_cast<const char*>(end) - text)};
    if (n <= limit) zo_message("%s: %s name without terminator", file.path, what);
    return {text, size_t(limit)};
}
