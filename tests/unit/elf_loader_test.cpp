#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "mips/byte_order.h"
#include "object/elf_loader.h"
#include "object/object_symbols.h"
#include "object_test_support.h"

namespace {

// .text at file offset 0x34 of size 0x100, .data of 0x20 right behind it, a
// .bss of bss_size, and three symbols: null, main in .text, count in .data.
elf_builder example(bool big, uint32_t bss_size = 0x10) {
    elf_builder b;
    b.big = big;
    std::string text, data;
    for (uint32_t i = 0; i < 0x40; ++i) text += b.word(0x24020000 + i); // addiu $v0,$zero,i
    for (uint32_t i = 0; i < 8; ++i) data += b.word(0xa0a0a000 + i);
    std::string strtab = std::string("\0main\0count\0", 12);
    std::string symtab =
        b.symbol(0, 0, 0, 0, 0) + b.symbol(1, 0x40, 0x30, 0x12, 1) + b.symbol(6, 8, 4, 0x11, 2);
    b.sections = {{".text", 1, text},
                  {".data", 1, data},
                  {".bss", 8, "", bss_size},
                  {".symtab", 2, symtab},
                  {".strtab", 3, strtab}};
    return b;
}

uint32_t word_at(const std::string& bytes, size_t at, bool big) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t b = uint8_t(bytes[at + size_t(i)]);
        v |= big ? b << (24 - 8 * i) : b << (8 * i);
    }
    return v;
}

const symbol_entry* entry_named(const char* name) {
    int i = find_symbol(name, false);
    return i < 0 ? nullptr : &symbol_table[size_t(i)];
}

bool has_comment_at(uint32_t address, const char* comment) {
    for (int i = 0; i < symbol_count; ++i)
        if (symbol_table[size_t(i)].address == address && symbol_table[size_t(i)].name[0] == 0 &&
            std::strcmp(symbol_table[size_t(i)].comment, comment) == 0)
            return true;
    return false;
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

} // namespace

TEST(ElfLoader, LaysOutTheImageBehindTheCode) {
    temp_dir dir;
    std::string path = dir.write("prog.o", example(true).build());
    load_path(path);
    EXPECT_EQ(settings.start, 0x10000000u);
    EXPECT_EQ(settings.offset, 0x0fffffccu);
    EXPECT_EQ(settings.size, 0x130 + 3 * 4);
    EXPECT_EQ(object.text_end, 0x10000100u);
    EXPECT_EQ(object.bss_start, 0x10000120u);
    EXPECT_EQ(object.gpa_start, 0x10000130u);
    EXPECT_EQ(object.gpa_end, 0x1000013cu);
    EXPECT_FALSE(has_flag(flag::little_endian));
    ASSERT_NE(settings.image_path, nullptr);
    EXPECT_EQ(std::string(settings.image_path), path + "_");

    // Section symbols are the program's own names; object names come from the input.
    ASSERT_NE(entry_named("BTEXT"), nullptr);
    EXPECT_EQ(entry_named("BTEXT")->address, 0x10000000u);
    EXPECT_FALSE(entry_named("BTEXT")->from_input);
    EXPECT_EQ(entry_named("@BDATA")->address, 0x10000100u);
    EXPECT_EQ(entry_named("@BBSS")->address, 0x10000120u);
    EXPECT_EQ(entry_named("@BGPA")->address, 0x10000130u);
    EXPECT_EQ(entry_named("main")->address, 0x10000040u);
    EXPECT_TRUE(entry_named("main")->from_input);
    EXPECT_EQ(entry_named("@count")->address, 0x10000108u);
    EXPECT_TRUE(has_comment_at(0x10000000, "$gp=BGPA"));
    EXPECT_TRUE(has_comment_at(0x10000004, "$s7=BGPA"));
    // Sorted by address at the end of loading.
    for (int i = 1; i < symbol_count; ++i)
        EXPECT_LE(symbol_table[size_t(i - 1)].address, symbol_table[size_t(i)].address);

    // The image: code and data as in the object, zeros over the bss (and on
    // for the text, data and bss size rounded up to 1024 bytes), the GPA.
    std::fflush(settings.input);
    std::string image = file_bytes(path + "_");
    std::string object_bytes = file_bytes(path);
    EXPECT_EQ(image.substr(0, 0x154), object_bytes.substr(0, 0x154));
    ASSERT_EQ(image.size(), 0x154u + 0x400u);
    EXPECT_EQ(image.substr(0x154, 0x10), std::string(0x10, '\0'));
    EXPECT_EQ(word_at(image, 0x164, true), 0x20000000u);
    EXPECT_EQ(word_at(image, 0x168, true), 0x10000040u);
    EXPECT_EQ(word_at(image, 0x16c, true), 0x10000108u);
    EXPECT_EQ(image.substr(0x170), std::string(image.size() - 0x170, '\0'));
    // The input is now the image.
    EXPECT_EQ(std::string(zo_fname(settings.input)), path + "_");
    end_load();
    EXPECT_FALSE(exists(path + "_"));
}

