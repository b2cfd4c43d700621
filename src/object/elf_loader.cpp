// Checks a MIPS ELF relocatable object and turns it into a memory image file:
// .text at 0x10000000, .data right behind it, the bss as zeros, then the
// global pointer area with one address per symbol. The listing then reads the
// image like a raw dump.
#include "object/elf_loader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "object/elf_executable.h"
#include "object/linked_object.h"
#include "object/object_symbols.h"
#include "symbols/symbol_table.h"
#include "util/block_cache.h"
#include "util/patch_cache.h"
#include "util/platform.h"
#include "util/run_settings.h"
#include "util/zo.h"

object_layout object{};
object_tables tables{-1, -1, -1, 0, 0, 0, 0, 0};

namespace {

constexpr uint32_t image_base = 0x10000000;
constexpr int elf_header_size = 52;
constexpr int section_header_size = 40;
constexpr int name_limit = 48;
constexpr int copy_block = 1024;
// File positions go through zo_fseek's signed 32-bit offset, where a negative
// value would count from the end of the file.
constexpr uint64_t position_limit = 0x7fffffff;

// The text of read_string: '@', up to 48 characters, terminator.
char string_text[1 + name_limit + 1];
// Zeros for the bss.
const unsigned char zero_block[copy_block] = {};

// The section-name table's header, read before the section scan.
section_header names_section{};
// e_shoff: file offset of the section header table.
uint32_t section_table_offset = 0;

// The image file from its creation on; the listing takes it over as input.
FILE* image_stream = nullptr;
bool image_handed_over = false;
bool exit_hook_set = false;

// ---- reading the object through a few kept blocks --------------------------
//
// The symbol of every relocation, and the name of every symbol, sit elsewhere
// in the file than the table being walked; read straight from the stream,
// each would cost a seek, which throws the stream's buffer away. While an
// object is loaded its reads go through these blocks instead, the least
// recently used giving way. The object does not change while it is loaded.
constexpr int cache_block_size = 4096;
block_cache<cache_block_size, 16> cache;
// The object being loaded; null outside load_object, where reads go to the
// stream directly.
FILE* cached_object = nullptr;

void start_cache(FILE* stream) {
    // Every position read lies within zo_fseek's limit (checked by the callers).
    cache.start(stream, true);
    cached_object = stream;
}

// ---- patches of the image --------------------------------------------------
//
// The relocations patch two bytes each, mostly in ascending order: one block
// of the image held at a time serves them.
patch_cache<16384, 1> patches;

struct value_name {
    int value;
    const char* name;
};

// Names of the -D header description.
constexpr std::array<value_name, 2> class_names{{{1, "32-bit object"}, {2, "64-bit object"}}};
constexpr std::array<value_name, 2> data_names{{{1, "Little endian"}, {2, "Big endian"}}};
constexpr std::array<value_name, 9> os_abi_names{{{0, "None / UNIX System V"},
                                                  {1, "HP-UX"},
                                                  {2, "NetBSD"},
                                                  {3, "Linux"},
                                                  {6, "Sun Solaris"},
                                                  {7, "IBM AIX"},
                                                  {8, "SGI Irix"},
                                                  {9, "FreeBSD"},
                                                  {12, "OpenBSD"}}};
constexpr std::array<value_name, 3> file_type_names{
    {{1, "Relocatable"}, {2, "Executable"}, {3, "Shared object"}}};
constexpr std::array<value_name, 5> machine_names{
    {{3, "i386"}, {4, "M68000"}, {2, "SPARC"}, {8, "MIPS"}, {20, "PowerPC"}}};

template <size_t n> const char* name_of(const std::array<value_name, n>& names, int value) {
    for (const value_name& entry : names)
        if (entry.value == value) return entry.name;
    return "unknown";
}

[[noreturn]] void input_fault(const char* what) {
    zo_message("%s: %s", settings.input_path, what);
}

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

void dump_header(const unsigned char* ident, uint16_t type, uint16_t machine) {
    std::fprintf(stderr, "ELF header:\n");
    std::fprintf(stderr, "Class: %d (%s)\n", ident[4], name_of(class_names, ident[4]));
    std::fprintf(stderr, "Data: %d (%s)\n", ident[5], name_of(data_names, ident[5]));
    std::fprintf(stderr, "Version: %d\n", ident[6]);
    std::fprintf(stderr, "OS ABI: %d (%s)\n", ident[7], name_of(os_abi_names, ident[7]));
    std::fprintf(stderr, "ABI Version: %d\n", ident[8]);
    std::fprintf(stderr, "File Type: %d (%s)\n", type, name_of(file_type_names, type));
    std::fprintf(stderr, "Machine: %d (%s)\n", machine, name_of(machine_names, machine));
    std::fprintf(stderr, "\n");
}

// a + b, noting in wrapped when the sum passes 2^32.
uint32_t add_checked(uint32_t a, uint32_t b, bool& wrapped) {
    if (uint64_t(a) + b > 0xffffffffu) wrapped = true;
    return a + b;
}

// Writes count zero bytes at the image file's position.
void write_zeros(uint64_t count) {
    while (count > 0) {
        int block = int(std::min<uint64_t>(count, copy_block));
        write_image(zero_block, block);
        count -= uint64_t(block);
    }
}

// Copies the whole object into the newly made image file; returns its length.
uint64_t copy_object() {
    unsigned char buffer[copy_block];
    uint64_t length = 0;
    zo_fseek(settings.input, 0);
    for (;;) {
        int got = zo_fread(settings.input, copy_block, buffer);
        if (got <= 0) return length;
        write_image(buffer, got);
        length += uint64_t(got);
    }
}

} // namespace

