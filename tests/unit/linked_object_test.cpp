#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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
        b.sections = {
            {".text", 1, text, -1, -1, 0x6, 0, 0, 16},
            {".rel.text", 9, b.relocation(offset, symbol, uint8_t(type)), -1, -1, 0, 4, 1},
            {".data", 1, b.word(0), -1, -1, 0x3, 0, 0, 8},
            {".symtab", 2, symtab, -1, -1, 0, 5},
            {".strtab", 3, strtab},
            {".reginfo", 0x70000006, std::string(24, '\0'), -1, -1, 0x2},
            {".bss", 8, "", bss_size, -1, 0x3, 0, 0, 16}};
        return dir.write("r.o", b.build());
    }
};

// A relocation of the thread-local object and the word it makes.
struct tls_case {
    uint32_t type, symbol;
    uint32_t word;   // as a REL object holds it, its addend in the field
    int32_t addend;  // the addend of a RELA object, whose field holds rubbish
    uint32_t result; // the word in the image
};

// The thread-local object: its .text holds the words of the cases, relocated
// by REL or RELA entries; a .tdata of 8 bytes and a .tbss of 32 at 16
// follow, so that the TLS block starts 4 past a multiple of its alignment.
// Symbols: null, a (local, .tdata + 4), b (.tbss + 8), ext (undefined).
std::string write_tls_object(temp_dir& dir, const std::vector<tls_case>& cases, bool rela) {
    elf_builder b;
    std::string words, relocations;
    for (const tls_case& c : cases) {
        const bool whole = c.type == 38 || c.type == 39 || c.type == 47;
        relocations += b.relocation(uint32_t(words.size()), c.symbol, uint8_t(c.type));
        if (rela) relocations += b.word(uint32_t(c.addend));
        words += b.word(!rela ? c.word : whole ? 0x5a5a5a5a : (c.word & 0xffff0000) | 0x5a5a);
    }
    const std::string symtab = b.symbol(0, 0, 0, 0, 0) + b.symbol(1, 4, 4, 0x06, 3) +
                               b.symbol(3, 8, 4, 0x16, 4) + b.symbol(5, 0, 0, 0x16, 0);
    b.sections = {{".text", 1, words, -1, -1, 0x6, 0, 0, 16},
                  {".rel.text", rela ? 4u : 9u, relocations, -1, -1, 0, 5, 1},
                  {".tdata", 1, std::string(8, '\x11'), -1, -1, 0x403, 0, 0, 4},
                  {".tbss", 8, "", 32, -1, 0x403, 0, 0, 16},
                  {".symtab", 2, symtab, -1, -1, 0, 6},
                  {".strtab", 3, std::string("\0a\0b\0ext\0", 9)}};
    return dir.write("tls.o", b.build());
}

// The image of the object loaded, up to the end of its global pointer area.
std::string image_bytes() {
    std::string bytes(linked.gpa_end - linked_image_base, '\0');
    std::rewind(settings.input);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), settings.input));
    return bytes;
}

// The word at offset of bytes, in the byte order of the object loaded.
uint32_t word_at(const std::string& bytes, size_t offset) {
    uint32_t w = 0;
    for (size_t i = 0; i < 4; ++i)
        w |= uint32_t(uint8_t(bytes.at(offset + i)))
             << (has_flag(flag::little_endian) ? 8 * i : 24 - 8 * i);
    return w;
}

// The words of the linked objects that select a GOT slot (slots.txt): by
// object and address, what lld's slot holds.
std::map<std::pair<std::string, uint32_t>, std::vector<uint32_t>>
read_slot_words(const std::string& path) {
    std::map<std::pair<std::string, uint32_t>, std::vector<uint32_t>> words;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string object;
        uint32_t address = 0;
        if (line.empty() || line[0] == '#' || !(fields >> object >> std::hex >> address)) continue;
        for (uint32_t w; fields >> w;) words[{object, address}].push_back(w);
    }
    return words;
}

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
        {{8, 2, 4}, "r.o: bad relocation\a\n$"},              // past the section
        {{0, 5, 4}, "r.o: bad relocation\a\n$"},              // past the symbol table
        {{4, 3, 10}, "r.o: bad relocation\a\n$"},             // PC16 to an undefined symbol
        {{0, 4, 4}, "r.o: bad relocation\a\n$"},              // a jump out of the region
        {{0, 2, 4, 0x10000000}, "r.o: image too large\a\n$"}, // into the made-up addresses
        // Thread-local relocations of symbols outside the TLS sections: a
        // function, an absolute symbol, a section's own symbol.
        {{0, 2, 46}, "r.o: bad relocation\a\n$"},
        {{0, 4, 49}, "r.o: bad relocation\a\n$"},
        {{4, 1, 43}, "r.o: bad relocation\a\n$"},
        {{0, 2, 48}, "r.o: unimplemented relocation type 48\a\n$"}, // a 64-bit one
    };
    for (const auto& c : cases) {
        temp_dir dir;
        const std::string path = c.object.write(dir);
        EXPECT_EXIT(load_path(path, flag::elf_image), ::testing::ExitedWithCode(255), c.message)
            << c.object.type;
    }
    reset_run_state();
}