TEST(ElfLoader, LittleEndianObjectIsReadAndWrittenLittleEndian) {
    temp_dir dir;
    std::string path = dir.write("prog.o", example(false).build());
    load_path(path);
    EXPECT_TRUE(has_flag(flag::little_endian));
    EXPECT_EQ(entry_named("main")->address, 0x10000040u);
    std::fflush(settings.input);
    std::string image = file_bytes(path + "_");
    EXPECT_EQ(word_at(image, 0x168, false), 0x10000040u);
    end_load();

    // -LE with a little-endian object changes nothing.
    load_path(path, flag::little_endian);
    EXPECT_EQ(settings.size, 0x130 + 3 * 4);
    end_load();
}

TEST(ElfLoader, LeavesOtherInputAlone) {
    temp_dir dir;
    std::string path = dir.write("dump.bin", std::string(60, 'x'));
    reset_settings();
    reset_object_loader();
    settings.input_path = path.c_str();
    settings.input = zo_fopen(path.c_str(), "rb");
    FILE* input = settings.input;
    settings.start = 0x80001000;
    settings.offset = 0x80000000;
    settings.size = 0x20;
    load_object(settings.start, settings.offset, settings.size);
    EXPECT_EQ(settings.start, 0x80001000u);
    EXPECT_EQ(settings.offset, 0x80000000u);
    EXPECT_EQ(settings.size, 0x20);
    EXPECT_EQ(settings.input, input);
    EXPECT_EQ(settings.image_path, nullptr);
    EXPECT_EQ(object.text_start, 0u);
    EXPECT_FALSE(exists(path + "_"));
    zo_fclose(input);
}

TEST(ElfLoader, RefusesInputsItCannotPlace) {
    temp_dir dir;
    std::string short_dump = dir.write("short.bin", std::string(20, 'x'));
    EXPECT_EXIT(load_path(short_dump), ::testing::ExitedWithCode(255),
                "short.bin: ELF header read error");

    // A section table past 2 GiB is not looked for from the end of the file.
    std::string far = example(true).build();
    elf_builder b = example(true);
    far.replace(32, 4, b.word(0xfffffff0));
    std::string far_path = dir.write("far.o", far);
    EXPECT_EXIT(load_path(far_path), ::testing::ExitedWithCode(255),
                "far.o: section header read error");

    // Sizes that push the image past what a file position can reach, or past
    // the 32-bit address space.
    std::string huge = dir.write("huge.o", example(true, 0x7fffff00).build());
    EXPECT_EXIT(load_path(huge), ::testing::ExitedWithCode(255), "huge.o: image too large");
    std::string wrap = dir.write("wrap.o", example(true, 0xf0000000).build());
    EXPECT_EXIT(load_path(wrap), ::testing::ExitedWithCode(255), "wrap.o: image too large");
    elf_builder distant = example(true);
    distant.sections[0].offset = 0x90000000;
    distant.sections[1].offset = 0x90000100;
    std::string distant_path = dir.write("distant.o", distant.build());
    EXPECT_EXIT(load_path(distant_path), ::testing::ExitedWithCode(255),
                "distant.o: image too large");

    // .bss before .data: the global pointer area would lie before the bss.
    elf_builder swapped = example(true);
    std::swap(swapped.sections[1], swapped.sections[2]);
    swapped.sections[1].offset = 0x134;
    std::string swapped_path = dir.write("swapped.o", swapped.build());
    EXPECT_EXIT(load_path(swapped_path), ::testing::ExitedWithCode(255),
                "swapped.o: bad order text/data");
    for (const char* name : {"far.o_", "huge.o_", "wrap.o_", "distant.o_", "swapped.o_"})
        EXPECT_FALSE(exists((dir.path / name).string())) << name;
}

