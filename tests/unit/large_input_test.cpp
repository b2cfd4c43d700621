// Inputs larger than the blocks the program reads and patches them in: the
// listing's input blocks, the object loader's kept blocks and image patches,
// and the symbol lookup that starts from its last answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "driver/listing_loop.h"
#include "html/call_targets.h"
#include "html/page_elements.h"
#include "html/page_set.h"
#include "listing/data_display.h"
#include "listing/labels.h"
#include "listing/line_end.h"
#include "object/object_symbols.h"
#include "object_test_support.h"
#include "symbols/symbol_table.h"
#include "test_support.h"

namespace {

std::string big_endian_words(const std::vector<uint32_t>& values) {
    std::string s;
    for (uint32_t v : values)
        for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>(v >> shift);
    return s;
}

// A symbol name of 9 to 48 characters, different for every index.
std::string long_name(int i) {
    char text[80];
    std::snprintf(text, sizeof text, "name_%d_%.*s", i, i % 41,
                  std::string(41, char('a' + i % 26)).c_str());
    return text;
}

} // namespace

// Many symbols with long names (the string table spans several read blocks,
// names cross their edges) and patches all over a code section of more than
// one patch block, in no particular order, some across a block edge and some
// overlapping: every name must come out whole, and the image must hold the
// code with the patches applied in relocation order.
TEST(LargeInputs, ObjectLoadReadsNamesAndPatchesAcrossBlocks) {
    for (bool big : {true, false}) {
        temp_dir dir;
        elf_builder b;
        b.big = big;
        const int code_words = 6000; // 24000 bytes
        const int named = 600;
        std::string text;
        for (int i = 0; i < code_words; ++i) text += b.word(0x8f990000u | uint32_t(i));
        std::string strtab(1, '\0');
        std::string symtab = b.symbol(0, 0, 0, 0, 0);
        for (int i = 0; i < named; ++i) {
            symtab += b.symbol(uint32_t(strtab.size()), uint32_t(4 * i), 4, 0x12, 1);
            strtab += long_name(i) + '\0';
        }
        ASSERT_GT(strtab.size(), 3 * 4096u);
        // Scattered word offsets, then offsets that straddle the edges of the
        // 16384-byte patch blocks for every placement of .text in the file.
        std::vector<std::array<uint32_t, 3>> relocations;
        for (int j = 0; j < code_words; j += 1)
            relocations.push_back({uint32_t(4 * ((j * 2357) % code_words)), uint32_t(1 + j % named),
                                   j % 2 ? 11u : 9u});
        for (uint32_t odd = 16370; odd < 16390; ++odd)
            relocations.push_back({odd, uint32_t(1 + odd % named), 9});
        std::string rel;
        for (const auto& r : relocations) rel += b.relocation(r[0], r[1], uint8_t(r[2]));
        b.sections = {{".text", 1, text},     {".data", 1, b.word(1) + b.word(2)},
                      {".bss", 8, "", 0x100}, {".symtab", 2, symtab},
                      {".strtab", 3, strtab}, {".rel.text", 9, rel}};
        std::string path = dir.write(big ? "big.o" : "little.o", b.build());
        load_path(path);

        for (int i = 0; i < named; ++i) {
            std::string name = long_name(i);
            int at = find_symbol(name.substr(0, 48).c_str(), false);
            ASSERT_GE(at, 0) << name;
            EXPECT_EQ(symbol_table[size_t(at)].address, 0x10000000u + 4 * uint32_t(i)) << name;
        }

        // The model: the code with each patch written in turn.
        std::string expected = text;
        for (const auto& r : relocations) {
            uint32_t at = r[0] + (big ? 2 : 0);
            std::string half = b.half(uint16_t(r[1] * 4));
            expected.replace(at, 2, half);
        }
        std::fflush(settings.input);
        std::string image = file_bytes(settings.image_path);
        uint32_t text_position = 0x10000000u - object.file_delta;
        ASSERT_GE(image.size(), text_position + text.size());
        EXPECT_EQ(image.substr(text_position, text.size()), expected) << (big ? "big" : "little");
        // The bytes behind the code are those of the object: data, and the
        // bss cleared.
        EXPECT_EQ(image.substr(text_position + text.size(), 8), b.word(1) + b.word(2));
        end_load();
    }
}

