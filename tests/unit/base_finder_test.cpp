// -FB's finding on images of known byte order and load address, whole and
// cut, and on inputs where nothing can be found.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "listing/base_finder.h"
#include "test_support.h"
#include "util/run_settings.h"

namespace {

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the finding says in short: the byte order ("big", "little", "-"),
// then the best base, "none" when it is not clear, or the obstacle.
std::string summary(const base_finding& f) {
    const char* order = f.little ? "little" : "big";
    switch (f.obstacle) {
    case base_obstacle::empty: return "- empty";
    case base_obstacle::too_short: return "- too short";
    case base_obstacle::one_byte: return "- one byte";
    case base_obstacle::no_order: return "- no order";
    case base_obstacle::not_clear: return std::string(order) + " none";
    case base_obstacle::none: break;
    }
    char base[9];
    std::snprintf(base, sizeof base, "%08x", f.candidates[0].base);
    return std::string(order) + " " + base;
}

struct base_case {
    const char* image;     // file, or "" for the bytes of text
    uint32_t from, length; // the piece of it (length 0: to the end)
    bool force_little;
    const char* text; // repeated times over
    int times;
    const char* expected;
};

const std::string firmware = PELORIN_EXAMPLES "/firmware.bin";             // big, 80000000
const std::string firmware_le = PELORIN_BASE_IMAGES "/fw_le_bfc00000.bin"; // little, bfc00000
const std::string pic = PELORIN_BASE_IMAGES "/pic_be_10000000.bin";        // big, 10000000

TEST(BaseFinder, FindsTheOrderAndTheBaseOrSaysItCannot) {
    const base_case cases[] = {
        // Whole images: clang without PIC (lui pairs, jal), and gcc's PIC
        // code (pointers in the data and the GOT).
        {firmware.c_str(), 0, 0, false, "", 0, "big 80000000"},
        {firmware_le.c_str(), 0, 0, false, "", 0, "little bfc00000"},
        {pic.c_str(), 0, 0, false, "", 0, "big 10000000"},
        // A piece from the middle belongs at its own address.
        {firmware.c_str(), 0x3000, 0x8000, false, "", 0, "big 80003000"},
        {firmware_le.c_str(), 0x3000, 0x8000, false, "", 0, "little bfc03000"},
        {pic.c_str(), 0x4000, 0x8000, false, "", 0, "big 10004000"},
        // Too little of the image to tell: no base rather than a guess.
        {firmware.c_str(), 0, 0x1000, false, "", 0, "big none"},
        {pic.c_str(), 0, 0x4000, false, "", 0, "big none"},
        {pic.c_str(), 0x2000, 0x8000, false, "", 0, "big none"},
        // -LE on a big-endian image: garbage words, no base.
        {firmware.c_str(), 0, 0, true, "", 0, "little none"},
        // Inputs without code.
        {"", 0, 0, false, "", 0, "- empty"},
        {"", 0, 0, false, "mips", 75, "- too short"},
        {"", 0, 0, false, "\xff", 2048, "- one byte"},
        {"", 0, 0, false, "no code here, only words of text. ", 128, "- no order"},
    };
    for (const base_case& c : cases) {
        reset_run_state();
        settings.sequence_length = 9; // the default look-back of lui pairs
        std::string bytes;
        for (int i = 0; i < c.times; ++i) bytes += c.text;
        if (*c.image != 0)
            bytes =
                file_bytes(c.image).substr(c.from, c.length != 0 ? c.length : std::string::npos);
        temp_dir dir;
        FILE* input = std::fopen(dir.write("dump.bin", bytes).c_str(), "rb");
        ASSERT_NE(input, nullptr);
        const base_finding f = find_base(input, c.force_little);
        std::fclose(input);
        EXPECT_EQ(summary(f), c.expected) << c.image << " at " << c.from << ": " << c.text;
        // Without a base the output says so and lists no candidate.
        output_capture out;
        write_base_finding(f, "dump.bin");
        const bool found = f.obstacle == base_obstacle::none;
        EXPECT_EQ(out.text().find("no base found: ") == std::string::npos, found) << out.text();
        EXPECT_EQ(out.text().find("\npelorin -o ") != std::string::npos, found) << out.text();
    }
}

} // namespace
