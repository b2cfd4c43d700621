#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "html/address_links.h"
#include "html/call_targets.h"
#include "html/page_set.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/output.h"

namespace {

struct SymbolTable : ::testing::Test {
    void SetUp() override { reset_run_state(); }
    void TearDown() override { reset_run_state(); }
};

// The value of an expression, or a marker text when it does not read.
std::string parsed(const char* text) {
    uint32_t value = 0x5a5a5a5a;
    if (parse_address(text, &value) != 0) return "fail";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", value);
    return buffer;
}

std::vector<std::string> names_in_order() {
    std::vector<std::string> names;
    for (int i = 0; i < symbol_count; ++i) names.push_back(symbol_table[i].name);
    return names;
}

TEST_F(SymbolTable, HexNumbersReadLikeStrtoulIntoThirtyTwoBits) {
    EXPECT_EQ(parsed("1000"), "1000");
    EXPECT_EQ(parsed("0X1f"), "1f");
    EXPECT_EQ(parsed("DeadBeef"), "deadbeef");
    EXPECT_EQ(parsed("0x"), "0");         // empty rest after the 0x
    EXPECT_EQ(parsed("0x0x10"), "10");    // the converter takes a second 0x itself
    EXPECT_EQ(parsed(" \t10"), "10");     // leading white space is skipped
    EXPECT_EQ(parsed("-10"), "fffffff0"); // negated modulo 2^32
    EXPECT_EQ(parsed("-0x10"), "fffffff0");
    EXPECT_EQ(parsed("-0"), "0");
    EXPECT_EQ(parsed("ffffffff"), "ffffffff");
    EXPECT_EQ(parsed("100000000"), "ffffffff");  // nine digits saturate
    EXPECT_EQ(parsed("00000000000000001"), "1"); // leading zeros are no overflow
    EXPECT_EQ(parsed("123456789abcdef0123"), "ffffffff");
    EXPECT_EQ(parsed("-100000000"), "ffffffff"); // saturation wins over the sign
}

TEST_F(SymbolTable, TextThatIsNotWhollyHexNeedsASymbol) {
    EXPECT_EQ(parsed(""), "fail");
    EXPECT_EQ(parsed("10 "), "fail");  // trailing blank not consumed, no such symbol
    EXPECT_EQ(parsed("0x0x"), "fail"); // converter stops after the second 0
    EXPECT_EQ(parsed("-"), "fail");
    EXPECT_EQ(parsed("0xg"), "fail");
    EXPECT_EQ(parsed("main"), "fail");
    add_symbol(0x80001000, "main", nullptr);
    add_symbol(0x1234, "0x", nullptr); // only an object could bring such a name
    EXPECT_EQ(parsed("main"), "80001000");
    EXPECT_EQ(parsed("0xmain"), "80001000"); // 0x is dropped before the lookup too
    EXPECT_EQ(parsed("0x0x"), "1234");
}

TEST_F(SymbolTable, SumsOfTerms) {
    add_symbol(0x80001000, "main", nullptr);
    EXPECT_EQ(parsed("1000+20"), "1020");
    EXPECT_EQ(parsed("main+10"), "80001010");
    EXPECT_EQ(parsed("a+b+c"), "21");
    EXPECT_EQ(parsed("0x10+0x20+main"), "80001030");
    EXPECT_EQ(parsed("main+-4"), "80000ffc");
    EXPECT_EQ(parsed("ffffffff+2"), "1"); // wraps
    EXPECT_EQ(parsed("+10"), "fail");
    EXPECT_EQ(parsed("10+"), "fail");
    EXPECT_EQ(parsed("10++1"), "fail");
    EXPECT_EQ(parsed("main+nothing"), "fail");
    EXPECT_EQ(parsed("nothing+main"), "fail");
    std::string chain = "1";
    for (int i = 0; i < 100000; ++i) chain += "+1";
    EXPECT_EQ(parsed(chain.c_str()), "186a1");
}

TEST_F(SymbolTable, DataPrefixRule) {
    add_symbol(0x100, "@buf", nullptr);
    add_symbol(0x200, "*star", nullptr);
    EXPECT_EQ(find_symbol("buf", true), 0);
    EXPECT_EQ(find_symbol("buf", false), -1);
    EXPECT_EQ(parsed("buf"), "100");
    EXPECT_EQ(parsed("buf+4"), "104");
    EXPECT_EQ(find_symbol("star", true), -1); // '*' is never implied
    EXPECT_EQ(find_symbol("*star", true), 1);

    add_symbol(0x300, "buf", nullptr);
    EXPECT_EQ(find_symbol("buf", true), 2); // a plain name wins over '@'
    EXPECT_EQ(find_symbol("@buf", true), 0);
    EXPECT_EQ(parsed("buf"), "300");

    add_symbol(0x400, "@only", nullptr);
    EXPECT_EQ(find_symbol("@@only", true), -1); // '@' is added once at most
    add_symbol(0x500, "abc_", nullptr);
    EXPECT_EQ(find_symbol("@abc_", true), -1); // '@x' never finds 'x'

    add_symbol(0x600, "dead", nullptr);
    EXPECT_EQ(parsed("dead"), "dead"); // a hex reading comes before the table
}

TEST_F(SymbolTable, FindsTheFirstEntryInTableOrderBeforeAndAfterSorting) {
    add_symbol(0x2000, "x", "second");
    add_symbol(0x1000, "x", "first");
    EXPECT_EQ(find_symbol("x", false), 0);
    EXPECT_STREQ(symbol_table[find_symbol("x", false)].comment, "second");
    sort_symbols();
    EXPECT_STREQ(symbol_table[find_symbol("x", false)].comment, "first");

    // Many names added in falling address order move on sorting; the lookup
    // must follow them to their new places.
    reset_symbol_table();
    char name[16];
    for (int i = 0; i < 2000; ++i) {
        std::snprintf(name, sizeof name, "s%d", i);
        add_symbol(static_cast<uint32_t>(0x10000 - i), name, nullptr);
    }
    sort_symbols();
    for (int i = 0; i < 2000; ++i) {
        std::snprintf(name, sizeof name, "s%d", i);
        int at = find_symbol(name, false);
        ASSERT_EQ(at, 1999 - i) << name;
        EXPECT_STREQ(symbol_table[at].name, name);
    }
}

TEST_F(SymbolTable, SortsByUnsignedAddressThenByNameStably) {
    add_symbol(0x1000, "beta", nullptr);
    add_symbol(0x1000, "@alpha", nullptr);
    add_symbol(0x80000000, "high", nullptr);
    add_symbol(0x1000, "alpha", nullptr);
    add_symbol(0x1000, nullptr, "just a note");
    add_symbol(0x1000, "Zed", nullptr);
    add_symbol(0x1000, "_u", nullptr);
    add_symbol(0x1000, "*star", nullptr);
    add_symbol(0x7fffffff, "low", nullptr);
    add_symbol(0x1000, "dup", "one");
    add_symbol(0x1000, "dup", "two");
    add_symbol(0x1000, "dup", "three");
    sort_symbols();
    EXPECT_EQ(names_in_order(),
              (std::vector<std::string>{"", "*star", "@alpha", "Zed", "_u", "alpha", "beta", "dup",
                                        "dup", "dup", "low", "high"}));
    EXPECT_STREQ(symbol_table[0].comment, "just a note");
    EXPECT_STREQ(symbol_table[7].comment, "one");
    EXPECT_STREQ(symbol_table[8].comment, "two");
    EXPECT_STREQ(symbol_table[9].comment, "three");
}

TEST_F(SymbolTable, FirstSymbolAtFindsTheLowerBound) {
    EXPECT_EQ(first_symbol_at(0), 0);
    add_symbol(0x3000, "c", nullptr);
    add_symbol(0x1000, "a", nullptr);
    add_symbol(0x2000, "b2", nullptr);
    add_symbol(0x2000, "b1", nullptr);
    sort_symbols();
    EXPECT_EQ(first_symbol_at(0), 0);
    EXPECT_EQ(first_symbol_at(0x1000), 0);
    EXPECT_EQ(first_symbol_at(0x1001), 1);
    EXPECT_EQ(first_symbol_at(0x2000), 1);
    EXPECT_EQ(first_symbol_at(0x3000), 3);
    EXPECT_EQ(first_symbol_at(0xffffffff), 4);
}

TEST_F(SymbolTable, KeepsItsOwnCopiesOfTexts) {
    char name[] = "name";
    char comment[] = "comment";
    add_symbol(0x10, name, comment, true);
    add_symbol(0x20, "", nullptr);
    std::strcpy(name, "XXXX");
    std::strcpy(comment, "XXXXXXX");
    EXPECT_STREQ(symbol_table[0].name, "name");
    EXPECT_STREQ(symbol_table[0].comment, "comment");
    EXPECT_TRUE(symbol_table[0].from_input);
    EXPECT_STREQ(symbol_table[1].name, "");
    EXPECT_STREQ(symbol_table[1].comment, "");
    EXPECT_FALSE(symbol_table[1].from_input);
}

TEST_F(SymbolTable, TextsStayIntactAcrossTheirRooms) {
    // Long names and comments fill the room beside the tables and then
    // blocks of their own, one larger than a block; each run starts afresh.
    auto name_of = [](int i) {
        std::string name = "name_" + std::to_string(i) + "_";
        name.append(static_cast<size_t>(i % 97), 'x');
        return name;
    };
    const std::string huge(100000, 'h');
    for (int run = 0; run < 2; ++run) {
        reset_symbol_table();
        for (int i = 0; i < symbol_capacity - 1; ++i) {
            std::string name = name_of(i);
            add_symbol(static_cast<uint32_t>(i) * 4, name.c_str(), (name + " comment").c_str());
            if (i == 20000) add_symbol(0xfffffffc, "huge", huge.c_str());
        }
        for (int i = 0; i < symbol_capacity - 1; ++i) {
            std::string name = name_of(i);
            int at = find_symbol(name.c_str(), false);
            ASSERT_GE(at, 0) << name;
            EXPECT_EQ(symbol_table[at].address, static_cast<uint32_t>(i) * 4);
            EXPECT_EQ(std::string(symbol_table[at].comment), name + " comment");
        }
        int at = find_symbol("huge", false);
        ASSERT_GE(at, 0);
        EXPECT_EQ(std::string(symbol_table[at].comment), huge);
    }
}

TEST_F(SymbolTable, HoldsThirtyThousandEntriesAndNoMore) {
    for (int i = 0; i < symbol_capacity; ++i) add_symbol(static_cast<uint32_t>(i), nullptr, "c");
    EXPECT_EQ(symbol_count, symbol_capacity);
    EXPECT_EXIT(add_symbol(0, "one_more", nullptr), ::testing::ExitedWithCode(255),
                "^map: too many symbols\a\n$");
}

TEST_F(SymbolTable, PrintAddressInTextWritesTheNameOrTheNumber) {
    output_capture out;
    print_address(0x4000, nullptr);
    print_address(0x4000, "");
    print_address(0x8000, "main");
    print_address(0x9000, "a<b", true); // escaping is for HTML only
    EXPECT_EQ(out.text(), "0x40000x4000maina<b");
    // Printing counts nothing: the listing counts the jumps it writes.
    EXPECT_EQ(call_target_count, 0);
}

TEST_F(SymbolTable, PrintAddressLinksAddressesInThePagedRange) {
    settings.html_dir = "pages";
    pages.starts[0] = 0x1000;
    pages.starts[1] = 0x1400;
    pages.count = 2;
    pages.paged_end = 0x1800;
    output_capture out;
    print_address(0x13fc, nullptr);
    out_char('\n');
    print_address(0x1400, nullptr);
    out_char('\n');
    print_address(0x1800, nullptr);
    out_char('\n');
    print_address(0xffc, nullptr);
    out_char('\n');
    print_address(0x1000, "a<b>&\"c\"", true);
    out_char('\n');
    print_address(0x1000, "a<b", false);
    EXPECT_EQ(out.text(), "<A HREF=00001000.htm#000013fc>0x13fc</A>\n"
                          "<A HREF=00001400.htm#00001400>0x1400</A>\n"
                          "0x1800\n"
                          "0xffc\n"
                          "<A HREF=00001000.htm#00001000>a&lt;b&gt;&amp;&quot;c&quot;</A>\n"
                          "<A HREF=00001000.htm#00001000>a<b</A>");
}

} // namespace
