#include <gtest/gtest.h>

#include <string>

#include "object/elf_map.h"
#include "object_test_support.h"

namespace {

TEST(ElfMap, MakesValidMapNames) {
    const std::string longest(elf_name_limit, 'x');
    const struct {
        std::string elf, map;
    } cases[] = {
        {"main", "main"},
        {"main.cold", "main_cold"},
        {"1abc", "_1abc"},
        {"cafe", "_cafe"},
        {"_cafe", "_cafe"},
        {"a-b$c@d", "a_b_c_d"},
        {"\xc3\xa9t\xc3\xa9", "__t__"},
        {longest + "y", longest},
        {"9" + longest, "_9" + longest.substr(2)},
    };
    for (const auto& c : cases) {
        char text[elf_name_limit + 1];
        const int length = map_name_of(c.elf, text);
        EXPECT_EQ(std::string(text), c.map) << c.elf;
        EXPECT_EQ(length, int(c.map.size())) << c.elf;
    }
}

// A file of one code section (1) and a symbol table (2) whose string table is
// section link (3 when right); the symbols go (0x1234, code) and an absolute
// _gp (0x8000) follow the null symbol.
struct elf_map_file {
    temp_dir dir;
    elf_builder b;
    uint32_t link = 3, go_name = 1;
    std::string strings = std::string("\0go\0_gp\0", 8);
    int64_t symbols_at = -1, strings_at = -1;

    std::string write() {
        const std::string symbols = b.symbol(0, 0, 0, 0, 0) +
                                    b.symbol(go_name, 0x1234, 8, 0x12, 1) +
                                    b.symbol(4, 0x8000, 0, 0x10, 0xfff1);
        b.sections = {{".text", 1, std::string(16, '\0'), -1, -1, 0x6},
                      {".symtab", 2, symbols, -1, symbols_at, 0, link},
                      {".strtab", 3, strings, -1, strings_at}};
        return dir.write("t.elf", b.build());
    }
};

TEST(ElfMap, ReadsTheFilesOwnByteOrderAndItsGp) {
    for (bool big : {true, false}) {
        elf_map_file file;
        file.b.big = big;
        const std::string path = file.write();
        reset_run_state();
        settings.flags = big ? flag::little_endian : 0;
        read_elf_map(path.c_str());
        ASSERT_EQ(symbol_count, 1) << big;
        EXPECT_STREQ(symbol_table[0].name, "go");
        EXPECT_EQ(symbol_table[0].address, 0x1234u);
        EXPECT_EQ(settings.gp_value, 0x8000u);
    }
    reset_run_state();
}

TEST(ElfMap, CraftedTablesEndWithAMessage) {
    const struct {
        void (*change)(elf_map_file&);
        const char* message;
    } cases[] = {
        {[](elf_map_file& f) { f.link = 9; }, "t.elf: bad string table index\a\n$"},
        {[](elf_map_file& f) { f.go_name = 8; }, "t.elf: symbol name beyond the string table\a\n$"},
        {[](elf_map_file& f) { f.strings.resize(3); },
         "t.elf: symbol name without terminator\a\n$"},
        {[](elf_map_file& f) { f.symbols_at = 0x100000; }, "t.elf: symbol read error\a\n$"},
        {[](elf_map_file& f) { f.strings_at = 0x100000; }, "t.elf: symbol read error\a\n$"},
    };
    for (const auto& c : cases) {
        elf_map_file file;
        c.change(file);
        const std::string path = file.write();
        reset_run_state();
        EXPECT_EXIT(read_elf_map(path.c_str()), ::testing::ExitedWithCode(255), c.message);
    }
}

} // namespace
