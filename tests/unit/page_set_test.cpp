#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "html/address_links.h"
#include "html/call_targets.h"
#include "html/page_elements.h"
#include "html/page_set.h"
#include "listing/labels.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/output.h"

namespace {

struct PageSet : ::testing::Test {
    void SetUp() override { reset_all(); }
    void TearDown() override {
        if (settings.input) std::fclose(settings.input);
        reset_all();
    }
    static void reset_all() { reset_page_run(); }

    temp_dir dir;

    // Opens words as the input, listed from start with the given -n value.
    void open_input(const std::vector<uint32_t>& words, uint32_t start, int32_t n,
                    bool little_endian = false) {
        std::string bytes;
        for (uint32_t w : words)
            for (int i = 0; i < 4; ++i) {
                int shift = little_endian ? 8 * i : 24 - 8 * i;
                bytes += static_cast<char>(w >> shift & 0xff);
            }
        settings.input = std::fopen(dir.write("dump.bin", bytes).c_str(), "rb");
        settings.offset = start;
        settings.start = start;
        settings.size = 0x7fffffff;
        settings.line_budget = n;
        if (little_endian) settings.flags |= flag::little_endian;
    }

    // Runs the pre-pass and returns what it wrote on stderr.
    static std::string prepass() {
        ::testing::internal::CaptureStderr();
        html_prepass();
        return ::testing::internal::GetCapturedStderr();
    }

