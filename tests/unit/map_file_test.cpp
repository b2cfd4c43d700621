#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "symbols/map_file.h"
#include "symbols/symbol_table.h"
#include "test_support.h"

namespace {

struct MapFile : ::testing::Test {
    temp_dir dir;
    void SetUp() override { reset_symbol_table(); }
    void TearDown() override { reset_symbol_table(); }
    // Writes a map file of the given text and reads it.
    void read(const std::string& text, const std::string& name = "test.map") {
        read_map_file(dir.write(name, text).c_str());
    }
    std::string path(const std::string& name = "test.map") { return (dir.path / name).string(); }
};

// Entries as "address name|comment" lines, in table order.
std::vector<std::string> entries() {
    std::vector<std::string> lines;
    for (int i = 0; i < symbol_count; ++i) {
        char buffer[300];
        std::snprintf(buffer, sizeof buffer, "%x %s|%s", symbol_table[i].address,
                      symbol_table[i].name, symbol_table[i].comment);
        lines.push_back(buffer);
    }
    return lines;
}

using lines = std::vector<std::string>;

TEST_F(MapFile, ReadsSymbolsCommentsAndSkipsTheRest) {
    read("1000 main\n"
         "0x1000 @buf  the buffer  # hidden\n"
         "\n"
         "#1000 hidden\n"
         "   # only a comment\n"
         "2000\tfunc\t\tcomment\twith tab\r\n"
         "3000 dup#x\n"
         "main+8 main_loop\n"
         "4000 // note about 4000\n"
         "5000 //\n"
         "5000 //   \n"
         "6000 *star #\n");
    EXPECT_EQ(entries(), (lines{"1000 @buf|the buffer  ", "1000 main|", "1008 main_loop|",
                                "2000 func|comment\twith tab", "3000 dup|", "4000 |note about 4000",
                                "6000 *star|"}));
    EXPECT_EQ(comment_only_count, 1);
}

TEST_F(MapFile, RepeatsAtTheSameAddressAreIgnoredAndPrefixesAreDistinct) {
    read("1000 main first\n"
         "1000 main other comment\n"
         "0x1000 main\n"
         "1000 @main\n"
         "1000 *main\n");
    EXPECT_EQ(entries(), (lines{"1000 *main|", "1000 @main|", "1000 main|first"}));
    EXPECT_EXIT(read("1000 main\n\n2000 main\n"), ::testing::ExitedWithCode(255),
                "test.map: symbol 'main' redefined\a\n$");
}

TEST_F(MapFile, LaterFilesUseEarlierSymbolsNotTheOtherWayRound) {
    read("80001000 @table\n", "a.map");
    read("table+10 entry\n80000000 base\n", "b.map");
    EXPECT_EQ(entries(), (lines{"80000000 base|", "80001000 @table|", "80001010 entry|"}));
    EXPECT_EXIT(read("later+4 early\n1000 later\n", "c.map"), ::testing::ExitedWithCode(255),
                "c.map: bad value in line 1\a\n$");
}

TEST_F(MapFile, ChecksRunInOrderAndNameThePhysicalLine) {
    // Blank lines and lines of only line-end characters count.
    EXPECT_EXIT(read("\n\r\n\n  \n1000\n"), ::testing::ExitedWithCode(255),
                "test.map: bad format in line 5\a\n$");
    // One word only is a format error even when it is no valid value.
    EXPECT_EXIT(read("1000 a_ok\nzz # main\n"), ::testing::ExitedWithCode(255),
                "test.map: bad format in line 2\a\n$");
    EXPECT_EXIT(read("zz main\n"), ::testing::ExitedWithCode(255),
                "test.map: bad value in line 1\a\n$");
    // A bad value is reported before a bad or special symbol.
    EXPECT_EXIT(read("# start\nzz 9lives\n"), ::testing::ExitedWithCode(255),
                "test.map: bad value in line 2\a\n$");
    EXPECT_EXIT(read("zz // comment\n"), ::testing::ExitedWithCode(255),
                "test.map: bad value in line 1\a\n$");
    EXPECT_EXIT(read("1000 +x\n"), ::testing::ExitedWithCode(255),
                "test.map: bad symbol in line 1\a\n$");
    EXPECT_EXIT(read_map_file(path("missing.map").c_str()), ::testing::ExitedWithCode(255),
                "missing.map: No such file or directory\a\n$");
}

TEST_F(MapFile, RejectsBadSymbols) {
    for (const char* name : {"abc", "ABC12", "9lives", "@", "*", "my-func", "@@x", "*@x", "@9a",
                             "a.b", "//x", "@dead", "x\x80y"}) {
        EXPECT_EXIT(read(std::string("1000 ") + name + "\n"), ::testing::ExitedWithCode(255),
                    "test.map: bad symbol in line 1\a\n$")
            << name;
    }
}

TEST_F(MapFile, AcceptsGoodSymbols) {
    read("1000 abg\n1001 _1\n1002 *g0\n1003 @_\n1004 Z\n1005 aaaaaaaaG\n");
    EXPECT_EQ(entries(), (lines{"1000 abg|", "1001 _1|", "1002 *g0|", "1003 @_|", "1004 Z|",
                                "1005 aaaaaaaaG|"}));
}

TEST_F(MapFile, OddBytesStayInsideTheLine) {
    // A NUL ends the line's text; bytes above 0x7f are kept in comments; a CR
    // inside the line ends the comment.
    read(std::string("1000 a_nul\0 2000 hidden\n", 24) + "1004 hi \xe9t\xe9\xff\n"
                                                         "1008 cr  before\rafter\n"
                                                         "100c sym\r\n"
                                                         "1010 @x\r\r\r\n");
    EXPECT_EQ(entries(), (lines{"1000 a_nul|", "1004 hi|\xe9t\xe9\xff", "1008 cr|before",
                                "100c sym|", "1010 @x|"}));

    // The longest line that fits: 198 characters and the LF.
    reset_symbol_table();
    std::string comment(198 - 10, 'c');
    read("1000 long " + comment + "\n");
    ASSERT_EQ(symbol_count, 1);
    EXPECT_EQ(symbol_table[0].comment, comment);
}

} // namespace
