// Function ends, label lines, data lines and the names behind addresses.
#include <gtest/gtest.h>

#include <string>

#include "driver/listing_loop.h"
#include "listing/labels.h"
#include "listing/recent_words.h"
#include "symbols/symbol_table.h"
#include "test_support.h"

namespace {

struct Labels : ::testing::Test {
    void SetUp() override {
        reset_run_state();
        settings.function_extension = 500;
    }
    void TearDown() override { reset_symbol_table(); }
    // Tracks and labels the words from address a on as the listing loop does,
    // and returns what show_labels wrote.
    static std::string walk(uint32_t a, std::initializer_list<uint32_t> words) {
        output_capture out;
        for (uint32_t w : words) {
            function_end_check(end_check::track, a, w);
            show_labels(a, label_mode::label);
            remember_word(w);
            a += 4;
        }
        return out.text();
    }
};

TEST_F(Labels, JrRaEndsAFunctionUnlessAShortForwardBranchJumpsOverIt) {
    // Tracking alone never reports an end.
    EXPECT_EQ(function_end_check(end_check::track, 0x100, jr_ra), 0);
    EXPECT_EQ(function_end_check(end_check::query, 0x100, jr_ra), 1);
    EXPECT_EQ(function_end_check(end_check::query, 0x100, 0x03e00009), 0); // jalr, not jr $ra

    // beq at 0xf0 with offset 7 lands at 0x110: the jr at 0x100 stays inside.
    function_end_check(end_check::track, 0xf0, 0x10400007);
    EXPECT_EQ(function_end_check(end_check::track_query, 0x100, jr_ra), 0);
    EXPECT_EQ(function_end_check(end_check::track_query, 0x10c, jr_ra), 0);
    // Landing exactly on the jr does not prevent the end.
    EXPECT_EQ(function_end_check(end_check::track_query, 0x110, jr_ra), 1);
    // The limit only grows: a shorter branch later does not lower it.
    function_end_check(end_check::track, 0x114, 0x10400000 | 1); // target 0x11c
    function_end_check(end_check::track, 0x118, 0x10400000 | 1); // target 0x120
    EXPECT_EQ(function_end_check(end_check::query, 0x11c, jr_ra), 0);
    function_end_check(end_check::reset, 0, 0);
    EXPECT_EQ(function_end_check(end_check::query, 0x11c, jr_ra), 1);
}

TEST_F(Labels, JrHbRaEndsAFunctionUnderRelease2Only) {
    EXPECT_EQ(function_end_check(end_check::track_query, 0x100, jr_hb_ra), 0);
    settings.flags |= flag::release2;
    EXPECT_EQ(function_end_check(end_check::track_query, 0x100, jr_hb_ra), 1);
    EXPECT_EQ(function_end_check(end_check::track_query, 0x104, jr_ra), 1);
}

TEST_F(Labels, OnlyShortForwardConditionalBranchesExtendAFunction) {
    struct {
        uint32_t word;
        bool extends;
    } cases[] = {
        {0x10400007, true},  // beq
        {0x14400007, true},  // bne
        {0x18400007, true},  // blez
        {0x1c400007, true},  // bgtz
        {0x50400007, true},  // beql
        {0x5c400007, true},  // bgtzl
        {0x18410007, true},  // blez with rt not 0: no row, but a branch by its opcode
        {0x04400007, false}, // bltz (REGIMM)
        {0x08000044, false}, // j
        {0x1040fff0, false}, // backward beq
        {0x10400000, false}, // offset 0
        {0x104001f4, false}, // offset 500, not below the limit of 500
        {0x104001f3, true},  // offset 499
    };
    for (auto c : cases) {
        function_end_check(end_check::reset, 0, 0);
        function_end_check(end_check::track, 0x1000, c.word);
        EXPECT_EQ(function_end_check(end_check::query, 0x1008, jr_ra), c.extends ? 0 : 1)
            << std::hex << c.word;
    }
    // -F 1 switches the extension off.
    settings.function_extension = 1;
    function_end_check(end_check::reset, 0, 0);
    function_end_check(end_check::track, 0x1000, 0x10400001);
    EXPECT_EQ(function_end_check(end_check::query, 0x1004, jr_ra), 1);
    // A branch near the top of memory wraps its target below the jr.
    settings.function_extension = 500;
    function_end_check(end_check::reset, 0, 0);
    function_end_check(end_check::track, 0xfffffff0, 0x10400010);
    EXPECT_EQ(function_end_check(end_check::query, 0x100, jr_ra), 1);
}

TEST_F(Labels, LabelLinesInTableOrderWithBracesAndComments) {
    add_symbol(0x2000, "zeta", "");
    add_symbol(0x2000, "alpha", "five!");
    add_symbol(0x2000, "", "comment only");
    add_symbol(0x1ffc, "before", "");
    sort_symbols();
    settings.flags = flag::braces;
    output_capture out;
    EXPECT_EQ(show_labels(0x2000, label_mode::label), 2);
    EXPECT_EQ(out.text(), "}{alpha:\n}{zeta:\n");
    EXPECT_EQ(last_label_address, 0x2000u);
    EXPECT_EQ(show_labels(0x2004, label_mode::label), 0);
    EXPECT_EQ(last_label_address, 0x2000u);
}

TEST_F(Labels, LabelCommentEndsInColumn77) {
    std::string long_name(80, 'n');
    add_symbol(0x10, "f", "abcde");
    add_symbol(0x20, long_name.c_str(), "cc");
    add_symbol(0x30, "g", "");
    sort_symbols();
    settings.flags = flag::special_comments;
    output_capture out;
    show_labels(0x10, label_mode::label);
    EXPECT_EQ(out.text(), "f:" + std::string(70, ' ') + "abcde\n");
    EXPECT_EQ(out.text().size(), 78u); // 77 characters and the newline
    // A name longer than 76 characters left-aligns the comment in a field of
    // (length - 76) characters.
    show_labels(0x20, label_mode::label);
    show_labels(0x30, label_mode::label);
    EXPECT_EQ(out.text(), "f:" + std::string(70, ' ') + "abcde\n" + long_name + ":cc  \ng:\n");
}

TEST_F(Labels, DataLabelsSwitchRepresentation) {
    add_symbol(0x100, "@table", "");
    add_symbol(0x108, "", "note");
    add_symbol(0x10c, "@more", "");
    add_symbol(0x110, "*code", "");
    add_symbol(0x120, "@a", "");
    add_symbol(0x120, "b", "");
    sort_symbols();
    output_capture out;
    show_labels(0x100, label_mode::label);
    EXPECT_TRUE(has_flag(flag::data_mode));
    show_labels(0x104, label_mode::label); // no label: stays
    show_labels(0x108, label_mode::label); // comment-only: stays
    EXPECT_TRUE(has_flag(flag::data_mode));
    show_labels(0x10c, label_mode::label);
    EXPECT_TRUE(has_flag(flag::data_mode));
    show_labels(0x110, label_mode::label); // '*' names are code names
    EXPECT_FALSE(has_flag(flag::data_mode));
    show_labels(0x120, label_mode::label); // one '@' among the labels is enough
    EXPECT_TRUE(has_flag(flag::data_mode));
    EXPECT_EQ(out.text(), "@table:\n@more:\n*code:\n@a:\nb:\n");
}

TEST_F(Labels, BraceLineAfterTheDelaySlotOfAFunctionEnd) {
    settings.flags = flag::braces;
    // jr $ra at 0x100, its delay slot at 0x104: the brace line comes at 0x108.
    EXPECT_EQ(walk(0xf8, {0x24020001, 0x27bd0020, jr_ra, 0, 0x27bdffe0}), "}{\n");
    EXPECT_EQ(last_label_address, 0x108u);

    // Not in data mode, and not without -b.
    settings.flags = flag::braces | flag::data_mode;
    EXPECT_EQ(walk(0x100, {jr_ra, 0, 0x27bdffe0}), "");
    settings.flags = 0;
    EXPECT_EQ(walk(0x100, {jr_ra, 0, 0x27bdffe0}), "");

    // A label at that address brings its own braces, no extra line.
    add_symbol(0x108, "next", "");
    sort_symbols();
    settings.flags = flag::braces;
    EXPECT_EQ(walk(0x100, {jr_ra, 0, 0x27bdffe0}), "}{next:\n");
}

TEST_F(Labels, BraceLineDependsOnBranchesBeforeTheJr) {
    settings.flags = flag::braces;
    // beq at 0xf0 to 0x110 (offset 7) jumps over the jr at 0x100: no brace.
    EXPECT_EQ(walk(0xf0, {0x10400007, 0, 0, 0, jr_ra, 0, 0, 0, 0x03e00008, 0}), "");
    // ... until the jr at 0x110 that the branch lands on.
    EXPECT_EQ(walk(0x118, {0x27bdffe0}), "}{\n");
    // A function that opens with a forward branch still gets its brace line:
    // the branch comes after the jr.
    EXPECT_EQ(walk(0x200, {jr_ra, 0, 0x10800005, 0}), "}{\n");
    EXPECT_EQ(walk(0x300, {jr_ra, 0x10800005, 0}), "}{\n");
    // -F 1: every jr $ra ends a function.
    settings.function_extension = 1;
    EXPECT_EQ(walk(0x400, {0x10400007, 0, 0, 0, jr_ra, 0, 0}), "}{\n");
}

TEST_F(Labels, ValueModeShowsNamesOrQuotedBytes) {
    add_symbol(0x80001000, "buf", "");
    add_symbol(0x80001000, "@buf", "");
    add_symbol(0x80001000, "", "comment only");
    sort_symbols();
    output_capture out;
    EXPECT_EQ(show_labels(0x80001000, label_mode::value), 2);
    EXPECT_EQ(show_labels(0x41424300, label_mode::value), 0);
    EXPECT_EQ(show_labels(0x7f80201f, label_mode::value), 0);
    EXPECT_EQ(out.text(), "@buf buf\n\"ABC.\"\n\".. .\"\n");
    // Value mode never switches the representation.
    EXPECT_FALSE(has_flag(flag::data_mode));
}

TEST_F(Labels, QuotedBytesFollowFileOrder) {
    settings.flags = flag::little_endian;
    output_capture out;
    // Bytes 'A' 'B' 'C' 0 in a little-endian file form the word 0x00434241.
    show_labels(0x00434241, label_mode::value);
    EXPECT_EQ(out.text(), "\"ABC.\"\n");
}

TEST_F(Labels, InputTextIsEscapedInHtml) {
    add_symbol(0x40, "a<b>", "", true);
    add_symbol(0x40, "m&n", "", false);
    sort_symbols();
    settings.html_dir = "out";
    output_capture out;
    show_labels(0x40, label_mode::comment);
    show_labels(0x3c26223e, label_mode::value); // '<' '&' '"' '>'
    EXPECT_EQ(out.text(), " a&lt;b&gt; m&n\"&lt;&amp;&quot;&gt;\"\n");
    settings.html_dir = nullptr;
    show_labels(0x40, label_mode::comment);
    EXPECT_EQ(out.text(), " a&lt;b&gt; m&n\"&lt;&amp;&quot;&gt;\"\n a<b> m&n");
}

TEST_F(Labels, CommentModeWritesABlankBeforeEachName) {
    add_symbol(0x80, "one", "");
    add_symbol(0x80, "@two", "");
    sort_symbols();
    output_capture out;
    EXPECT_EQ(show_labels(0x80, label_mode::comment), 2);
    EXPECT_EQ(show_labels(0x84, label_mode::comment), 0);
    EXPECT_EQ(out.text(), " @two one");
    EXPECT_FALSE(has_flag(flag::data_mode));
}

} // namespace
