#include <gtest/gtest.h>

#include <string>

#include "object/linked_object.h"
#include "object_test_support.h"

namespace {

// An object of two code words with one relocation, a .data word, a .reginfo
// that is not placed and a .bss; symbols: null, the .data section, a
// function go in .text at 4, an undefined global ext, an absolute one at
// 0x80000000.
struct one_relocation {
    uint32_t offset = 0, symbol = 2, type = 4;
    uint32_t bss_size = 32;

    std::string write(temp_dir& dir) const {
        elf_builder b;
        const std::string text = b.word(0x0c000000) + b.word(0x10000000);
        const std::string strtab = std::string("\0go\0ext\0io\0", 11);
        const std::string symtab = b.symbol(0, 0, 0, 0, 0) + b.symbol(0, 0, 0, 0x03, 3) +
                                   b.symbol(1, 4, 4, 0x12, 1) + b.symbol(4, 0, 0, 0x10, 0) +
                                   b.symbol(8, 0x80000000, 0, 0x10, 0xfff1);
        b.sections = {{".text", 1, text, -1, -1, 0x6, 0, 0, 16},
                      {".rel.text", 9, b.relocation(offset, symbol, uint8_t(type)), -1, -1, 0,
                       4, 1},
                      {".data", 1, b.word(0), -1, -1, 0x3, 0, 0, 8},
                      {".symtab", 2, symtab, -1, -1, 0, 5},
                      {".strtab", 3, strtab},
                      {".reginfo", 0x70000006, std::string(24, '\0'), -1, -1, 0x2},
                      {".bss", 8, "", bss_size, -1, 0x3, 0, 0, 16}};
        return dir.write("r.o", b.build());
    }
};

} // namespace

TEST(LinkedObject, PlacesSectionsAndTheGlobalPointerArea) {
    temp_dir dir;
    load_path(one_relocation{}.write(dir), flag::elf_image);
    // .text at the base, .data at 8, .reginfo passed over, .bss at 16 for its
    // alignment; $gp right behind it, a slot for each of the five symbols.
    EXPECT_EQ(linked.image_end, 0x10000030u);
    EXPECT_EQ(linked.gp, 0x10000030u);
    EXPECT_EQ(linked.gpa_end, 0x10000044u);
    EXPECT_EQ(settings.gp_value, 0x10000030u);
    EXPECT_EQ(settings.size, 0x44);
    const int f = find_symbol("go", false), ext = find_symbol("ext", false);
    ASSERT_GE(f, 0);
    ASSERT_GE(ext, 0);
    EXPECT_EQ(symbol_table[size_t(f)].address, 0x10000004u);
    EXPECT_EQ(symbol_table[size_t(ext)].address, 0x1f000030u);
    EXPECT_GE(find_symbol("@_bss", false), 0);
    EXPECT_LT(find_symbol("@_reginfo", false), 0);
    end_load();
    reset_run_state();
}

TEST(LinkedObject, RelocationsThatCanNotBeAppliedEndTheRun) {
    const struct {
        one_relocation object;
        const char* message;
    } cases[] = {
        {{0, 2, 3}, "r.o: unimplemented relocation type 3\a\n$"},
        {{8, 2, 4}, "r.o: bad relocation\a\n$"},               // past the section
        {{0, 5, 4}, "r.o: bad relocation\a\n$"},               // past the symbol table
        {{4, 3, 10}, "r.o: bad relocation\a\n$"},              // PC16 to an undefined symbol
        {{0, 4, 4}, "r.o: bad relocation\a\n$"},               // a jump out of the region
        {{0, 2, 4, 0x10000000}, "r.o: image too large\a\n$"}, // into the made-up addresses
    };
    for (const auto& c : cases) {
        temp_dir dir;
        const std::string path = c.object.write(dir);
        EXPECT_EXIT(load_path(path, flag::elf_image), ::testing::ExitedWithCode(255), c.message)
            << c.object.type;
    }
    reset_run_state();
}

// The placed sections of every object that ld.lld linked alone at the same
// places (tests/objects/linked/make.sh) hold the words it made, byte for byte.
TEST(LinkedObject, ImagesHoldTheWordsOfTheLinker) {
    const std::string dir = PELORIN_LINKED_OBJECTS;
    FILE* manifest = std::fopen((dir + "/manifest.txt").c_str(), "r");
    ASSERT_NE(manifest, nullptr) << dir;
    char line[512];
    int compared = 0;
    while (std::fgets(line, sizeof line, manifest) != nullptr) {
        char object[200], reference[200];
        unsigned end = 0, gp = 0;
        if (line[0] == '#' || std::sscanf(line, "%199s %199s %x %x", object, reference, &end, &gp) != 4)
            continue;
        load_path(dir + "/" + object, flag::elf_image);
        EXPECT_EQ(linked.image_end, end) << object;
        EXPECT_EQ(linked.gp, gp) << object;
        const std::string expected = file_bytes(dir + "/" + reference);
        std::string image(expected.size(), '\0');
        std::rewind(settings.input);
        EXPECT_EQ(std::fread(image.data(), 1, image.size(), settings.input), image.size()) << object;
        for (size_t i = 0; i < image.size(); i += 4)
            if (image.compare(i, 4, expected, i, 4) != 0) {
                ADD_FAILURE() << object << ": the words at " << std::hex << 0x10000000 + i
                              << " differ";
                break;
            }
        end_load();
        ++compared;
    }
    std::fclose(manifest);
    EXPECT_GE(compared, 6);
    reset_run_state();
}
