// The data display: text test, pointer chains and their stops, and the input
// position that every display must leave as it found it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "driver/listing_loop.h"
#include "listing/data_display.h"
#include "mips/byte_order.h"
#include "object/elf_loader.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/run_settings.h"

namespace {

constexpr uint32_t base = 0x80010000; // address of the image's first byte
constexpr size_t image_size = 0x400;

// A memory image whose filler bytes 27 bd 27 bd ... are neither text nor a
// pointer (addiu $sp,$sp,... ends a chain), so each case shows only what it
// places in it.
struct DataDisplay : ::testing::Test {
    temp_dir dir;
    std::string image = filler(image_size);
    FILE* input = nullptr;

    static std::string filler(size_t n) {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 2 == 0 ? 0x27 : 0xbd);
        return s;
    }
    void SetUp() override {
        reset_run_state();
        object = object_layout{};
        settings.offset = base;
    }
    void TearDown() override {
        if (input) std::fclose(input);
        settings.input = nullptr;
    }
    void put(uint32_t address, const std::string& bytes) {
        ASSERT_LE(address - base + bytes.size(), image.size());
        image.replace(address - base, bytes.size(), bytes);
    }
    void put_word(uint32_t address, uint32_t w) {
        std::string b{static_cast<char>(w >> 24), static_cast<char>(w >> 16),
                      static_cast<char>(w >> 8), static_cast<char>(w)};
        put(address, b);
    }
    // Opens the image as the listing's input, positioned as after reading the
    // word at 0x80010000.
    void open_at(long position = 4) {
        input = std::fopen(dir.write("image.bin", image).c_str(), "rb");
        ASSERT_NE(input, nullptr);
        settings.input = input;
        std::fseek(input, position, SEEK_SET);
    }
    std::string show(uint32_t a, bool from_operand = false,
                     display_mode mode = display_mode::plain) {
        output_capture out;
        data_display(a, from_operand, mode);
        return out.text();
    }
};

TEST_F(DataDisplay, TextInTheWindow) {
    put(0x80010100, std::string(60, 'x'));
    std::string almost = std::string(48, 'y') + "z";
    put(0x80010200, almost + '\0');
    put(0x80010280, std::string("a\tb\rc\nd") + '\0');
    put(0x80010300, std::string("ok") + '\0');
    open_at();
    // A window full of text is cut to 46 characters and marked.
    EXPECT_EQ(show(0x80010100), "# 80010100 \"" + std::string(46, 'x') + "...\"");
    // 49 characters ending in a NUL as the 50th byte are shown whole.
    EXPECT_EQ(show(0x80010200), "# 80010200 \"" + almost + "\"");
    EXPECT_EQ(show(0x80010280), "# 80010280 \"a b c d\"");
    EXPECT_EQ(show(0x80010300), "# 80010300 \"ok\"");
}

TEST_F(DataDisplay, TextFromTheInputIsEscapedInHtml) {
    put(0x80010100, std::string("<b>&\"x\"</b>") + '\0');
    open_at();
    settings.html_dir = "pages";
    EXPECT_EQ(show(0x80010100), "# 80010100 \"&lt;b&gt;&amp;&quot;x&quot;&lt;/b&gt;\"");
    settings.html_dir = nullptr;
    EXPECT_EQ(show(0x80010100), "# 80010100 \"<b>&\"x\"</b>\"");
}

TEST_F(DataDisplay, ShortOrUnterminatedTextIsAPointer) {
    // One character and a NUL: the word 0x41000000 is followed as a pointer.
    put(0x80010100, std::string("A") + '\0' + '\0' + '\0');
    // Text that runs into a byte above 0x7e or a control byte is no text.
    put(0x80010140, std::string("abc\x80") + std::string(4, '\0'));
    put(0x80010180, std::string("abc\x7f"));
    put(0x800101c0, std::string("abc\x01"));
    put_word(0x80010200, 0); // an empty text is no text either
    open_at();
    EXPECT_EQ(show(0x80010100), "# 80010100 -> 41000000");
    EXPECT_EQ(show(0x80010140), "# 80010140 -> 61626380");
    EXPECT_EQ(show(0x80010180), "# 80010180 -> 6162637f");
    EXPECT_EQ(show(0x800101c0), "# 800101c0 -> 61626301");
    EXPECT_EQ(show(0x80010200), "# 80010200 -> 0");
}

