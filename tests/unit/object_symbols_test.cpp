#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "mips/byte_order.h"
#include "object/object_symbols.h"
#include "object_test_support.h"

namespace {

// An object with 0x40 bytes of code (lw $v0,0x5555($gp) everywhere), 8 bytes
// of data, 0x100 bytes of bss, the given symbols (after the null symbol) and
// relocations of .text.
struct symbol_def {
    const char* name;
    uint32_t value, size;
    uint8_t info;
    uint16_t section;
};

std::string make_object(bool big, const std::vector<symbol_def>& symbols,
                        const std::vector<std::array<uint32_t, 3>>& relocations,
                        uint32_t filler_symbols = 0) {
    elf_builder b;
    b.big = big;
    std::string text;
    for (int i = 0; i < 16; ++i) text += b.word(0x8f825555);
    std::string strtab(1, '\0');
    std::string symtab = b.symbol(0, 0, 0, 0, 0);
    for (const symbol_def& s : symbols) {
        symtab += b.symbol(uint32_t(strtab.size()), s.value, s.size, s.info, s.section);
        strtab += std::string(s.name) + '\0';
    }
    // Unnamed local symbols that are not entered, to reach high indexes.
    for (uint32_t i = 0; i < filler_symbols; ++i) symtab += b.symbol(0, 0, 0, 0, 1);
    std::string rel;
    for (const auto& r : relocations) rel += b.relocation(r[0], r[1], uint8_t(r[2]));
    b.sections = {{".text", 1, text},     {".data", 1, b.word(1) + b.word(2)},
                  {".bss", 8, "", 0x100}, {".symtab", 2, symtab},
                  {".strtab", 3, strtab}, {".rel.text", 9, rel}};
    return b.build();
}

const symbol_entry* entry_named(const char* name) {
    int i = find_symbol(name, false);
    return i < 0 ? nullptr : &symbol_table[size_t(i)];
}

// The image word at an image address, in the object's byte order.
uint32_t image_word(uint32_t address) {
    unsigned char bytes[4];
    std::fflush(settings.input);
    zo_fseek(settings.input, int32_t(address - object.file_delta));
    EXPECT_EQ(zo_fread(settings.input, 4, bytes), 4);
    return assemble_word(bytes);
}

int comments_named(const char* comment) {
    int n = 0;
    for (int i = 0; i < symbol_count; ++i)
        if (std::strcmp(symbol_table[size_t(i)].comment, comment) == 0) ++n;
    return n;
}

} // namespace

TEST(ObjectSymbols, PlacesAndEntersEachKindOfSymbol) {
    temp_dir dir;
    std::vector<symbol_def> symbols = {
        {"file.c", 0, 0, 0x04, 0xfff1},   // 1 file symbol
        {"", 0, 0, 0x03, 1},              // 2 section symbol
        {"main", 0x20, 0x10, 0x12, 1},    // 3 function
        {"loop", 0x28, 0, 0x00, 1},       // 4 local label
        {"count", 4, 4, 0x11, 2},         // 5 global in .data
        {"buf", 0, 0x100, 0x01, 3},       // 6 local in .bss
        {"stub", 0x30, 0, 0x12, 1},       // 7 function of size 0
        {"abs", 0x1234, 4, 0x11, 0xfff1}, // 8 absolute
        {"table", 4, 64, 0x11, 0xfff2},   // 9 common: its value is an alignment
        {"ptr", 8, 4, 0x11, 0},           // 10 undefined of a size: a data name
        {"other", 0, 0, 0x11, 0},         // 11 undefined object of size 0
        {"printf", 0, 0, 0x10, 0},        // 12 undefined global
    };
    std::string path = dir.write("syms.o", make_object(true, symbols, {}));
    load_path(path);
    const uint32_t text = 0x10000000, data = 0x10000040, bss = 0x10000048;
    EXPECT_EQ(entry_named("main")->address, text + 0x20);
    EXPECT_TRUE(entry_named("main")->from_input);
    EXPECT_EQ(entry_named("@count")->address, data + 4);
    EXPECT_EQ(entry_named("@buf")->address, bss);
    EXPECT_EQ(entry_named("@abs")->address, 0x20008000u + 0x1234);
    EXPECT_EQ(entry_named("@table")->address, 0x20009000u);
    EXPECT_EQ(entry_named("@ptr")->address, 0x2000a000u + 8);
    EXPECT_EQ(entry_named("printf")->address, 0x2000c000u);
    for (const char* absent : {"file.c", "@file.c", "loop", "stub", "@other", "other", "@"})
        EXPECT_EQ(entry_named(absent), nullptr) << absent;

    // Every symbol has its GPA slot, the ones not entered too.
    const uint32_t gpa = object.gpa_start;
    EXPECT_EQ(gpa, bss + 0x100);
    EXPECT_EQ(object.gpa_end, gpa + 13 * 4);
    const uint32_t slots[13] = {0x20000000, 0x20001000, text,        text + 0x20, text + 0x28,
                                data + 4,   bss,        text + 0x30, 0x20009234,  0x20009000,
                                0x2000a008, 0x2000b000, 0x2000c000};
    for (uint32_t i = 0; i < 13; ++i) EXPECT_EQ(image_word(gpa + 4 * i), slots[i]) << i;
    end_load();
}

