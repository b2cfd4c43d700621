// Map files at the limits: a full symbol table, zero bytes inside lines.
#include <gtest/gtest.h>

#include <string>

#include "symbols/map_file.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/zo.h"

namespace {

struct MalformedMap : ::testing::Test {
    temp_dir dir;
    void SetUp() override { reset_run_state(); }
    void TearDown() override { reset_run_state(); }
};

// A map of count symbols g0, g1, ... four bytes apart.
std::string numbered_map(int count) {
    std::string text;
    char line[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "%x g%d\n", 4 * i, i);
        text += line;
    }
    return text;
}

TEST_F(MalformedMap, TableTakes30000SymbolsAndRefusesOneMore) {
    std::string fits = dir.write("fits.map", numbered_map(30000));
    read_map_file(fits.c_str());
    EXPECT_EQ(symbol_count, 30000);

    reset_symbol_table();
    std::string over = dir.write("over.map", numbered_map(30001));
    child_result result = run_child([&] { read_map_file(over.c_str()); });
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.err, "map: too many symbols\a\n");
}

TEST_F(MalformedMap, ZeroByteNeitherHidesAnOverlongLineNorSplitsIt) {
    // A zero byte early in a line of 250 characters: the line is still too
    // long, and its rest never comes back as a line of its own.
    std::string line = "8 short";
    line += '\0';
    line += std::string(242, 'x');
    std::string path = dir.write("zero_byte.map", "0 main\n" + line + "\n");
    child_result result = run_child([&] { read_map_file(path.c_str()); });
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.err, path + ": line 2 too long (max 200 chars, but 199 / last 0x78)\n"
                                 "'8 short'\a\n");

    // In a line that fits, the zero byte only ends what is read of it.
    std::string fits = dir.write("fits.map", std::string("0 main the\0rest\n4 next\n", 23));
    read_map_file(fits.c_str());
    ASSERT_EQ(symbol_count, 2);
    EXPECT_STREQ(symbol_table[0].comment, "the");
    EXPECT_STREQ(symbol_table[1].name, "next");
}

} // namespace
