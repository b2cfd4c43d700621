// The listing loop: range, line budget, byte order, folding, line prefix.
#include <gtest/gtest.h>

#include <string>

#include "driver/listing_loop.h"
#include "html/call_targets.h"
#include "listing/labels.h"
#include "listing/recent_words.h"
#include "mips/byte_order.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/zo.h"

namespace {

struct Listing : ::testing::Test {
    temp_dir dir;
    void SetUp() override {
        reset_run_state();
        settings.function_extension = 500;
        settings.size = 0x7fffffff;
        settings.line_budget = 0x7fffffff;
    }
    void TearDown() override { reset_symbol_table(); }

    // Lists the given bytes from address start and returns the listing.
    std::string list(const std::string& bytes, uint32_t start = 0x1000) {
        settings.input = zo_fopen(dir.write("in.bin", bytes).c_str(), "rb");
        settings.start = start;
        output_capture out;
        list_words();
        return out.text();
    }
    static std::string words(std::initializer_list<uint32_t> values) {
        std::string s;
        for (uint32_t v : values)
            for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>(v >> shift);
        return s;
    }
    static std::string data_line(uint32_t address, uint32_t word, const char* text) {
        char prefix[40];
        snprintf(prefix, sizeof prefix, "\t%08x:    %08x\t", address, word);
        return prefix + std::string(text) + "\n";
    }
};

TEST_F(Listing, AssemblesWordsByTheByteOrder) {
    const unsigned char bytes[4] = {0x00, 0x00, 0x00, 0x0c};
    EXPECT_EQ(assemble_word(bytes), 0x0000000cu);
    settings.flags = flag::little_endian;
    EXPECT_EQ(assemble_word(bytes), 0x0c000000u);
}

TEST_F(Listing, FoldsRunsOfEqualDataWords) {
    add_symbol(0x1000, "@table", "");
    add_symbol(0x1018, "@inner", "");
    sort_symbols();
    std::string in = words({0x41414141, 0x41414141, 0x41414141, 0x41414141, 0x41414141, 0x42424242,
                            0x42424242, 0x42424242, 0x42424242, 0x42424242});
    std::string expected = "@table:\n" + data_line(0x1000, 0x41414141, "\"AAAA\"") +
                           "\t...\t...\n" + data_line(0x1014, 0x42424242, "\"BBBB\"") +
                           "@inner:\n" + data_line(0x1018, 0x42424242, "\"BBBB\"") + "\t...\t...\n";
    EXPECT_EQ(list(in), expected);
    EXPECT_EQ(settings.line_budget, 0x7fffffff - 3);
}

TEST_F(Listing, FirstDataWordIsNeverFolded) {
    // The ring starts as zeros; a zero first word still gets its line.
    add_symbol(0x1000, "@zeros", "");
    sort_symbols();
    EXPECT_EQ(list(words({0, 0, 0})),
              "@zeros:\n" + data_line(0x1000, 0, "\"....\"") + "\t...\t...\n");
}

TEST_F(Listing, StopsAtTheSizeTheBudgetOrTheEndOfInput) {
    add_symbol(0x1000, "@d", "");
    sort_symbols();
    std::string in = words({0x61626364, 0x65666768}) + "xy"; // 10 bytes
    std::string both = "@d:\n" + data_line(0x1000, 0x61626364, "\"abcd\"") +
                       data_line(0x1004, 0x65666768, "\"efgh\"");
    EXPECT_EQ(list(in), both); // the trailing 2 bytes are not shown

    reset_listing_state();
    settings.size = 6;
    EXPECT_EQ(list(in), "@d:\n" + data_line(0x1000, 0x61626364, "\"abcd\""));

    reset_listing_state();
    settings.size = 0x7fffffff;
    settings.line_budget = 1;
    EXPECT_EQ(list(in), "@d:\n" + data_line(0x1000, 0x61626364, "\"abcd\""));
    EXPECT_EQ(settings.start, 0x1004u);

    for (int32_t size : {-4, 3, static_cast<int32_t>(0x80000000)}) {
        settings.size = size;
        settings.line_budget = 0x7fffffff;
        EXPECT_EQ(list(in), "") << size;
    }
    settings.size = 0x7fffffff;
    settings.line_budget = 0;
    EXPECT_EQ(list(in), "");
    settings.line_budget = 0x7fffffff;
    EXPECT_EQ(list("abc"), "");
}

TEST_F(Listing, FoldMarkersDoNotUseTheBudget) {
    add_symbol(0x1000, "@d", "");
    sort_symbols();
    settings.line_budget = 2;
    EXPECT_EQ(list(words({7, 7, 7, 7, 8, 9})), "@d:\n" + data_line(0x1000, 7, "\"....\"") +
                                                   "\t...\t...\n" +
                                                   data_line(0x1010, 8, "\"....\""));
}

TEST_F(Listing, RelativePrefixOnlyAfterALabel) {
    add_symbol(0x1004, "@d", "");
    sort_symbols();
    settings.flags = flag::relative | flag::data_mode;
    EXPECT_EQ(list(words({0x30313233, 0x34353637, 0x38393a3b})),
              data_line(0x1000, 0x30313233, "\"0123\"") + "@d:\n" + "     0r" +
                  data_line(0x1004, 0x34353637, "\"4567\"") + "     4r" +
                  data_line(0x1008, 0x38393a3b, "\"89:;\""));
}

TEST_F(Listing, RelativePrefixWidensForLargeOffsets) {
    settings.flags = flag::relative | flag::data_mode;
    last_label_address = 0x10;
    EXPECT_EQ(list(words({0x43434343}), 0x12345688),
              "12345678r" + data_line(0x12345688, 0x43434343, "\"CCCC\""));
}

TEST_F(Listing, RemovesTheImageFileAtTheEnd) {
    std::string image = dir.write("obj.o_", words({1}));
    settings.image_path = const_cast<char*>(image.c_str());
    settings.flags = flag::data_mode;
    list(words({0x20202020}));
    EXPECT_FALSE(std::filesystem::exists(image));
    EXPECT_EQ(settings.input, nullptr);
}

TEST_F(Listing, AFailedWriteEndsTheRunWithAnError) {
    settings.flags = flag::data_mode;
    settings.input = zo_fopen(dir.write("in.bin", words({0x41414141, 0x42424242})).c_str(), "rb");
    EXPECT_EXIT(
        {
            settings.output = std::fopen("/dev/full", "w");
            list_words();
            std::exit(0);
        },
        ::testing::ExitedWithCode(255), "No space left on device");
}

TEST_F(Listing, RingHoldsTheListedWordsNewestFirst) {
    settings.flags = flag::data_mode;
    list(words({1, 2, 3, 3, 3}));
    EXPECT_EQ(recent_word(0), 3u);
    EXPECT_EQ(recent_word(3), 2u);
    EXPECT_EQ(recent_word(4), 1u);
    EXPECT_EQ(recent_word(5), 0u);
}

} // namespace