// A listing of several input blocks, with $gp data displays that read other
// parts of the same input between its words: every word is listed once, in
// order, and a part word at the end is left out.
TEST(LargeInputs, ListingGoesOnAfterDisplaysAcrossBlocks) {
    temp_dir dir;
    reset_run_state();
    settings.function_extension = 500;
    settings.size = 0x7fffffff;
    settings.line_budget = 0x7fffffff;
    settings.offset = 0x80000000;
    settings.start = 0x80000000;
    settings.gp_value = 0x80008000;
    const int count = 3 * 16384 / 4 + 123;
    std::vector<uint32_t> values;
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
        // lw $v0,offset($gp) to all over the input, a text now and then,
        // else plain arithmetic.
        if (i % 3 == 0)
            values.push_back(0x8f820000u | (random() & 0xfffc));
        else if (i % 101 == 0)
            values.push_back(0x48656c6c); // "Hell"
        else
            values.push_back(0x00851021u | uint32_t(i % 7) << 11); // addu
    }
    std::string bytes = big_endian_words(values) + "xy";
    settings.input = zo_fopen(dir.write("in.bin", bytes).c_str(), "rb");
    std::string listing;
    {
        output_capture out;
        list_words();
        listing = out.text();
    }
    std::vector<uint32_t> listed;
    size_t at = 0;
    while ((at = listing.find('\t', at)) != std::string::npos) {
        unsigned address = 0, word = 0;
        if (std::sscanf(listing.c_str() + at, "\t%8x:    %8x\t", &address, &word) == 2) {
            ASSERT_EQ(address, 0x80000000u + 4 * listed.size());
            listed.push_back(word);
        }
        at = listing.find('\n', at);
        if (at == std::string::npos) break;
    }
    EXPECT_EQ(listed, values);
    EXPECT_NE(listing.find("# 8000"), std::string::npos); // displays were written
}

// The lookup that starts from its last answer (its own, or a caller's) gives
// the binary search's answer whatever came before: sequential and random
// questions, a table that grows and is sorted again in between, and the empty
// table.
TEST(LargeInputs, SymbolLookupFromLastAnswerMatchesTheSearch) {
    reset_symbol_table();
    std::mt19937 random(11);
    int walker = 0;
    auto check = [&](uint32_t a) {
        int expected = first_symbol_by_search(a);
        ASSERT_EQ(first_symbol_at(a), expected) << std::hex << a;
        ASSERT_EQ(first_symbol_at(walker, a), expected) << std::hex << a;
    };
    check(0);
    check(0xffffffff);
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 500; ++i) {
            uint32_t a = 0x1000 + (random() % 0x8000) * 4;
            char name[20];
            std::snprintf(name, sizeof name, "s%d_%d", round, i);
            add_symbol(a, name, "");
            if (i % 50 == 0) add_symbol(a, "", "note"); // entries sharing an address
        }
        // Asked before the sort as well: a guess must never be trusted blindly.
        for (uint32_t a = 0x1000; a < 0x3000; a += 4) {
            int i = first_symbol_at(walker, a);
            ASSERT_TRUE(i >= 0 && i <= symbol_count);
        }
        sort_symbols();
        for (uint32_t a = 0; a < 0x24000; a += 4) {
            check(a);
            if (a % 64 == 0) check(uint32_t(random())); // a jump target in between
        }
        for (uint32_t a = 0x24000; a > 0; a -= 12) check(a);
    }
    reset_symbol_table();
    check(0x1000);
    check(0);
}

// The sort puts the entries in the order a stable sort by address and name
// gives: shuffled entries with shared addresses and repeated names (which
// keep the order they were added in, told apart here by their comments),
// an already sorted table, and one sorted but for its last entry.
TEST(LargeInputs, SortMatchesAStableSortByAddressAndName) {
    std::mt19937 random(5);
    for (int round = 0; round < 3; ++round) {
        reset_symbol_table();
        std::vector<symbol_entry> added;
        const int n = round == 0 ? 5000 : 400;
        for (int i = 0; i < n; ++i) {
            uint32_t a = round == 1 ? uint32_t(4 * i) : uint32_t(random() % 700) * 4;
            char name[16], comment[16];
            std::snprintf(name, sizeof name, "%c%u", 'a' + char(random() % 3),
                          unsigned(random() % 4));
            std::snprintf(comment, sizeof comment, "%d", i);
            add_symbol(a, random() % 10 == 0 ? "" : name, comment);
            added.push_back(symbol_table[size_t(i)]);
        }
        if (round == 2) {
            add_symbol(0, "last", "x");
            added.push_back(symbol_table[size_t(n)]);
        }
        std::stable_sort(added.begin(), added.end(),
                         [](const symbol_entry& a, const symbol_entry& b) {
                             if (a.address != b.address) return a.address < b.address;
                             return std::strcmp(a.name, b.name) < 0;
                         });
        sort_symbols();
        ASSERT_EQ(symbol_count, int(added.size()));
        for (size_t i = 0; i < added.size(); ++i) {
            ASSERT_EQ(symbol_table[i].address, added[i].address) << i;
            ASSERT_STREQ(symbol_table[i].name, added[i].name) << i;
            ASSERT_STREQ(symbol_table[i].comment, added[i].comment) << i;
        }
        // The name index follows the moved entries: a name finds its first
        // entry in the new order.
        for (size_t i = 0; i < added.size(); ++i) {
            if (added[i].name[0] == '\0') continue;
            int first = find_symbol(added[i].name, false);
            ASSERT_GE(first, 0);
            EXPECT_LE(size_t(first), i);
            EXPECT_STREQ(symbol_table[size_t(first)].name, added[i].name);
        }
    }
    reset_symbol_table();
}