    std::vector<uint32_t> starts() const {
        return std::vector<uint32_t>(pages.starts.begin(), pages.starts.begin() + pages.count);
    }
};

// Functions of the given length in words, each ending with jr $ra and its delay slot.
std::vector<uint32_t> functions(int count, int length) {
    std::vector<uint32_t> words;
    for (int f = 0; f < count; ++f) {
        for (int i = 0; i < length - 2; ++i) words.push_back(0x27bdfff8);
        words.push_back(jr_ra);
        words.push_back(0);
    }
    return words;
}

// The page of a by the plain rule: step on from page 1 while the start is at or below a.
bool linear_page_of(uint32_t a, uint32_t* page_start) {
    if (pages.count == 0 || a < pages.starts[0] || a >= pages.paged_end) return false;
    int i = 1;
    while (i < pages.count && pages.starts[i] <= a) ++i;
    *page_start = pages.starts[i - 1];
    return true;
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(PageSet, PageLookupAgreesWithLinearRule) {
    // The documented example, then irregular page sizes with a last start
    // past the end of the range.
    pages.count = 2;
    pages.starts[0] = 0x1000;
    pages.starts[1] = 0x1400;
    pages.paged_end = 0x1800;
    uint32_t page = 0;
    ASSERT_TRUE(html_page_of(0x13fc, &page));
    EXPECT_EQ(page, 0x1000u);
    ASSERT_TRUE(html_page_of(0x1400, &page));
    EXPECT_EQ(page, 0x1400u);
    EXPECT_FALSE(html_page_of(0x1800, &page));
    EXPECT_FALSE(html_page_of(0xffc, &page));

    for (int count : {1, 2, 3, 7, 64, 1000, page_capacity}) {
        reset_page_set();
        uint32_t a = 0xbfc00000;
        for (int i = 0; i < count; ++i) {
            pages.starts[i] = a;
            a += 8 + 4 * static_cast<uint32_t>((i * 37) % 13);
        }
        pages.count = count;
        pages.paged_end = pages.starts[count - 1] - (count > 1 ? 4 : 0);
        if (count == 1) pages.paged_end += 0x40;
        for (uint32_t x = pages.starts[0] - 8; x != pages.paged_end + 16; x += 4) {
            uint32_t expected = 0, got = 0;
            bool linked = linear_page_of(x, &expected);
            ASSERT_EQ(html_page_of(x, &got), linked) << count << " " << std::hex << x;
            if (linked) {
                ASSERT_EQ(got, expected) << count << " " << std::hex << x;
            }
        }
    }
}

TEST_F(PageSet, PageLookupOverAWideRangeWithCrowdedStarts) {
    // Thousands of pages close together at the bottom of a range that runs
    // almost to the top of memory, then a few far apart: many starts share
    // one stretch of the lookup. Checked at, just before and just after every
    // start, and at points between the far ones.
    for (uint32_t end : {0xfffffff0u, 0x80000000u}) {
        reset_page_set();
        int count = 0;
        uint32_t a = 0x100;
        for (; count < 5000; ++count, a += 8 + 4 * static_cast<uint32_t>(count % 3))
            pages.starts[count] = a;
        for (uint32_t far : {0x10000000u, 0x10000008u, 0x7ffffff0u, 0x90000000u})
            if (far < end) pages.starts[count++] = far;
        pages.count = count;
        pages.paged_end = end;
        std::vector<uint32_t> probes = {0xfc, 0x20000000, 0x7fffffec, 0x7ffffffc, end - 4, end};
        for (int i = 0; i < count; ++i)
            for (uint32_t delta : {0u, 4u, 0xfffffffcu}) probes.push_back(pages.starts[i] + delta);
        for (uint32_t x : probes) {
            uint32_t expected = 0, got = 0;
            bool linked = linear_page_of(x, &expected);
            ASSERT_EQ(html_page_of(x, &got), linked) << std::hex << end << " " << x;
            if (linked) {
                ASSERT_EQ(got, expected) << std::hex << end << " " << x;
            }
        }
    }
}

TEST_F(PageSet, PageLookupPassesOverStartBeyondTopOfMemory) {
    // A function end in the last words below 2^32 records a start that wraps
    // to 0; the listing never reaches it, so it must not be a link target.
    pages.count = 3;
    pages.starts[0] = 0xffffff00;
    pages.starts[1] = 0xffffff80;
    pages.starts[2] = 0x00000000;
    pages.paged_end = 0xfffffffc;
    uint32_t page = 0;
    ASSERT_TRUE(html_page_of(0xfffffff8, &page));
    EXPECT_EQ(page, 0xffffff80u);
    ASSERT_TRUE(html_page_of(0xffffff7c, &page));
    EXPECT_EQ(page, 0xffffff00u);
    EXPECT_FALSE(html_page_of(0, &page));
}

TEST_F(PageSet, PagesEndAtFirstFunctionEndPastTheSize) {
    // -n 50 with 40-word functions: two functions (80 words) to a page, the
    // next page starting right after the delay slot. Both byte orders.
    for (bool little : {false, true}) {
        reset_all();
        open_input(functions(5, 40), 0x80001000, 50, little);
        EXPECT_EQ(prepass(), "3 HTML files\n5 total functions\n");
        EXPECT_EQ(starts(), (std::vector<uint32_t>{0x80001000, 0x80001140, 0x80001280}));
        EXPECT_EQ(pages.paged_end, 0x80001000u + 200 * 4);
        EXPECT_EQ(pages.current, 0);
        std::fclose(settings.input);
        settings.input = nullptr;
    }
}

TEST_F(PageSet, ASwitchKeepsItsCasesInItsFunction) {
    // A jr $v0 whose cases reach into the third function: the returns of the
    // first two do not end a function, and no page ends there.
    std::vector<uint32_t> words = functions(5, 40);
    words[5] = 0x00400008;
    open_input(words, 0x80001000, 50);
    const case_reach reach[] = {{0x80001014, 0x80001000 + 4 * 90}};
    ::testing::internal::CaptureStderr();
    html_prepass(reach);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "3 HTML files\n3 total functions\n");
    EXPECT_EQ(starts(), (std::vector<uint32_t>{0x80001000, 0x800011e0, 0x80001320}));
}

TEST_F(PageSet, LongFunctionIsCutByLength) {
    // One function of 1000 words: with n <= 100 a page is forced when d / 6 > 100,
    // at the word 608 bytes in, so full pages hold 154 words. The function end
    // then records a start exactly at the end of the range.
    open_input(functions(1, 1000), 0x1000, 50);
    EXPECT_EQ(prepass(), "8 HTML files\n1 total functions\n");
    std::vector<uint32_t> expected;
    for (uint32_t w : {0, 154, 308, 462, 616, 770, 924, 1000}) expected.push_back(0x1000 + 4 * w);
    EXPECT_EQ(starts(), expected);
    EXPECT_EQ(pages.paged_end, 0x1000u + 4000);
    uint32_t page = 0;
    ASSERT_TRUE(html_page_of(0x1000 + 3996, &page));
    EXPECT_EQ(page, 0x1000u + 4 * 924);
    EXPECT_FALSE(html_page_of(0x1000 + 4000, &page));
}

TEST_F(PageSet, WithoutPageSizeTheRangeIsOnePage) {
    open_input(functions(300, 40), 0x400, INT_MAX);
    EXPECT_EQ(prepass(), "1 HTML files\n300 total functions\n");
    EXPECT_EQ(starts(), std::vector<uint32_t>{0x400});
}

TEST_F(PageSet, PrepassLeavesListingReadyToStart) {
    // A long forward branch early on must not hide function ends from the
    // listing: the tracking state is reset. The budget is lifted and the input
    // is back at the start address.
    std::vector<uint32_t> words(64, 0);
    words[2] = 0x10000100; // beq $0,$0,+0x100
    open_input(words, 0x2000, 5);
    settings.offset = 0x1ff8; // the start lies 8 bytes into the file
    settings.size = 40;
    prepass();
    EXPECT_EQ(pages.paged_end, 0x2000u + 40);
    EXPECT_EQ(settings.line_budget, INT_MAX);
    EXPECT_EQ(std::ftell(settings.input), 8);
    EXPECT_EQ(function_end_check(end_check::query, 0x2010, jr_ra), 1);
}

TEST_F(PageSet, EmptyRangeStillCountsOnePage) {
    open_input({jr_ra, 0}, 0x3000, 50);
    settings.size = 0;
    EXPECT_EQ(prepass(), "1 HTML files\n0 total functions\n");
    EXPECT_EQ(pages.paged_end, 0x3000u);
    uint32_t page = 0;
    EXPECT_FALSE(html_page_of(0x3000, &page));
}

TEST_F(PageSet, PrepassStopsAtEndOfInputLeavingPartWord) {
    // A part word at the end is not listed, within a block of reading and right
    // after a full one.
    for (int words : {2, 1024}) {
        reset_all();
        std::string bytes(static_cast<size_t>(4 * words + 3), '\0');
        settings.input = std::fopen(dir.write("part.bin", bytes).c_str(), "rb");
        settings.offset = settings.start = 0x5000;
        settings.size = 0x7fffffff;
        settings.line_budget = INT_MAX;
        prepass();
        EXPECT_EQ(pages.paged_end, 0x5000u + 4 * words) << words;
        std::fclose(settings.input);
        settings.input = nullptr;
    }
}

TEST_F(PageSet, PrepassStopsAtTenThousandPages) {
    // With -n 1, jr $ra every fourth word ends a page every four words.
    std::vector<uint32_t> words;
    for (int i = 0; i < 10100; ++i) words.insert(words.end(), {jr_ra, 0, 0, 0});
    open_input(words, 0, 1);
    std::string counts = prepass();
    EXPECT_EQ(counts.substr(0, counts.find('\n')), "10000 HTML files");
    ASSERT_EQ(pages.count, page_capacity);
    EXPECT_EQ(pages.starts[1], 24u);
    EXPECT_EQ(pages.starts[page_capacity - 1], 24u + 16 * 9998);
    // The word that ended the last page lies outside the paged range.
    EXPECT_EQ(pages.paged_end, pages.starts[page_capacity - 1] - 8);
    uint32_t page = 0;
    ASSERT_TRUE(html_page_of(pages.paged_end - 4, &page));
    EXPECT_EQ(page, pages.starts[page_capacity - 2]);
    EXPECT_FALSE(html_page_of(pages.paged_end, &page));
}

// Lists the words from..to as bare lines through the page switch.
void list_lines(uint32_t from, uint32_t to) {
    for (uint32_t a = from; a != to; a += 4) {
        html_page_switch(a);
        out_format("\t%08x:\n", a);
    }
}

TEST_F(PageSet, PagesLinkBothWaysAndSummaryPagesFollow) {
    // Three written pages and a fourth start at the very end of the range,
    // which is counted but never written or linked.
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path);
    std::filesystem::create_directory(dir.path / "out");
    settings.html_dir = "out";
    settings.input_path = "dump.bin";
    pages.count = 4;
    pages.starts = {0x100, 0x120, 0x140, 0x160};
    pages.paged_end = 0x160;
    add_symbol(0x124, "second", "");
    sort_symbols();