TEST_F(DataDisplay, PointerChainsAndTheirStops) {
    put_word(0x80010100, 0x80010200);
    put(0x80010200, std::string("msg") + '\0');
    // The three code words end a chain without an arrow.
    put_word(0x80010110, 0x80010120);
    put_word(0x80010120, 0x27bdffe0); // addiu $sp,$sp,-32
    put_word(0x80010130, 0x3c1c0001); // lui $gp,1
    put_word(0x80010140, 0x3c028001); // lui $v0,0x8001
    put_word(0x80010150, 0x3c030001); // lui $v1,1 is a pointer like any other
    put_word(0x80010160, 0x80010160); // points at itself
    open_at();
    EXPECT_EQ(show(0x80010100), "# 80010100 -> 80010200 \"msg\"");
    EXPECT_EQ(show(0x80010110), "# 80010110 -> 80010120");
    EXPECT_EQ(show(0x80010130), "# 80010130");
    EXPECT_EQ(show(0x80010140), "# 80010140");
    EXPECT_EQ(show(0x80010150), "# 80010150 -> 3c030001");
    EXPECT_EQ(show(0x80010160), "# 80010160 -> 80010160");
}

TEST_F(DataDisplay, DepthLimitNamesTheLastLevelOnly) {
    // p0 -> p1 -> ... -> p7 -> "deep"; levels 0 to 5 are read, level 6 named.
    for (uint32_t i = 0; i < 7; ++i) put_word(0x80010100 + 16 * i, 0x80010100 + 16 * (i + 1));
    put(0x80010170, std::string("deep") + '\0');
    open_at();
    EXPECT_EQ(show(0x80010100), "# 80010100 -> 80010110 -> 80010120 -> 80010130 -> 80010140"
                                " -> 80010150 -> 80010160");
    // Started two levels further on, the text comes within reach.
    EXPECT_EQ(show(0x80010120),
              "# 80010120 -> 80010130 -> 80010140 -> 80010150 -> 80010160 -> 80010170 \"deep\"");
}

TEST_F(DataDisplay, FunctionPointerChains) {
    put_word(0x80010100, 0x80010200);
    put_word(0x80010200, 0x80010300);
    put(0x80010300, std::string("text") + '\0');
    open_at();
    // Without an object's code range the chain stops after the table entry.
    EXPECT_EQ(show(0x80010100, true, display_mode::function_pointer), "# 80010100 -> 80010200");
    EXPECT_EQ(followed_pointer, 0x80010200u);
    // With one, a function outside it is read on like any chain.
    object.text_start = 0x80010380;
    object.text_end = 0x80010400;
    EXPECT_EQ(show(0x80010100, true, display_mode::function_pointer),
              "# 80010100 -> 80010200 -> 80010300 \"text\"");
    // Memory in the code range is never read.
    EXPECT_EQ(show(0x80010380), "# 80010380");
}

TEST_F(DataDisplay, ReadsNearTheEndOfTheInput) {
    put(0x800103ce, std::string("abc") + '\0');
    open_at();
    // Exactly 50 bytes left: shown; 49 left: the chain ends quietly.
    EXPECT_EQ(show(0x800103ce), "# 800103ce \"abc\"");
    EXPECT_EQ(show(0x800103cf), "# 800103cf");
    EXPECT_EQ(show(0x80010400), "# 80010400");
}

TEST_F(DataDisplay, AddressesBelowTheOffsetAreNeverCountedFromTheEnd) {
    // Text at the end of the file that a seek counted back from the end
    // would find.
    put(0x800103c0, std::string(64, 'T'));
    put_word(0x80010100, 0x8000ffc0);
    open_at(0x100);
    EXPECT_EQ(show(0x8000ffc0), "# 8000ffc0");
    EXPECT_EQ(show(0x80010100), "# 80010100 -> 8000ffc0");
    settings.offset = 0x40;
    EXPECT_EQ(show(0), "# 0");
    // A difference of 2^31 or more is a position past the end, not a
    // negative one.
    settings.offset = 0;
    EXPECT_EQ(show(0xffffffc0), "# ffffffc0");
    EXPECT_EQ(std::ftell(input), 0x100);
}

TEST_F(DataDisplay, PositionIsRestoredAfterEveryDisplay) {
    put_word(0x80010100, 0x80010200);
    put(0x80010200, std::string("text") + '\0');
    put_word(0x80010010, 0x11223344);
    put_word(0x80010014, 0x55667788);
    open_at(0x10);
    for (uint32_t a : {0x80010100u, 0x80010200u, 0x80010004u, 0x7fff0000u, 0x80010400u}) {
        show(a);
        EXPECT_EQ(std::ftell(input), 0x10) << std::hex << a;
    }
    // The next word the listing reads is the one after the current one.
    unsigned char word[4];
    ASSERT_EQ(std::fread(word, 1, 4, input), 4u);
    EXPECT_EQ(assemble_word(word), 0x11223344u);
    show(0x80010100);
    ASSERT_EQ(std::fread(word, 1, 4, input), 4u);
    EXPECT_EQ(assemble_word(word), 0x55667788u);
}