// The map reader's add-unless-named: one entry per exact name ('@' and '*'
// forms are names of their own), the existing entry's index for a repeat,
// and the table's limit as add_symbol has it.
TEST(LargeInputs, NewSymbolIsAddedOncePerName) {
    reset_symbol_table();
    EXPECT_EQ(add_new_symbol(0x10, "main", "first"), -1);
    EXPECT_EQ(add_new_symbol(0x20, "@main", ""), -1);
    EXPECT_EQ(add_new_symbol(0x30, "*main", nullptr), -1);
    EXPECT_EQ(add_new_symbol(0x40, "main", "again"), 0);
    EXPECT_EQ(add_new_symbol(0x10, "@main", ""), 1);
    ASSERT_EQ(symbol_count, 3);
    EXPECT_STREQ(symbol_table[0].comment, "first");
    EXPECT_STREQ(symbol_table[2].comment, "");
    EXPECT_EQ(find_symbol("main", false), 0);
    EXPECT_EQ(find_symbol("*main", false), 2);
    // A name that is a prefix of another, or the same name cut from a longer text.
    const char text[] = "mainly";
    EXPECT_EQ(add_new_symbol(0x50, std::string_view(text, 4), ""), 0);
    EXPECT_EQ(add_new_symbol(0x50, text, ""), -1);
    EXPECT_EQ(find_symbol("mainly", false), 3);

    for (int i = symbol_count; i < symbol_capacity; ++i) add_symbol(uint32_t(i), nullptr, "c");
    EXPECT_EQ(add_new_symbol(0x10, "main", ""), 0); // a repeat still needs no room
    EXPECT_EXIT(add_new_symbol(0, "one_more", nullptr), ::testing::ExitedWithCode(255),
                "^map: too many symbols\a\n$");
    reset_symbol_table();
}

// The address filter may say "perhaps" for an address without an entry, but
// never "no" for one with an entry, whichever way the entry was added and
// wherever it lies (unaligned, at the top of memory, 1 MiB apart).
TEST(LargeInputs, AddressFilterNeverMissesAnEntry) {
    reset_symbol_table();
    std::mt19937 random(7);
    std::vector<uint32_t> added;
    for (int i = 0; i < 5000; ++i) {
        uint32_t a = random();
        if (i % 3 == 0) a &= ~3u;
        added.push_back(a);
        if (i % 2 == 0)
            add_symbol(a, nullptr, "c");
        else {
            char name[16];
            std::snprintf(name, sizeof name, "n%d", i);
            add_new_symbol(a, name, nullptr);
        }
    }
    for (uint32_t a : {0u, 0xfffffffcu, 0xffffffffu, 0x80100000u, 0x80200001u}) {
        added.push_back(a);
        add_symbol(a, "x", "");
    }
    sort_symbols();
    int nameless = 0;
    for (uint32_t a : added) EXPECT_TRUE(entry_may_stand_at(a)) << std::hex << a;
    for (int i = 0; i < 20000; ++i) {
        uint32_t a = random();
        if (!entry_may_stand_at(a)) {
            ++nameless;
            int at = first_symbol_by_search(a);
            EXPECT_TRUE(at == symbol_count || symbol_table[size_t(at)].address != a);
        }
    }
    EXPECT_GT(nameless, 15000); // it does filter
    reset_symbol_table();
    EXPECT_FALSE(entry_may_stand_at(0xfffffffcu));
}

