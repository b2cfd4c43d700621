// Reads the header of the input and hands an ELF file to its loader, after
// the checks every loader shares; -D shows the header before any of them.
#include "object/object_input.h"

#include <array>
#include <cstdio>

#include "object/elf_executable.h"
#include "object/elf_file.h"
#include "object/elf_loader.h"
#include "object/linked_object.h"
#include "util/run_settings.h"

namespace {

// The input while it is loaded.
elf_file input{};

struct value_name {
    int value;
    const char* name;
};

// Names of the -D header description.
constexpr std::array<value_name, 2> class_names{
    {{elf::ELFCLASS32, "32-bit object"}, {elf::ELFCLASS64, "64-bit object"}}};
constexpr std::array<value_name, 2> data_names{
    {{elf::ELFDATA2LSB, "Little endian"}, {elf::ELFDATA2MSB, "Big endian"}}};
constexpr std::array<value_name, 9> os_abi_names{{{elf::ELFOSABI_NONE, "None / UNIX System V"},
                                                  {elf::ELFOSABI_HPUX, "HP-UX"},
                                                  {elf::ELFOSABI_NETBSD, "NetBSD"},
                                                  {elf::ELFOSABI_LINUX, "Linux"},
                                                  {elf::ELFOSABI_SOLARIS, "Sun Solaris"},
                                                  {elf::ELFOSABI_AIX, "IBM AIX"},
                                                  {elf::ELFOSABI_IRIX, "SGI Irix"},
                                                  {elf::ELFOSABI_FREEBSD, "FreeBSD"},
                                                  {elf::ELFOSABI_OPENBSD, "OpenBSD"}}};
constexpr std::array<value_name, 3> file_type_names{
    {{elf::ET_REL, "Relocatable"}, {elf::ET_EXEC, "Executable"}, {elf::ET_DYN, "Shared object"}}};
constexpr std::array<value_name, 5> machine_names{{{elf::EM_386, "i386"},
                                                   {elf::EM_68K, "M68000"},
                                                   {elf::EM_SPARC, "SPARC"},
                                                   {elf::EM_MIPS, "MIPS"},
                                                   {elf::EM_PPC, "PowerPC"}}};

template <size_t n> const char* name_of(const std::array<value_name, n>& names, int value) {
    for (const value_name& entry : names)
        if (entry.value == value) return entry.name;
    return "unknown";
}

void dump_header(const elf_header& header) {
    const unsigned char* ident = header.ident;
    const int file_class = ident[elf::EI_CLASS], data = ident[elf::EI_DATA];
    const int os_abi = ident[elf::EI_OSABI];
    std::fprintf(stderr, "ELF header:\n");
    std::fprintf(stderr, "Class: %d (%s)\n", file_class, name_of(class_names, file_class));
    std::fprintf(stderr, "Data: %d (%s)\n", data, name_of(data_names, data));
    std::fprintf(stderr, "Version: %d\n", ident[elf::EI_VERSION]);
    std::fprintf(stderr, "OS ABI: %d (%s)\n", os_abi, name_of(os_abi_names, os_abi));
    std::fprintf(stderr, "ABI Version: %d\n", ident[elf::EI_ABIVERSION]);
    std::fprintf(stderr, "File Type: %d (%s)\n", header.type,
                 name_of(file_type_names, header.type));
    std::fprintf(stderr, "Machine: %d (%s)\n", header.machine,
                 name_of(machine_names, header.machine));
    std::fprintf(stderr, "\n");
}

} // namespace

void load_object(uint32_t& start, uint32_t& offset, int32_t& size) {
    elf_open(input, settings.input, settings.input_path, elf_source::input);
    if (!elf_magic(input.header)) {
        elf_forget(input);
        return;
    }
    const elf_header& header = input.header;
    if (header.ident[elf::EI_DATA] == elf::ELFDATA2LSB) settings.flags |= flag::little_endian;
    if (has_flag(flag::dump_object)) dump_header(header);
    elf_check_ident(input);

    image_range range{start, offset, size};
    if (has_flag(flag::elf_image) &&
        (header.type == elf::ET_REL || header.type == elf::ET_EXEC || header.type == elf::ET_DYN)) {
        elf_check_machine(input);
        if (header.type != elf::ET_REL)
            load_executable(input, range);
        else
            load_linked_object(input, range);
    } else {
        load_relocatable_object(input, range);
    }
    elf_forget(input);
    start = range.start;
    offset = range.offset;
    size = range.size;
}

void reset_object_input() {
    elf_forget(input);
}
