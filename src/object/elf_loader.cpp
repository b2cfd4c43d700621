// Checks a MIPS ELF relocatable object and turns it into a memory image file:
// .text at 0x10000000, .data right behind it, the bss as zeros, then the
// global pointer area with one address per symbol. The listing then reads the
// image like a raw dump.
#include "object/elf_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "object/object_symbols.h"
#include "symbols/symbol_table.h"
#include "util/platform.h"
#include "util/run_settings.h"
#include "util/zo.h"

object_layout object{};
object_tables tables{-1, -1, -1, 0, 0, 0, 0, 0};

namespace {

constexpr uint32_t image_base = 0x10000000;
// The bss zeros are written in whole blocks of this many bytes.
constexpr uint64_t zero_block = 1024;

// The section-name table's header, read before the section scan.
section_header names_section{};

// The image file from its creation on; the listing takes it over as input.
FILE* image_stream = nullptr;
bool image_handed_over = false;
bool exit_hook_set = false;

// Where the parts of the image lie in the image file.
struct image_positions {
    uint64_t bss;      // the bss, zeros from here on
    uint64_t zero_end; // end of the zeros
    uint64_t gpa;      // the global pointer area
    bool with_gpa;     // the object has symbols for it
};

[[noreturn]] void image_write_error() {
    zo_message("%s: write error", settings.image_path);
}

// Run by zo_exit on a fatal error once the image file exists: closes and
// removes it. After a normal end the listing has closed the input (it is no
// longer the image stream) and removed the file itself.
void discard_image() {
    if (settings.image_path == nullptr) return;
    if (image_stream != nullptr && (!image_handed_over || settings.input == image_stream)) {
        // The listing must not keep a closed stream as its input.
        if (settings.input == image_stream) settings.input = nullptr;
        std::fclose(image_stream);
    }
    image_stream = nullptr;
    std::remove(settings.image_path);
}

// a + b, noting in wrapped when the sum passes 2^32.
uint32_t add_checked(uint32_t a, uint32_t b, bool& wrapped) {
    if (uint64_t(a) + b > 0xffffffffu) wrapped = true;
    return a + b;
}

// Reads section header index into header and returns its name; writes its
// -D line.
const char* read_section(elf_file& file, int index, section_header& header) {
    header = elf_read_section(file, uint32_t(index));
    const char* name = read_string(file, names_section.offset, header.name).plain;
    if (has_flag(flag::dump_object))
        std::fprintf(stderr, "section %2d: %-20s addr:%5x  size:%5x  type: %x\n", index, name,
                     header.offset, header.size, header.type);
    return name;
}

// Takes section index, named name, into the layout or the tables. Each
// section builds on what the earlier ones left: .text must come before
// .data, and .data before .bss.
void take_section(elf_file& file, int index, const char* name, const section_header& s,
                  image_range& range, bool& wrapped) {
    if (std::strcmp(name, ".text") == 0) {
        tables.text_index = index;
        object.text_start = image_base;
        range.start = image_base;
        object.file_delta = image_base - s.offset;
        range.offset = object.file_delta;
        add_symbol(object.text_start, "BTEXT", nullptr);
        if (!has_flag(flag::no_gpa)) {
            add_symbol(object.text_start, "", "$gp=BGPA");
            add_symbol(object.text_start + 4, "", "$s7=BGPA");
        }
        object.text_end = add_checked(object.text_start, s.size, wrapped);
    } else if (std::strcmp(name, ".data") == 0) {
        if (s.offset != object.text_end - object.file_delta) elf_fault(file, "bad order text/data");
        tables.data_index = index;
        add_symbol(object.text_end, "@BDATA", nullptr);
        object.bss_start = add_checked(object.text_end, s.size, wrapped);
    } else if (std::strcmp(name, ".bss") == 0) {
        tables.bss_index = index;
        add_symbol(object.bss_start, "@BBSS", nullptr);
        object.gpa_start = add_checked(object.bss_start, s.size, wrapped);
        object.gpa_end = object.gpa_start;
        if (!has_flag(flag::no_gpa)) add_symbol(object.gpa_start, "@BGPA", nullptr);
    } else if (std::strcmp(name, ".symtab") == 0) {
        tables.symtab_offset = s.offset;
        tables.symbol_total = s.size / elf::symbol_size;
    } else if (std::strcmp(name, ".strtab") == 0) {
        tables.strtab_offset = s.offset;
    } else if (std::strcmp(name, ".rel.text") == 0) {
        tables.reltab_offset = s.offset;
        tables.relocation_total = s.size / elf::rel_size;
    }
}

// Reads the section headers into the layout and the tables.
void scan_sections(elf_file& file, image_range& range) {
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "Section list:\n");
    names_section = elf_read_section(file, file.header.names_index);
    bool wrapped = false;
    for (int i = 0; i < file.header.section_count; ++i) {
        section_header s;
        const char* name = read_section(file, i, s);
        take_section(file, i, name, s, range, wrapped);
    }
    if (object.text_start == 0 || object.text_end == 0 || object.bss_start == 0 ||
        object.gpa_start == 0)
        elf_fault(file, "text/data/bss segment missing");
    // The image must be one piece in order: section sizes of gigabytes are
    // refused here rather than wrapped around.
    if (wrapped) elf_fault(file, "image too large");
    if (object.bss_start < object.text_end || object.gpa_start < object.bss_start)
        elf_fault(file, "bad order text/data");
}