TEST(ElfLoader, HugeBssIsAHoleNotWrittenZeros) {
    temp_dir dir;
    std::string path = dir.write("big.o", example(true, 0x10000000).build());
    load_path(path);
    EXPECT_EQ(object.gpa_start, 0x20000120u);
    EXPECT_EQ(settings.size, 0x10000120 + 3 * 4);
    std::fflush(settings.input);
    struct stat st;
    ASSERT_EQ(stat((path + "_").c_str(), &st), 0);
    // Zeros run on from the bss for text + data + bss, rounded up to 1 KiB.
    EXPECT_EQ(uint64_t(st.st_size), 0x154u + 0x10000400u);
#ifndef _WIN32 // Windows' stat has no block count
    EXPECT_LT(uint64_t(st.st_blocks) * 512, 1u << 20);
#endif
    unsigned char slot[4];
    zo_fseek(settings.input, int32_t(0x154 + 0x10000000 + 4));
    ASSERT_EQ(zo_fread(settings.input, 4, slot), 4);
    EXPECT_EQ(assemble_word(slot), 0x10000040u);
    zo_fseek(settings.input, 0x154 + 0x8000000);
    ASSERT_EQ(zo_fread(settings.input, 4, slot), 4);
    EXPECT_EQ(assemble_word(slot), 0u);
    end_load();
}

TEST(ElfLoader, NeverOverwritesAnExistingFile) {
    temp_dir dir;
    std::string path = dir.write("prog.o", example(true).build());
    dir.write("prog.o_", "keep me\n");
    EXPECT_EXIT(load_path(path), ::testing::ExitedWithCode(255), "prog.o_: File exists");
    EXPECT_EQ(file_bytes(path + "_"), "keep me\n");
}

TEST(ElfLoader, RemovesTheImageOnEveryFatalEnd) {
    temp_dir dir;
    // During loading: the symbol table lies past the end of the file.
    elf_builder b = example(true);
    b.sections[3].offset = 0x100000;
    std::string broken = dir.write("broken.o", b.build());
    EXPECT_EXIT(load_path(broken), ::testing::ExitedWithCode(255), "broken.o: symbol read error");
    EXPECT_FALSE(exists(broken + "_"));

    // During the listing, and after the listing has closed and removed it.
    std::string path = dir.write("prog.o", example(true).build());
    EXPECT_EXIT(
        {
            load_path(path);
            zo_message("later failure");
        },
        ::testing::ExitedWithCode(255), "later failure");
    EXPECT_FALSE(exists(path + "_"));
    EXPECT_EXIT(
        {
            load_path(path);
            FILE* input = settings.input;
            settings.input = nullptr;
            zo_fclose(input);
            std::remove(settings.image_path);
            zo_message("after the end");
        },
        ::testing::ExitedWithCode(255), "after the end");
    EXPECT_FALSE(exists(path + "_"));
}

TEST(ElfLoader, ReadStringStopsAtTerminatorLimitAndEnd) {
    temp_dir dir;
    std::string bytes = std::string("abc\0", 4) + std::string(60, 'x') + "tail";
    std::string path = dir.write("names.bin", bytes);
    reset_settings();
    FILE* stream = zo_fopen(path.c_str(), "rb");
    elf_file file{};
    elf_open(file, stream, path.c_str(), elf_source::input);
    object_name name = read_string(file, 0, 0);
    EXPECT_STREQ(name.plain, "abc");
    EXPECT_STREQ(name.data, "@abc");
    EXPECT_STREQ(read_string(file, 2, 2).plain, std::string(48, 'x').c_str());
    EXPECT_STREQ(read_string(file, 58, 2).plain, "xxxxtail");
    EXPECT_STREQ(read_string(file, 0, 1000).plain, "");
    // Far offsets read nothing rather than counting from the end of the file.
    EXPECT_STREQ(read_string(file, 0x7ffffff0, 0x20).plain, "");
    EXPECT_STREQ(read_string(file, 0xffffffff, 0xffffffff).plain, "");
    zo_fclose(stream);
}