    list_lines(0x100, 0x160);
    print_address(0x124, nullptr); // a jump target as the decoder prints and counts it
    record_call_target(0x124);
    out_char('\n');
    ::testing::internal::CaptureStderr();
    html_close_pages();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "1 call targets\n1 map symbols\n");
    std::filesystem::current_path(cwd);

    EXPECT_EQ(read_file(dir.path / "index.htm"),
              "<HTML>\n<HEAD>\n<META HTTP-EQUIV=refresh CONTENT=\"0; URL=out/00000100.htm\">\n"
              "</HEAD>\n</HTML>\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path / "out" / "00000160.htm"));
    std::string first = read_file(dir.path / "out" / "00000100.htm");
    std::string middle = read_file(dir.path / "out" / "00000120.htm");
    std::string last = read_file(dir.path / "out" / "00000140.htm");
    EXPECT_EQ(first.find("Previous Page"), std::string::npos);
    EXPECT_NE(first.find("\t0000011c:\n</B></PRE>\n<A HREF=00000120.htm>Next Page</A>\n"),
              std::string::npos);
    EXPECT_NE(middle.find("<TITLE>00000120.htm</TITLE>"), std::string::npos);
    EXPECT_NE(middle.find("<A HREF=00000100.htm>Previous Page</A>\n"
                          "<A HREF=symbols.htm>Symbol Map</A>\n"
                          "<A HREF=calls.htm>Call Statistics</A>\n<PRE><B>\n\t00000120:\n"),
              std::string::npos);
    EXPECT_NE(middle.find("<A HREF=00000140.htm>Next Page</A>"), std::string::npos);
    EXPECT_NE(last.find("<A HREF=00000120.htm>Previous Page</A>"), std::string::npos);
    EXPECT_EQ(last.find("Next Page"), std::string::npos);
    EXPECT_NE(last.find("\t0000015c:\n<A HREF=00000120.htm#00000124>0x124</A>\n</B></PRE>\n"),
              std::string::npos);

    std::string calls = read_file(dir.path / "out" / "calls.htm");
    EXPECT_NE(
        calls.find("<H2>Call Statistics</H2>\n<A HREF=symbols.htm>Symbol Map</A>\n<PRE><B>\n"
                   "    4\tHTML files\n    0\ttotal functions\n    1\tcall targets\n"
                   "    1\tmap symbols\n\n"
                   "    1.\t    1\t<A HREF=00000120.htm#00000124>0x124</A>\tsecond               \n"
                   "</B></PRE>\n</BODY>\n</HTML>\n"),
        std::string::npos)
        << calls;
    // Every start is listed, the one past the range without a link.
    std::string symbols = read_file(dir.path / "out" / "symbols.htm");
    EXPECT_NE(symbols.find("<PRE><B>\n<A HREF=00000100.htm#00000100>0x100</A>\n"
                           "<A HREF=00000120.htm#00000120>0x120</A>\n"
                           "\t00000124\t<A HREF=00000120.htm#00000124>second</A>\t\t\t\n"
                           "<A HREF=00000140.htm#00000140>0x140</A>\n0x160\n</B></PRE>\n"),
              std::string::npos)
        << symbols;
}