TEST_F(DataDisplay, NothingIsReadAtInputPositionZero) {
    put(0x80010100, std::string("text") + '\0');
    open_at(0);
    EXPECT_EQ(show(0x80010100), "# 80010100");
    EXPECT_EQ(std::ftell(input), 0);
}

} // namespace

namespace {

// Windows read across the blocks the display keeps of a larger input, and a
// listing input replaced by another file.
TEST(DataDisplayBlocks, WindowsAcrossBlockEdgesAndInputs) {
    reset_run_state();
    object = object_layout{};
    temp_dir dir;
    std::string image(2 * 16384 + 100, '\x01');
    image.replace(16384 - 20, 31, std::string(30, 'b') + '\0');     // across the first edge
    image.replace(2 * 16384 - 10, 20, std::string(19, 'c') + '\0'); // into the short block
    image.replace(2 * 16384 + 50, 50, std::string(49, 'd') + '\0'); // the last 50 bytes
    FILE* first = std::fopen(dir.write("first.bin", image).c_str(), "rb");
    FILE* second = std::fopen(
        dir.write("second.bin", std::string(8, '\x02') + "xyz" + '\0' + std::string(60, '\x02'))
            .c_str(),
        "rb");
    ASSERT_TRUE(first && second);
    settings.input = first;
    std::fseek(first, 8, SEEK_SET);
    {
        output_capture out;
        data_display(16384 - 20, false, display_mode::plain);
        data_display(2 * 16384 - 10, false, display_mode::plain);
        data_display(2 * 16384 + 50, false, display_mode::plain);
        data_display(2 * 16384 + 51, false, display_mode::plain);
        data_display(16384 - 20, false, display_mode::plain); // kept block
        EXPECT_EQ(out.text(), "# 3fec \"" + std::string(30, 'b') + "\"# 7ff6 \"" +
                                  std::string(19, 'c') + "\"# 8032 \"" + std::string(49, 'd') +
                                  "\"# 8033# 3fec \"" + std::string(30, 'b') + "\"");
    }
    EXPECT_EQ(std::ftell(first), 8);
    settings.input = second; // as when an object's image replaces the input
    std::fseek(second, 4, SEEK_SET);
    {
        output_capture out;
        data_display(8, false, display_mode::plain);
        EXPECT_EQ(out.text(), "# 8 \"xyz\"");
    }
    std::fclose(first);
    std::fclose(second);
    settings.input = nullptr;
}

} // namespace

namespace {

// More blocks than are kept: each window still comes from its own block.
TEST(DataDisplayBlocks, ManyBlocksStayApart) {
    reset_run_state();
    object = object_layout{};
    temp_dir dir;
    constexpr int blocks = 70;
    std::string image(blocks * 16384, '\x01');
    for (int i = 0; i < blocks; ++i) {
        std::string text = "block " + std::to_string(i);
        image.replace(static_cast<size_t>(i) * 16384 + 100, text.size() + 1, text + '\0');
    }
    FILE* input = std::fopen(dir.write("blocks.bin", image).c_str(), "rb");
    ASSERT_NE(input, nullptr);
    settings.input = input;
    std::fseek(input, 4, SEEK_SET);
    for (int round = 0; round < 2; ++round) {
        for (int i : {0, 69, 1, 68, 2, 67, 3, 66, 4, 65, 5, 64, 6, 63, 7, 62, 8, 61, 9, 60, 10}) {
            output_capture out;
            uint32_t a = static_cast<uint32_t>(i) * 16384 + 100;
            data_display(a, false, display_mode::plain);
            char hex[16];
            std::snprintf(hex, sizeof hex, "%x", a);
            EXPECT_EQ(out.text(), "# " + std::string(hex) + " \"block " + std::to_string(i) + "\"");
        }
        // Fill every slot with other blocks before the second round.
        for (int i = 11; i < 60; ++i) {
            output_capture out;
            data_display(static_cast<uint32_t>(i) * 16384 + 100, false, display_mode::plain);
        }
    }
    unsigned char word[4];
    ASSERT_EQ(std::fread(word, 1, 4, input), 4u);
    EXPECT_EQ(assemble_word(word), 0x01010101u);
    std::fclose(input);
    settings.input = nullptr;
}

} // namespace
