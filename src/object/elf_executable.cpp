// Lists an ELF executable at its own addresses: the loadable parts of its
// memory are copied, a block at a time, into a temporary file without a name
// that the listing then reads as a raw dump whose offset is the lowest
// address; the space between them is zeros there and marked as not to be
// listed. Names come from the file's symbol table and section headers, read
// as a map.
#include "object/elf_executable.h"

#include <algorithm>
#include <array>

#include "object/dynamic_file.h"
#include "util/address_gaps.h"

executable_image executable{};

namespace {

// Beyond this much space between its parts in all, an executable's image is
// only the part around the start.
constexpr uint64_t far_apart = uint64_t(16) << 20;

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

// The code stretches, kept until the image is made.
std::array<code_range, code_range_capacity> code_ranges{};
int code_range_count = 0;

void add_segment(const elf_file& file, uint32_t address, uint32_t memory_size, uint32_t offset,
                 uint32_t file_size, bool code) {
    if (uint64_t(offset) + file_size > input_length)
        elf_fault(file, "segment beyond the end of the file");
    const uint32_t size = std::max(memory_size, file_size);
    if (size == 0) return;
    if (uint64_t(address) + size > uint64_t(1) << 32) elf_fault(file, "image too large");
    if (segment_count == segment_capacity) elf_fault(file, "too many segments");
    if (code && code_range_count < code_range_capacity)
        code_ranges[size_t(code_range_count++)] = {address, uint64_t(address) + size};
    int i = segment_count++;
    for (; i > 0 && segments[i - 1].address > address; --i) segments[i] = segments[i - 1];
    segments[i] = {address, uint64_t(address) + size, offset, file_size};
}

void read_program_headers(elf_file& file) {
    if (file.header.program_entry_size != elf::program_header_size)
        elf_fault(file, "bad program header size");
    for (uint32_t i = 0; i < file.header.program_count; ++i) {
        const program_header p = elf_read_program(file, i);
        if (p.type == elf::PT_LOAD)
            add_segment(file, p.address, p.memory_size, p.offset, p.file_size,
                        (p.flags & elf::PF_X) != 0);
    }
}

// Without program headers the allocated sections are the memory.
void read_allocated_sections(elf_file& file) {
    if (file.header.section_count != 0) elf_check_section_entry_size(file);
    for (uint32_t i = 1; i < file.header.section_count; ++i) {
        const section_header s = elf_read_section(file, i);
        if (!(s.flags & elf::SHF_ALLOC)) continue;
        const bool bytes = s.type != elf::SHT_NOBITS;
        add_segment(file, s.address, s.size, bytes ? s.offset : 0, bytes ? s.size : 0,
                    (s.flags & elf::SHF_EXECINSTR) != 0);
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

void load_executable(elf_file& file, image_range& range) {
    input_length = elf_file_length(file);
    segment_count = 0;
    code_range_count = 0;
    if (file.header.program_count != 0)
        read_program_headers(file);
    else
        read_allocated_sections(file);
    if (segment_count == 0) elf_fault(file, "no loadable segment");

    // Names first: the map reader opens the file by its path once more, and
    // a start that names one of them is known only then.
    read_dynamic_section(file);
    read_dynamic_names(file);
    input_names_entered(range);

    int first = 0, last = 0;
    choose_image(range.start != 0 ? range.start : file.header.entry, first, last);
    const uint32_t start = segments[first].address;
    uint64_t end = 0;
    for (int i = first; i < last; ++i) end = std::max(end, segments[i].end);
    if (end - start + image_tail > file_position_limit) elf_fault(file, "image too large");
    mark_gaps(first, last);

    unfinished_image = open_image_file();
    // (An input that ends early has been refused already.)
    for (int i = first; i < last; ++i) {
        const segment& s = segments[i];
        if (s.file_size != 0)
            copy_to_image(file, s.address - start, s.offset, s.file_size, "read error");
    }
    end_image_file(end - start);

    hand_over_image();
    unfinished_image = nullptr;
    range.offset = start;
    executable = {true, start, end, code_ranges, code_range_count};
}

bool executable_code_at(uint32_t a) {
    for (int i = 0; i < executable.code_count; ++i)
        if (a >= executable.code[size_t(i)].start && a < executable.code[size_t(i)].end)
            return true;
    return false;
}

void reset_executable() {
    // (A fatal message while the image was made leaves it open; the end of
    // the program would close it.)
    if (unfinished_image != nullptr) std::fclose(unfinished_image);
    unfinished_image = nullptr;
    executable = executable_image{};
    code_ranges = {};
    code_range_count = 0;
    segment_count = 0;
    input_length = 0;
    reset_address_gaps();
}