TEST_F(PageSet, OwnRedirectPageIsReplacedAndJumpTargetsAreMarked) {
    // An index.htm that this program wrote does not stop the pre-pass, which
    // marks the words that the pages link to: the page starts and the targets
    // of j and jal, also a target that only a later word names.
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path);
    dir.write("index.htm",
              "<HTML>\n<HEAD>\n<META HTTP-EQUIV=refresh CONTENT=\"0; URL=old.htm\">\n");
    std::vector<uint32_t> words(40, 0);
    words[3] = 0x08000424;  // j 0x1090
    words[30] = 0x0c000402; // jal 0x1008
    open_input(words, 0x1000, 10);
    prepass();
    std::filesystem::current_path(cwd);
    const std::vector<uint32_t> page_starts = starts();
    EXPECT_EQ(page_starts, std::vector<uint32_t>{0x1000});
    for (uint32_t a = 0x1000; a < 0x10a0; a += 4) {
        const bool linked = a == 0x1000 || a == 0x1008 || a == 0x1090;
        EXPECT_EQ(html_links_to(a), linked) << std::hex << a;
    }
}

TEST_F(PageSet, RedirectToDrivePathIsFileUrl) {
    // A directory whose second character is ':' reads as a Windows drive path.
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path);
    std::filesystem::create_directory(dir.path / "C:");
    settings.html_dir = "C:";
    settings.input_path = "dump.bin";
    pages.count = 1;
    pages.starts[0] = 0x80001000;
    pages.paged_end = 0x80001004;
    list_lines(0x80001000, 0x80001004);
    ::testing::internal::CaptureStderr();
    html_close_pages();
    ::testing::internal::GetCapturedStderr();
    std::filesystem::current_path(cwd);
    std::string index = read_file(dir.path / "index.htm");
    EXPECT_NE(index.find("CONTENT=\"0; URL=file://C:/80001000.htm\">"), std::string::npos) << index;
    EXPECT_TRUE(std::filesystem::exists(dir.path / "C:" / "80001000.htm"));
}

