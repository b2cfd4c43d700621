// Lists an ELF executable at its own addresses: the loadable parts of its
// memory are copied, a block at a time, into a temporary file without a name
// that the listing then reads as a raw dump whose offset is the lowest
// address; the space between them is zeros there and marked as not to be
// listed. Names come from the file's symbol table and section headers, read
// as a map.
#include "object/elf_executable.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "object/elf_loader.h"
#include "object/elf_map.h"
#include "object/image_file.h"
#include "util/address_gaps.h"
#include "util/run_settings.h"
#include "util/zo.h"

executable_image executable{};

namespace {

constexpr int program_header_size = 32;
constexpr int section_header_size = 40;
constexpr uint32_t segment_loadable = 1;    // PT_LOAD
constexpr uint32_t section_no_bits = 8;     // SHT_NOBITS: zeros in memory, nothing in the file
constexpr uint32_t section_allocated = 0x2; // SHF_ALLOC
// Beyond this much space between its parts in all, an executable's image is
// only the part around the start.
constexpr uint64_t far_apart = uint64_t(16) << 20;
// File positions go through zo_fseek's signed 32-bit offset.
constexpr uint64_t position_limit = 0x7fffffff;

// A stretch of memory and the file bytes it begins with.
struct segment {
    uint32_t address;   // p_vaddr or sh_addr
    uint64_t end;       // address + the larger of the memory and file sizes
    uint32_t offset;    // file offset of its bytes
    uint32_t file_size; // bytes from the file; zeros follow up to end
};

constexpr int segment_capacity = gap_list::capacity + 1;
// By address; the order of the file among equal addresses.
std::array<segment, segment_capacity> segments;
int segment_count = 0;
uint64_t input_length = 0;
// The image file until the listing takes it over as its input.
FILE* unfinished_image = nullptr;

[[noreturn]] void executable_fault(const char* what) {
    zo_message("%s: %s", settings.input_path, what);
}

void add_segment(uint32_t address, uint32_t memory_size, uint32_t offset, uint32_t file_size) {
    if (uint64_t(offset) + file_size > input_length)
        executable_fault("segment beyond the end of the file");
    const uint32_t size = std::max(memory_size, file_size);
    if (size == 0) return;
    if (uint64_t(address) + size > uint64_t(1) << 32) executable_fault("image too large");
    if (segment_count == segment_capacity) executable_fault("too many segments");
    int i = segment_count++;
    for (; i > 0 && segments[i - 1].address > address; --i) segments[i] = segments[i - 1];
    segments[i] = {address, uint64_t(address) + size, offset, file_size};
}

void read_program_headers(uint32_t table, uint16_t entry_size, uint16_t count) {
    if (entry_size != program_header_size) executable_fault("bad program header size");
    for (uint16_t i = 0; i < count; ++i) {
        unsigned char p[program_header_size];
        if (!read_object_at(uint64_t(table) + uint64_t(program_header_size) * i, p,
                            program_header_size))
            executable_fault("program header read error");
        // 0 p_type, 4 p_offset, 8 p_vaddr, 12 p_paddr, 16 p_filesz, 20 p_memsz
        if (object_word(p) == segment_loadable)
            add_segment(object_word(p + 8), object_word(p + 20), object_word(p + 4),
                        object_word(p + 16));
    }
}

// Without program headers the allocated sections are the memory.
void read_allocated_sections(uint32_t table, uint16_t entry_size, uint16_t count) {
    if (count != 0 && entry_size != section_header_size)
        executable_fault("bad section header size");
    for (uint16_t i = 1; i < count; ++i) {
        unsigned char s[section_header_size];
        if (!read_object_at(uint64_t(table) + uint64_t(section_header_size) * i, s,
                            section_header_size))
            executable_fault("section header read error");
        // 4 sh_type, 8 sh_flags, 12 sh_addr, 16 sh_offset, 20 sh_size
        if (!(object_word(s + 8) & section_allocated)) continue;
        const uint32_t size = object_word(s + 20);
        const bool bytes = object_word(s + 4) != section_no_bits;
        add_segment(object_word(s + 12), size, bytes ? object_word(s + 16) : 0, bytes ? size : 0);
    }
}

// The segments [first, last) that the image holds, with the space between
// them: all of them, unless that space is too much. Then those that touch or
// overlap the first one that ends after anchor (or the last one).
void choose_image(uint32_t anchor, int& first, int& last) {
    uint64_t space = 0, end = segments[0].end;
    for (int i = 1; i < segment_count; ++i) {
        if (segments[i].address > end) space += segments[i].address - end;
        end = std::max(end, segments[i].end);
    }
    first = 0;
    last = segment_count;
    if (space <= far_apart) return;
    // Runs of touching segments, each one piece of memory.
    int start = 0;
    end = segments[0].end;
    for (int i = 1; i <= segment_count; ++i) {
        if (i < segment_count && segments[i].address <= end) {
            end = std::max(end, segments[i].end);
            continue;
        }
        first = start;
        last = i;
        if (end > anchor) return;
        if (i < segment_count) {
            start = i;
            end = segments[i].end;
        }
    }
}

// The space between the chosen segments, on the word grid, as gaps.
void mark_gaps(int first, int last) {
    listed_gaps.count = 0;
    uint64_t end = segments[first].end;
    for (int i = first + 1; i < last; ++i) {
        const uint64_t gap_start = (end + 3) & ~uint64_t(3);
        const uint32_t gap_end = segments[i].address & ~uint32_t(3);
        if (gap_start < gap_end)
            listed_gaps.gaps[listed_gaps.count++] = {uint32_t(gap_start), gap_end};
        end = std::max(end, segments[i].end);
    }
}

} // namespace

void load_executable(const unsigned char* h) {
    const uint32_t entry = object_word(h + 24);
    const uint32_t program_table = object_word(h + 28), section_table = object_word(h + 32);
    const uint16_t program_entry_size = object_half(h + 42), program_count = object_half(h + 44);
    const uint16_t section_entry_size = object_half(h + 46), section_count = object_half(h + 48);

    FILE* input = settings.input;
    input_length = input_file_length();

    segment_count = 0;
    if (program_count != 0)
        read_program_headers(program_table, program_entry_size, program_count);
    else
        read_allocated_sections(section_table, section_entry_size, section_count);
    if (segment_count == 0) executable_fault("no loadable segment");

    int first = 0, last = 0;
    choose_image(settings.start != 0 ? settings.start : entry, first, last);
    const uint32_t start = segments[first].address;
    uint64_t end = 0;
    for (int i = first; i < last; ++i) end = std::max(end, segments[i].end);
    if (end - start + image_tail > position_limit) executable_fault("image too large");
    mark_gaps(first, last);

    // Names first: the map reader opens the file by its path once more.
    read_elf_map(settings.input_path, true);

    FILE* image = open_image_file();
    unfinished_image = image;
    // (An input that ends early has been refused already.)
    for (int i = first; i < last; ++i) {
        const segment& s = segments[i];
        if (s.file_size != 0)
            copy_to_image(image, s.address - start, s.offset, s.file_size, "read error");
    }
    end_image_file(image, end - start);

    settings.input = nullptr;
    zo_fclose(input);
    settings.input = image;
    unfinished_image = nullptr;
    settings.offset = start;
    executable = {true, start, end};
}

void reset_executable() {
    // (A fatal message while the image was made leaves it open; the end of
    // the program would close it.)
    if (unfinished_image != nullptr) std::fclose(unfinished_image);
    unfinished_image = nullptr;
    executable = executable_image{};
    segment_count = 0;
    input_length = 0;
    reset_address_gaps();
}