// Where the parts of the image go; every position written must fit a file
// position.
image_positions place_image(elf_file& file) {
    image_positions at{};
    at.with_gpa = tables.symtab_offset != 0 && tables.strtab_offset != 0;
    const uint64_t text = object.text_start - object.file_delta;
    at.bss = text + (object.bss_start - object.text_start);
    at.gpa = text + (object.gpa_start - object.text_start);
    const uint64_t gpa_end = at.gpa + (at.with_gpa ? 4 * uint64_t(tables.symbol_total) : 0);
    // The bss zeros run on for gpa_start - text_start bytes from bss_start,
    // rounded up to whole blocks; the data display may read that far.
    const uint64_t zero_count =
        (uint64_t(object.gpa_start - object.text_start) + zero_block - 1) / zero_block * zero_block;
    at.zero_end = at.bss + zero_count;
    if (gpa_end > file_position_limit || at.zero_end > file_position_limit + 1)
        elf_fault(file, "image too large");
    return at;
}

// Makes the image file beside the object; it never replaces an existing
// file. From here on a fatal end removes it.
void create_image_file() {
    char* path = zo_strjoin(settings.input_path, "_");
    image_stream = zo_fopen(path, "w+bx");
    start_image(image_stream, image_write_error);
    platform_remove_on_signal(path); // a pipe closed early or Ctrl-C leaves no image behind
    settings.image_path = path;
    zo_set_exit_hook(discard_image);
    exit_hook_set = true;
}

// Writes the image: the object as it is, zeros over the bss, the global
// pointer area, the relocations.
void write_image_file(elf_file& file, const image_positions& at) {
    create_image_file();
    const uint64_t object_length = copy_to_image(file, 0, 0, UINT64_MAX, nullptr);
    // Zeros are written only over the object's own bytes; beyond its end the
    // file is extended by its last byte and the rest reads as zeros.
    if (at.zero_end > at.bss) {
        const uint64_t written_end = std::min(at.zero_end, object_length);
        if (at.bss < written_end) write_image_zeros(at.bss, written_end - at.bss);
        if (at.zero_end > object_length) write_image_zeros(at.zero_end - 1, 1);
    }
    seek_image(at.gpa);
    if (at.with_gpa) {
        write_gpa(file);
        apply_relocations(file);
    }
    // A full disk shows when the buffered writes go out.
    flush_image();
}

} // namespace

void load_relocatable_object(elf_file& file, image_range& range) {
    if (file.header.type != elf::ET_REL) elf_fault(file, "not a relocatable file");
    range.start = 0;
    range.offset = 0;
    elf_check_machine(file);
    elf_check_section_entry_size(file);

    scan_sections(file, range);
    const image_positions at = place_image(file);
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\n");
    write_image_file(file, at);

    hand_over_image();
    image_handed_over = true;
    range.size = int32_t(object.gpa_end - object.text_start);
    sort_symbols();
}

void reset_object_loader() {
    // An image that the listing has not taken over is still the loader's.
    // (After a fatal end the exit hook has closed it already.)
    if (image_stream != nullptr && !image_handed_over) std::fclose(image_stream);
    object = object_layout{};
    tables = object_tables{-1, -1, -1, 0, 0, 0, 0, 0};
    names_section = section_header{};
    image_stream = nullptr;
    image_handed_over = false;
    if (exit_hook_set) zo_set_exit_hook(nullptr);
    exit_hook_set = false;
}
