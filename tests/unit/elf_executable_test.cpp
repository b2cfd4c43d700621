#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "object/elf_executable.h"
#include "object_test_support.h"
#include "util/address_gaps.h"

namespace {

struct segment_spec {
    uint32_t address;
    std::string bytes;    // p_filesz bytes
    uint32_t memory_size; // p_memsz
};

// A big-endian executable of program headers only: header, the headers,
// then each segment's bytes.
std::string executable_file(const std::vector<segment_spec>& segments, uint32_t entry) {
    elf_builder b;
    auto half = [&](uint16_t v) { return b.half(v); };
    auto word = [&](uint32_t v) { return b.word(v); };
    const uint32_t table = 52, count = uint32_t(segments.size());
    std::string file = std::string("\x7f"
                                   "ELF\x01\x02\x01",
                                   7) +
                       std::string(9, '\0') + half(2) + half(8) + word(1) + word(entry) +
                       word(table) + word(0) + word(0) + half(52) + half(32) +
                       half(uint16_t(count)) + half(40) + half(0) + half(0);
    uint32_t at = table + 32 * count;
    std::string bodies;
    for (const segment_spec& s : segments) {
        file += word(1) + word(at + uint32_t(bodies.size())) + word(s.address) + word(s.address) +
                word(uint32_t(s.bytes.size())) + word(s.memory_size) + word(5) + word(4);
        bodies += s.bytes;
    }
    return file + bodies;
}

std::string image_bytes() {
    std::string s;
    std::rewind(settings.input);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, settings.input)) > 0) s.append(buffer, n);
    return s;
}

} // namespace

// Where each layout's image lies, what it holds and which gaps the listing
// passes over; segments are given out of address order on purpose.
TEST(ElfExecutable, LaysOutTheSegmentsAtTheirAddresses) {
    const std::string z(1, '\0');
    const struct {
        const char* what;
        std::vector<segment_spec> segments;
        uint32_t entry, start; // start: -a, 0 for none
        uint32_t image_start;
        std::string image; // "" when not checked
        std::vector<address_gap> gaps;
    } cases[] = {
        {"a gap, with zeros up to the memory size",
         {{0x1100, "BBBB", 4}, {0x1000, "AAAA", 0x10}},
         0x1000,
         0,
         0x1000,
         "AAAA" + std::string(0xfc, '\0') + "BBBB",
         {{0x1010, 0x1100}}},
        {"the gap's ends on the word grid",
         {{0x1000, "AAAAA", 5}, {0x1013, "B", 1}},
         0x1000,
         0,
         0x1000,
         "",
         {{0x1008, 0x1010}}},
        {"overlapping segments: one piece, the later bytes kept",
         {{0x1000, "AAAAAAAA", 8}, {0x1004, "BBBBBBBB", 8}},
         0x1000,
         0,
         0x1000,
         "AAAABBBBBBBB",
         {}},
        {"far apart: the entry's segment",
         {{0x80000000, "AAAA", 4}, {0xbfc00000, "BBBB", 4}},
         0xbfc00000,
         0,
         0xbfc00000,
         "BBBB",
         {}},
        {"far apart: the segment of -a",
         {{0x80000000, "AAAA", 4}, {0xbfc00000, "BBBB", 4}},
         0xbfc00000,
         0x80000002,
         0x80000000,
         "AAAA",
         {}},
        {"far apart: a start in no segment takes the next one",
         {{0x80000000, "AAAA", 4}, {0xbfc00000, "BBBB", 4}},
         0xbfc00000,
         0x90000000,
         0xbfc00000,
         "BBBB",
         {}},
        {"file bytes beyond the memory size are kept",
         {{0x2000, "AAAAAAAA", 2}},
         0x2000,
         0,
         0x2000,
         "AAAAAAAA",
         {}},
    };
    for (const auto& c : cases) {
        temp_dir dir;
        const std::string path = dir.write("x.elf", executable_file(c.segments, c.entry));
        reset_run_state();
        settings.flags = flag::elf_image;
        settings.start = c.start;
        static std::string kept;
        kept = path;
        settings.input_path = kept.c_str();
        settings.input = zo_fopen(kept.c_str(), "rb");
        load_object(settings.start, settings.offset, settings.size);
        ASSERT_TRUE(executable.loaded) << c.what;
        EXPECT_EQ(executable.start, c.image_start) << c.what;
        EXPECT_EQ(settings.offset, c.image_start) << c.what;
        if (!c.image.empty()) {
            EXPECT_EQ(image_bytes().substr(0, c.image.size()), c.image) << c.what;
            EXPECT_EQ(executable.end, uint64_t(c.image_start) + c.image.size()) << c.what;
        }
        ASSERT_EQ(listed_gaps.count, int(c.gaps.size())) << c.what;
        for (size_t i = 0; i < c.gaps.size(); ++i) {
            EXPECT_EQ(listed_gaps.gaps[i].start, c.gaps[i].start) << c.what;
            EXPECT_EQ(listed_gaps.gaps[i].end, c.gaps[i].end) << c.what;
        }
        zo_fclose(settings.input);
        settings.input = nullptr;
    }
    reset_run_state();
}
