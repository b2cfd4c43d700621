#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "html/page_elements.h"
#include "html/page_set.h"
#include "test_support.h"
#include "util/output.h"
#include "util/version.h"

namespace {

struct PageElements : ::testing::Test {
    void SetUp() override { reset_run_state(); }
    void TearDown() override { reset_run_state(); }
};

// What html_highlight writes for word, followed by the line-end call with 0.
std::string span_of(uint32_t word) {
    output_capture out;
    html_highlight(word);
    out_char('|');
    html_highlight(0);
    return out.text();
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(PageElements, AnchorOnlyInHtmlOutput) {
    {
        output_capture out;
        html_anchor(0x80001a0);
        EXPECT_EQ(out.text(), "");
    }
    settings.html_dir = "out";
    output_capture out;
    html_anchor(0x80001a0);
    html_anchor(0xffffffff);
    EXPECT_EQ(out.text(), "<A NAME=080001a0></A><A NAME=ffffffff></A>");
}

TEST_F(PageElements, HeadCarriesBannerAndOptionalHeading) {
    settings.input_path = "dumps/rom.bin";
    output_capture out;
    html_page_head("00001000.htm", nullptr);
    std::string plain = out.text();
    std::string expected_start = "<HTML>\n<HEAD>\n<TITLE>00001000.htm</TITLE>\n</HEAD>\n"
                                 "<BODY BGCOLOR=white>\nGenerated ";
    EXPECT_EQ(plain.substr(0, expected_start.size()), expected_start);
    std::string expected_end =
        " from dumps/rom.bin<BR>\nby pelorin [" + std::string(version_banner()) + "].<BR><BR>\n";
    ASSERT_GT(plain.size(), expected_start.size() + expected_end.size());
    EXPECT_EQ(plain.substr(plain.size() - expected_end.size()), expected_end);
    // The time text: "Mon Dec  7 21:08:06 2026", 24 characters.
    std::string time = plain.substr(expected_start.size(),
                                    plain.size() - expected_start.size() - expected_end.size());
    ASSERT_EQ(time.size(), 24u) << time;
    EXPECT_EQ(time.substr(11, 8).find_first_not_of("0123456789:"), std::string::npos) << time;
    EXPECT_EQ(time[3], ' ');
    EXPECT_EQ(time[19], ' ');

    html_page_head("Symbol Map", "Symbol Map");
    std::string both = out.text();
    EXPECT_EQ(both.substr(both.size() - 20), "<H2>Symbol Map</H2>\n");
    EXPECT_EQ(both.find("<H2>"), both.rfind("<H2>")); // the first head had none
}

TEST_F(PageElements, TailLinksToFollowingPageAndClosesIt) {
    temp_dir dir;
    pages.count = 3;
    pages.starts[0] = 0x1000;
    pages.starts[1] = 0x1400;
    pages.starts[2] = 0x18a0;

    // A middle page: the index already names the page that follows.
    std::string middle = (dir.path / "middle.htm").string();
    settings.output = std::fopen(middle.c_str(), "w");
    pages.current = 2;
    html_page_tail();
    EXPECT_EQ(settings.output, stdout); // never left on the closed stream
    EXPECT_EQ(read_file(middle), "</B></PRE>\n"
                                 "<A HREF=000018a0.htm>Next Page</A>\n"
                                 "<A HREF=symbols.htm>Symbol Map</A>\n"
                                 "<A HREF=calls.htm>Call Statistics</A>\n"
                                 "</BODY>\n</HTML>\n");

    // The last page: the index has gone past the count.
    std::string last = (dir.path / "last.htm").string();
    settings.output = std::fopen(last.c_str(), "w");
    pages.current = 3;
    html_page_tail();
    EXPECT_EQ(read_file(last), "</B></PRE>\n"
                               "<A HREF=symbols.htm>Symbol Map</A>\n"
                               "<A HREF=calls.htm>Call Statistics</A>\n"
                               "</BODY>\n</HTML>\n");

    // Before any page, and after a tail: nothing is written or closed.
    ::testing::internal::CaptureStdout();
    html_page_tail();
    html_page_tail();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(settings.output, stdout);
}

TEST_F(PageElements, JumpsAndBranchesAreBlue) {
    const uint32_t words[] = {
        0x08000400, // j
        0x0c000400, // jal
        0x03e00008, // jr $ra
        0x0320f809, // jalr $t9
        0x10850003, // beq
        0x14850003, // bne
        0x18800003, // blez
        0x1c800003, // bgtz
        0x50850003, // beql
        0x54850003, // bnel
        0x58800003, // blezl
        0x5c800003, // bgtzl
    };
    for (uint32_t w : words) EXPECT_EQ(span_of(w), "<FONT COLOR=blue>|</FONT>") << std::hex << w;
}

TEST_F(PageElements, LoadsAreGreenStoresRed) {
    // lb lh lwl lw lbu lhu lwr lwu ll
    for (uint32_t major : {0x20u, 0x21u, 0x22u, 0x23u, 0x24u, 0x25u, 0x26u, 0x27u, 0x30u})
        EXPECT_EQ(span_of(major << 26 | 0x00a40010), "<FONT COLOR=green>|</FONT>") << major;
    // sb sh swl sw sdl sdr swr sc
    for (uint32_t major : {0x28u, 0x29u, 0x2au, 0x2bu, 0x2cu, 0x2du, 0x2eu, 0x38u})
        EXPECT_EQ(span_of(major << 26 | 0x00a40010), "<FONT COLOR=red>|</FONT>") << major;
}

TEST_F(PageElements, OtherWordsGetNoSpan) {
    const uint32_t words[] = {
        0x04800003, // bltz: regimm branches stay plain
        0x04110003, // bal
        0xbc800000, // cache
        0xcc800000, // pref
        0xc4800000, // lwc1
        0xc8800000, // lwc2
        0xd0800000, // lld
        0xd4800000, // ldc1
        0xdc800000, // ld
        0x68800000, // ldl
        0x6c800000, // ldr
        0xe4800000, // swc1
        0xf0800000, // scd
        0xfc800000, // sd
        0x27bdffe0, // addiu
        0x0000000a, // movz: function field 10 is no jump
        0x3c1c8000, // lui
    };
    for (uint32_t w : words) EXPECT_EQ(span_of(w), "|") << std::hex << w;
}

TEST_F(PageElements, SpanClosesOnceAndOnlyWhenOpen) {
    output_capture out;
    html_highlight(0); // nothing open at the start
    html_highlight(0x8fbf0004);
    html_highlight(0);
    html_highlight(0); // already closed
    html_highlight(0x27bdffe0);
    html_highlight(0);
    EXPECT_EQ(out.text(), "<FONT COLOR=green></FONT>");
}

} // namespace