// Each thread-local relocation type, in REL and in RELA, on a block that
// starts 4 past a multiple of its alignment: the offsets from the thread
// pointer take the 4, as lld's relocations do. An undefined variable's
// offsets are the addend alone, and its own slot stands in for GOT slots.
// GOT slots hold their values without the addend.
TEST(LinkedObject, ThreadLocalRelocationsMakeTheWordsOfAStaticProgram) {
    // .text 0x10000000, .tdata 0x10000044, .tbss 0x10000050: a is at 4 of
    // the block, b at 0x14; $gp 0x10000070, four symbols' slots, then five of
    // their own.
    // clang-format off
    const std::vector<tls_case> cases = {
        // type                      symbol word     addend   result
        {elf::R_MIPS_TLS_TPREL_HI16,  1, 0x3c020234, 0x234,   0x3c020000},
        {elf::R_MIPS_TLS_TPREL_LO16,  1, 0x24420234, 0x234,   0x2442923c},
        {elf::R_MIPS_TLS_TPREL_HI16,  2, 0x3c03e000, -0x2000, 0x3c03ffff}, // rounded
        {elf::R_MIPS_TLS_TPREL_LO16,  2, 0x2463e000, -0x2000, 0x24637018},
        {elf::R_MIPS_TLS_DTPREL_HI16, 2, 0x3c040010, 0x10,    0x3c040000},
        {elf::R_MIPS_TLS_DTPREL_LO16, 2, 0x24840010, 0x10,    0x24848024},
        {elf::R_MIPS_TLS_GOTTPREL,    1, 0x8f850008, 8,       0x8f850010}, // slot 4
        {elf::R_MIPS_TLS_GD,          2, 0x27840008, 8,       0x27840014}, // slots 5, 6
        {elf::R_MIPS_TLS_LDM,         1, 0x27840000, 0,       0x2784001c}, // slots 7, 8
        {elf::R_MIPS_TLS_GOTTPREL,    3, 0x8f850000, 0,       0x8f85000c}, // ext's slot
        {elf::R_MIPS_TLS_GD,          3, 0x27840000, 0,       0x2784000c},
        {elf::R_MIPS_TLS_TPREL_LO16,  3, 0x24420010, 0x10,    0x24420010},
        {elf::R_MIPS_TLS_DTPREL_LO16, 3, 0x24c60008, 8,       0x24c68008},
        {elf::R_MIPS_TLS_DTPMOD32,    2, 0x55555555, 0x55,    1},
        {elf::R_MIPS_TLS_DTPREL32,    1, 0x30,       0x30,    0xffff8034},
        {elf::R_MIPS_TLS_TPREL32,     2, 0x20,       0x20,    0xffff9038},
        {elf::R_MIPS_TLS_DTPMOD32,    3, 0,          0,       1},
    };
    // clang-format on
    // a from the thread pointer; b's module and offset from the DTP; the
    // module's (LDM).
    const uint32_t own_slots[] = {0xffff9008, 1, 0xffff8014, 1, 0};
    for (bool rela : {false, true}) {
        temp_dir dir;
        load_path(write_tls_object(dir, cases, rela), flag::elf_image);
        EXPECT_EQ(linked.gpa_end, 0x10000070u + 4 * (4 + 5));
        const std::string image = image_bytes();
        for (size_t i = 0; i < cases.size(); ++i)
            EXPECT_EQ(word_at(image, 4 * i), cases[i].result) << "RELA " << rela << ", word " << i;
        for (size_t k = 0; k < std::size(own_slots); ++k)
            EXPECT_EQ(word_at(image, 0x70 + 4 * (4 + k)), own_slots[k]) << "RELA " << rela;
        end_load();
    }
    reset_run_state();
}

// The placed sections of every object that ld.lld linked alone at the same
// places (tests/objects/linked/make.sh) hold the words it made, byte for
// byte, but for the words that select a GOT slot, whose offsets from $gp
// differ between the two layouts: their upper halves are lld's, and the
// slots they select hold what lld's slot holds (an address, or the module
// and the offsets of a thread-local variable).
TEST(LinkedObject, ImagesHoldTheWordsOfTheLinker) {
    const std::string dir = PELORIN_LINKED_OBJECTS;
    const auto slot_words = read_slot_words(dir + "/slots.txt");
    FILE* manifest = std::fopen((dir + "/manifest.txt").c_str(), "r");
    ASSERT_NE(manifest, nullptr) << dir;
    char line[512];
    int compared = 0;
    size_t slots_compared = 0;
    while (std::fgets(line, sizeof line, manifest) != nullptr) {
        char object[200], reference[200];
        unsigned end = 0, gp = 0;
        if (line[0] == '#' ||
            std::sscanf(line, "%199s %199s %x %x", object, reference, &end, &gp) != 4)
            continue;
        load_path(dir + "/" + object, flag::elf_image);
        EXPECT_EQ(linked.image_end, end) << object;
        EXPECT_EQ(linked.gp, gp) << object;
        const std::string expected = file_bytes(dir + "/" + reference);
        const std::string image = image_bytes();
        ASSERT_GE(image.size(), expected.size()) << object;
        for (size_t i = 0; i < expected.size(); i += 4) {
            const auto slot = slot_words.find({object, linked_image_base + uint32_t(i)});
            if (slot == slot_words.end() && image.compare(i, 4, expected, i, 4) != 0) {
                ADD_FAILURE() << object << ": the words at " << std::hex << linked_image_base + i
                              << " differ";
                break;
            }
            if (slot == slot_words.end()) continue;
            const uint32_t ours = word_at(image, i);
            EXPECT_EQ(ours >> 16, word_at(expected, i) >> 16) << object << " " << i;
            const size_t at = linked.gp - linked_image_base + uint16_t(ours);
            for (size_t k = 0; k < slot->second.size(); ++k)
                EXPECT_EQ(word_at(image, at + 4 * k), slot->second[k]) << object << " " << i;
            ++slots_compared;
        }
        end_load();
        ++compared;
    }
    std::fclose(manifest);
    EXPECT_GE(compared, 12);
    EXPECT_EQ(slots_compared, slot_words.size());
    reset_run_state();
}