TEST_F(PageSet, SummaryPagesPadAndEscapeNamesByTheirOwnLength) {
    settings.html_dir = dir.text.c_str();
    settings.input_path = "obj.o";
    // Object names holding markup, and map names of each tab class.
    add_symbol(0x10, "a<b>", "", true);         // 4 characters, 3 tabs
    add_symbol(0x20, "seven_7", "c7");          // 7: 3 tabs
    add_symbol(0x30, "eight_88", "c8");         // 8: 2 tabs
    add_symbol(0x40, "fifteen_fifteen", "c15"); // 15: 2 tabs
    add_symbol(0x50, "sixteen_sixteen_", "c16");
    add_symbol(0x60, "", "only a comment");            // not from a map file: counted
    add_symbol(0x70, "x&\"y\"&z_long_name", "", true); // 17 characters
    sort_symbols();
    for (uint32_t a : {0x10u, 0x70u}) record_call_target(a);
    ::testing::internal::CaptureStderr();
    html_close_pages();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "2 call targets\n7 map symbols\n");

    std::string calls = read_file(dir.path / "calls.htm");
    EXPECT_NE(calls.find("    1.\t    1\t0x70\tx&amp;&quot;y&quot;&amp;z_long_name    \n"
                         "    2.\t    1\t0x10\ta&lt;b&gt;                 \n"),
              std::string::npos)
        << calls;
    std::string symbols = read_file(dir.path / "symbols.htm");
    EXPECT_NE(symbols.find("<PRE><B>\n"
                           "\t00000010\ta&lt;b&gt;\t\t\t\n"
                           "\t00000020\tseven_7\t\t\tc7\n"
                           "\t00000030\teight_88\t\tc8\n"
                           "\t00000040\tfifteen_fifteen\t\tc15\n"
                           "\t00000050\tsixteen_sixteen_\tc16\n"
                           "\t00000070\tx&amp;&quot;y&quot;&amp;z_long_name\t\n"
                           "</B></PRE>\n"),
              std::string::npos)
        << symbols;
}

TEST_F(PageSet, CallStatisticsListFiveHundredHighestAddresses) {
    settings.html_dir = dir.text.c_str();
    settings.input_path = "dump.bin";
    for (uint32_t i = 0; i < 600; ++i)
        for (uint32_t k = 0; k <= i % 3; ++k) record_call_target(0x1000 + 4 * ((i * 7) % 600));
    ::testing::internal::CaptureStderr();
    html_close_pages();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "600 call targets\n0 map symbols\n");
    std::string calls = read_file(dir.path / "calls.htm");
    EXPECT_NE(calls.find("  600\tcall targets\n"), std::string::npos);
    // Highest address first, numbered from 1, and nothing after rank 500.
    uint32_t rank_one = 0x1000 + 4 * 599;
    int count_one = static_cast<int>((599 * 343 % 600) % 3) + 1; // i with i * 7 = 599 mod 600
    char line[64];
    std::snprintf(line, sizeof line, "\n    1.\t%5d\t0x%x\n", count_one, rank_one);
    EXPECT_NE(calls.find(line), std::string::npos) << line;
    std::snprintf(line, sizeof line, "\n  500.\t");
    EXPECT_NE(calls.find(line), std::string::npos);
    EXPECT_EQ(calls.find("\n  501.\t"), std::string::npos);
    std::snprintf(line, sizeof line, "\t0x%x\n</B></PRE>", 0x1000 + 4 * 100);
    EXPECT_NE(calls.find(line), std::string::npos);
}

} // namespace