// Plain numbers of up to 8 digits take a short way; longer ones, and
// everything else, the general rule (saturation at 9 significant digits,
// leading zeros, names).
TEST(LargeInputs, PlainNumbersReadAsTheGeneralRuleReads) {
    reset_symbol_table();
    add_symbol(0x1234, "abcg", "");
    struct {
        const char* text;
        int result;
        uint32_t value;
    } cases[] = {
        {"80000000", 0, 0x80000000},
        {"0x0", 0, 0},
        {"0x", 0, 0},
        {"0X1f", 0, 0x1f},
        {"FfFfFfFf", 0, 0xffffffff},
        {"123456789", 0, 0xffffffff},
        {"000000001", 0, 1},
        {"0x000000010", 0, 0x10},
        {"0x123456789", 0, 0xffffffff},
        {"7", 0, 7},
        {"abcg", 0, 0x1234},
        {"0xabcg", 0, 0x1234},
        {"", -1, 0},
        {"0x0x1", 0, 1},
        {"12g", -1, 0},
        {"10+0x", 0, 0x10},
        {"-10", 0, 0xfffffff0},
        {"1 ", -1, 0},
    };
    for (const auto& c : cases) {
        uint32_t value = 0xdeadbeef;
        EXPECT_EQ(parse_address(c.text, &value), c.result) << c.text;
        if (c.result == 0) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    reset_symbol_table();
}

namespace {

struct SymbolMapPage : ::testing::Test {
    temp_dir dir;
    void SetUp() override {
        reset_page_run();
        settings.html_dir = dir.text.c_str();
        settings.input_path = "dump.bin";
    }
    void TearDown() override { reset_run_state(); }
    // The lines of symbols.htm between its <PRE><B> and </B></PRE>.
    std::string symbol_lines() {
        ::testing::internal::CaptureStderr();
        html_close_pages();
        ::testing::internal::GetCapturedStderr();
        std::ifstream in(dir.path / "symbols.htm", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        std::string page = s.str();
        // A Windows build writes its pages with CR LF line ends.
        std::erase(page, '\r');
        size_t from = page.find("<PRE><B>\n") + 9;
        return page.substr(from, page.find("</B></PRE>") - from);
    }
};

} // namespace

// Page starts are listed where entries of their own would sort: before the
// names at their address, among the comment-only entries (which are not
// listed), and after everything below them; the pages themselves stay as they
// were for the links.
TEST_F(SymbolMapPage, PageStartsStandAmongTheNames) {
    add_symbol(0x80, "below", "");
    add_symbol(0x100, "at_first", "c");
    add_symbol(0x100, "", "only a comment");
    add_symbol(0x118, "inside", "");
    add_symbol(0x120, "at_second", "");
    add_symbol(0x120, "@at_second", "");
    add_symbol(0x200, "above", "");
    sort_symbols();
    pages.count = 3;
    pages.starts = {0x100, 0x120, 0x180};
    pages.paged_end = 0x1c0;
    EXPECT_EQ(symbol_lines(), "\t00000080\tbelow\t\t\t\n"
                              "<A HREF=00000100.htm#00000100>0x100</A>\n"
                              "\t00000100\t<A HREF=00000100.htm#00000100>at_first</A>\t\tc\n"
                              "\t00000118\t<A HREF=00000100.htm#00000118>inside</A>\t\t\t\n"
                              "<A HREF=00000120.htm#00000120>0x120</A>\n"
                              "\t00000120\t<A HREF=00000120.htm#00000120>@at_second</A>\t\t\n"
                              "\t00000120\t<A HREF=00000120.htm#00000120>at_second</A>\t\t\n"
                              "<A HREF=00000180.htm#00000180>0x180</A>\n"
                              "\t00000200\tabove\t\t\t\n");
    EXPECT_EQ(symbol_count, 7);
    EXPECT_EQ(pages.starts[2], 0x180u);
}

// A start recorded past the top of memory wraps round below the others: the
// starts are then sorted in with the entries.
TEST_F(SymbolMapPage, WrappedStartIsSortedIn) {
    add_symbol(0x4, "low", "");
    add_symbol(0xfffffff8, "high", "");
    sort_symbols();
    pages.count = 2;
    pages.starts = {0xfffffff0, 0x8};
    pages.paged_end = 0xfffffffc;
    EXPECT_EQ(symbol_lines(), "\t00000004\tlow\t\t\t\n"
                              "0x8\n"
                              "<A HREF=fffffff0.htm#fffffff0>0xfffffff0</A>\n"
                              "\tfffffff8\t<A HREF=fffffff0.htm#fffffff8>high</A>\t\t\t\n");
}

// The page starts count against the table's limit: exactly full is fine,
// one more ends the program as adding them would.
TEST_F(SymbolMapPage, PageStartsCountAgainstTheLimit) {
    for (int i = 0; i < symbol_capacity - 2; ++i) add_symbol(uint32_t(4 * i), nullptr, "c");
    pages.count = 2;
    pages.starts = {0x100, 0x200};
    pages.paged_end = 0x300;
    EXPECT_EQ(symbol_lines(), "<A HREF=00000100.htm#00000100>0x100</A>\n"
                              "<A HREF=00000200.htm#00000200>0x200</A>\n");
    reset_symbol_table();
    reset_call_targets();
    for (int i = 0; i < symbol_capacity - 1; ++i) add_symbol(uint32_t(4 * i), nullptr, "c");
    EXPECT_EXIT(html_close_pages(), ::testing::ExitedWithCode(255),
                "^0 call targets\n29999 map symbols\nmap: too many symbols\a\n$");
}