bool read_object_at(uint64_t position, void* buffer, int count) {
    if (position > position_limit) return false;
    if (cached_object != nullptr && cached_object == settings.input)
        return count <= 0 || cache.read(position, static_cast<unsigned char*>(buffer), count);
    zo_fseek(settings.input, int32_t(position));
    return zo_fread(settings.input, count, buffer) == count;
}

void seek_image(uint64_t position) {
    // Every position the loader writes at was checked against the limit when
    // the layout was accepted.
    zo_fseek(image_stream, int32_t(std::min(position, position_limit)));
}

void write_image(const void* bytes, int count) {
    if (int(std::fwrite(bytes, 1, size_t(count), image_stream)) != count) image_write_error();
}

void patch_image(uint64_t position, const void* bytes, int count) {
    patches.patch(position, static_cast<const unsigned char*>(bytes), count);
}

void finish_image_patches() {
    patches.finish();
}

object_name read_string(uint32_t table_offset, uint32_t name_offset) {
    char* text = string_text;
    text[0] = '@';
    int length = 0;
    uint64_t position = uint64_t(table_offset) + name_offset;
    if (position <= position_limit && cached_object != nullptr && cached_object == settings.input) {
        // Ends at the terminator, at 48 characters or at the end of the file.
        int64_t number = int64_t(position / cache_block_size);
        int at = int(position % cache_block_size);
        int block_length = 0;
        const unsigned char* block = cache.block(number, block_length);
        while (length < name_limit) {
            if (at == block_length) {
                if (block_length < cache_block_size) break; // the end of the file
                block = cache.block(++number, block_length);
                at = 0;
                if (block_length == 0) break;
            }
            unsigned char c = block[at++];
            if (c == 0) break;
            text[1 + length++] = char(c);
        }
    } else if (position <= position_limit) {
        zo_fseek(settings.input, int32_t(position));
        // Ends at the terminator, at 48 characters or at the end of the file.
        while (length < name_limit) {
            int c = std::getc(settings.input);
            if (c == EOF || c == 0) break;
            text[1 + length++] = char(c);
        }
    }
    text[1 + length] = 0;
    return {text + 1, text};
}