TEST(ObjectSymbols, PatchesGotOffsetsInTheObjectsByteOrder) {
    temp_dir dir;
    std::vector<symbol_def> symbols(7, symbol_def{"s", 0, 0, 0, 1});
    // type 11 for symbol 7 at 0x20, type 9 for symbol 3 at 0x24
    std::vector<std::array<uint32_t, 3>> rels = {{0x20, 7, 11}, {0x24, 3, 9}};
    for (bool big : {true, false}) {
        std::string path = dir.write(big ? "be.o" : "le.o", make_object(big, symbols, rels));
        load_path(path);
        EXPECT_EQ(image_word(0x10000020), 0x8f82001cu) << big;
        EXPECT_EQ(image_word(0x10000024), 0x8f82000cu) << big;
        EXPECT_EQ(image_word(0x1000001c), 0x8f825555u) << big;
        EXPECT_EQ(image_word(0x10000028), 0x8f825555u) << big;
        end_load();
    }
    // The offset is the symbol index times 4, modulo 65536.
    std::string many = dir.write("many.o", make_object(true, {}, {{0x10, 16384, 9}}, 16384));
    load_path(many);
    EXPECT_EQ(image_word(0x10000010), 0x8f820000u);
    end_load();
}

TEST(ObjectSymbols, HighHalvesGetACommentUnlessNoGpa) {
    temp_dir dir;
    std::string path =
        dir.write("hi.o", make_object(true, {{"x", 0, 4, 0x11, 2}}, {{0x38, 1, 5}, {0x3c, 1, 6}}));
    load_path(path);
    int i = first_symbol_at(0x10000038);
    ASSERT_LT(i, symbol_count);
    EXPECT_EQ(symbol_table[size_t(i)].address, 0x10000038u);
    EXPECT_STREQ(symbol_table[size_t(i)].comment, "GPA relocation");
    EXPECT_EQ(comments_named("GPA relocation"), 1);
    end_load();

    // -NG: no comments, no @BGPA, but the GPA is written all the same.
    load_path(path, flag::no_gpa);
    EXPECT_EQ(comments_named("GPA relocation"), 0);
    EXPECT_EQ(comments_named("$gp=BGPA"), 0);
    EXPECT_EQ(entry_named("@BGPA"), nullptr);
    EXPECT_EQ(object.gpa_end - object.gpa_start, 8u);
    EXPECT_EQ(image_word(object.gpa_start + 4), 0x10000040u);
    end_load();
}

TEST(ObjectSymbols, RefusesRelocationsItCannotApply) {
    temp_dir dir;
    std::vector<symbol_def> one = {{"f", 0, 8, 0x12, 1}};
    auto refused = [&](const char* name, std::vector<std::array<uint32_t, 3>> rels, bool big,
                       uint32_t flags, const char* message) {
        std::string path = dir.write(name, make_object(big, one, rels));
        EXPECT_EXIT(load_path(path, flags), ::testing::ExitedWithCode(255), message) << name;
        EXPECT_FALSE(std::filesystem::exists(path + "_")) << name;
    };
    refused("jump.o", {{0, 1, 4}}, true, 0, "jump.o: unimplemented relocation type 4");
    refused("word.o", {{0, 1, 2}}, true, flag::skip_jump_relocs,
            "word.o: unimplemented relocation type 2");
    refused("jalr.o", {{0, 1, 37}}, true, 0, "jalr.o: unimplemented relocation type 37");
    // The two patched bytes must lie inside .text (0x40 bytes).
    refused("end_be.o", {{0x3e, 1, 11}}, true, 0, "end_be.o: bad relocation");
    refused("end_le.o", {{0x3f, 1, 9}}, false, 0, "end_le.o: bad relocation");
    refused("far.o", {{0xfffffffe, 1, 9}}, true, 0, "far.o: bad relocation");
    // The symbol index must be below the number of symbols (here 2).
    refused("index.o", {{0, 2, 9}}, true, 0, "index.o: bad relocation");

    // -T passes over type 4; a patch of the last two bytes of a little-endian
    // .text is inside it.
    std::string ok = dir.write("ok.o", make_object(false, one, {{0, 1, 4}, {0x3e, 1, 9}}));
    load_path(ok, flag::skip_jump_relocs);
    EXPECT_EQ(image_word(0x1000003c), 0x00045555u);
    end_load();
}