const char* read_section_header(int index, section_header& header, bool dump_line) {
    unsigned char bytes[section_header_size];
    uint64_t position = section_table_offset + uint64_t(section_header_size) * uint64_t(index);
    if (!read_object_at(position, bytes, section_header_size))
        input_fault("section header read error");
    header.name_offset = object_word(bytes);
    header.type = object_word(bytes + 4);
    header.offset = object_word(bytes + 16);
    header.size = object_word(bytes + 20);
    const char* name = read_string(names_section.offset, header.name_offset).plain;
    if (dump_line && has_flag(flag::dump_object))
        std::fprintf(stderr, "section %2d: %-20s addr:%5x  size:%5x  type: %x\n", index, name,
                     header.offset, header.size, header.type);
    return name;
}

void load_object(uint32_t& start, uint32_t& offset, int32_t& size) {
    unsigned char h[elf_header_size];
    zo_fseek(settings.input, 0);
    if (zo_fread(settings.input, elf_header_size, h) < elf_header_size)
        input_fault("ELF header read error");
    if (std::memcmp(h,
                    "\x7f"
                    "ELF",
                    4) != 0)
        return;
    start_cache(settings.input);

    // 0..15 ident: 4 class, 5 data, 6 version, 7 OS ABI, 8 ABI version
    const uint8_t elf_class = h[4], elf_data = h[5], elf_version = h[6];
    if (elf_data == 1) settings.flags |= flag::little_endian;
    const uint16_t type = object_half(h + 16), machine = object_half(h + 18);
    const uint32_t version = object_word(h + 20);
    section_table_offset = object_word(h + 32);
    const uint16_t header_size = object_half(h + 40), entry_size = object_half(h + 46);
    const uint16_t section_count = object_half(h + 48), names_index = object_half(h + 50);

    if (has_flag(flag::dump_object)) dump_header(h, type, machine);

    if (elf_class != 1) input_fault("not a 32-bit object");
    if (elf_data == 2 && has_flag(flag::little_endian)) input_fault("big endian object");
    if (elf_data != 1 && elf_data != 2) input_fault("not a little nor big endian object");
    if (elf_version != 1 || version != 1) input_fault("not a current ELF version");
    if (has_flag(flag::elf_image) && (type == 1 || type == 2)) {
        if (machine != 8) input_fault("not a MIPS object");
        if (header_size != elf_header_size) input_fault("bad ELF header size");
        if (type == 2) {
            // The range stays as given: it is one of the executable's addresses.
            load_executable(h);
            offset = settings.offset;
        } else {
            load_linked_object(h, start, offset, size);
        }
        cached_object = nullptr;
        return;
    }
    if (type != 1) input_fault("not a relocatable file");
    start = 0;
    offset = 0;
    if (machine != 8) input_fault("not a MIPS object");
    if (header_size != elf_header_size) input_fault("bad ELF header size");
    if (entry_size != section_header_size) input_fault("bad section header size");

    if (has_flag(flag::dump_object)) std::fprintf(stderr, "Section list:\n");
    read_section_header(names_index, names_section, false);

    // Each section builds on what the earlier ones left: .text must come
    // before .data, and .data before .bss.
    bool wrapped = false;
    for (int i = 0; i < section_count; ++i) {
        section_header s;
        const char* name = read_section_header(i, s);
        if (std::strcmp(name, ".text") == 0) {
            tables.text_index = i;
            object.text_start = image_base;
            start = image_base;
            object.file_delta = image_base - s.offset;
            offset = object.file_delta;
            add_symbol(object.text_start, "BTEXT", nullptr);
            if (!has_flag(flag::no_gpa)) {
                add_symbol(object.text_start, "", "$gp=BGPA");
                add_symbol(object.text_start + 4, "", "$s7=BGPA");
            }
            object.text_end = add_checked(object.text_start, s.size, wrapped);
        } else if (std::strcmp(name, ".data") == 0) {
            if (s.offset != object.text_end - object.file_delta) input_fault("bad order text/data");
            tables.data_index = i;
            add_symbol(object.text_end, "@BDATA", nullptr);
            object.bss_start = add_checked(object.text_end, s.size, wrapped);
        } else if (std::strcmp(name, ".bss") == 0) {
            tables.bss_index = i;
            add_symbol(object.bss_start, "@BBSS", nullptr);
            object.gpa_start = add_checked(object.bss_start, s.size, wrapped);
            object.gpa_end = object.gpa_start;
            if (!has_flag(flag::no_gpa)) add_symbol(object.gpa_start, "@BGPA", nullptr);
        } else if (std::strcmp(name, ".symtab") == 0) {
            tables.symtab_offset = s.offset;
            tables.symbol_total = s.size / 16;
        } else if (std::strcmp(name, ".strtab") == 0) {
            tables.strtab_offset = s.offset;
        } else if (std::strcmp(name, ".rel.text") == 0) {
            tables.reltab_offset = s.offset;
            tables.relocation_total = s.size / 8;
        }
    }
    if (object.text_start == 0 || object.text_end == 0 || object.bss_start == 0 ||
        object.gpa_start == 0)
        input_fault("text/data/bss segment missing");

    // The image must be one piece in order, and every position written must
    // fit a file position: section sizes of gigabytes are refused here rather
    // than wrapped around.
    if (wrapped) input_fault("image too large");
    if (object.bss_start < object.text_end || object.gpa_start < object.bss_start)
        input_fault("bad order text/data");
    const bool with_gpa = tables.symtab_offset != 0 && tables.strtab_offset != 0;
    const uint64_t text_position = object.text_start - object.file_delta;
    const uint64_t bss_position = text_position + (object.bss_start - object.text_start);
    const uint64_t gpa_position = text_position + (object.gpa_start - object.text_start);
    const uint64_t gpa_end_position =
        gpa_position + (with_gpa ? 4 * uint64_t(tables.symbol_total) : 0);
    // The bss zeros run on for gpa_start - text_start bytes from bss_start,
    // rounded up to whole blocks; the data display may read that far.
    const uint64_t zero_count =
        (uint64_t(object.gpa_start - object.text_start) + copy_block - 1) / copy_block * copy_block;
    const uint64_t zero_end = bss_position + zero_count;
    if (gpa_end_position > position_limit || zero_end > position_limit + 1)
        input_fault("image too large");

    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\n");

    // The image file never replaces an existing file.
    char* path = zo_strjoin(settings.input_path, "_");
    image_stream = zo_fopen(path, "w+bx");
    patches.start(image_stream, image_write_error);
    platform_remove_on_signal(path); // a pipe closed early or Ctrl-C leaves no image behind
    settings.image_path = path;
    zo_set_exit_hook(discard_image);
    exit_hook_set = true;

    const uint64_t object_length = copy_object();
    // Zeros are written only over the object's own bytes; beyond its end the
    // file is extended by its last byte and the rest reads as zeros.
    if (zero_end > bss_position) {
        const uint64_t written_end = std::min(zero_end, object_length);
        if (bss_position < written_end) {
            seek_image(bss_position);
            write_zeros(written_end - bss_position);
        }
        if (zero_end > object_length) {
            seek_image(zero_end - 1);
            write_zeros(1);
        }
    }
    seek_image(gpa_position);

    if (with_gpa) {
        write_gpa();
        apply_relocations();
    }
    // A full disk shows when the buffered writes go out.
    if (std::fflush(image_stream) != 0) image_write_error();

    cached_object = nullptr;
    zo_fclose(settings.input);
    settings.input = image_stream;
    image_handed_over = true;
    size = int32_t(object.gpa_end - object.text_start);
    sort_symbols();
}

void reset_object_loader() {
    object = object_layout{};
    tables = object_tables{-1, -1, -1, 0, 0, 0, 0, 0};
    names_section = section_header{};
    section_table_offset = 0;
    image_stream = nullptr;
    image_handed_over = false;
    cached_object = nullptr;
    patches.start(nullptr, nullptr);
    string_text[0] = 0;
    if (exit_hook_set) zo_set_exit_hook(nullptr);
    exit_hook_set = false;
}
