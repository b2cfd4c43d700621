// The ELF reader: the order of the header checks for each of its users, the
// limits of a text read from the file, entries at positions the file does
// not hold.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "object/elf_file.h"
#include "object/elf_map.h"
#include "object_test_support.h"

namespace {

// A sound big-endian object: code, data, bss, one symbol.
elf_builder sound_object() {
    elf_builder b;
    const std::string strtab("\0f\0", 3);
    b.sections = {
        {".text", 1, std::string(16, '\0'), -1, -1, 0x6},
        {".data", 1, b.word(1), -1, -1, 0x3},
        {".bss", 8, "", 0x10, -1, 0x3},
        {".symtab", 2, b.symbol(0, 0, 0, 0, 0) + b.symbol(1, 0, 4, 0x12, 1), -1, -1, 0, 5},
        {".strtab", 3, strtab}};
    return b;
}

// An open file of the given bytes, read as the input.
struct open_file {
    temp_dir dir;
    std::string path;
    FILE* stream;
    elf_file file{};
    open_file(const std::string& bytes, elf_source source = elf_source::input)
        : path(dir.write("f.o", bytes)), stream(zo_fopen(path.c_str(), "rb")) {
        elf_open(file, stream, path.c_str(), source);
    }
    ~open_file() { std::fclose(stream); }
};

} // namespace

// A header with several faults gives each reader's first message: the plain
// object loader, the loaders of -E and the map reader check in their orders.
TEST(ElfFile, HeaderChecksComeInEachReadersOrder) {
    const struct {
        const char* what;
        std::vector<std::pair<size_t, std::string>> fields; // offset, new bytes
        uint32_t flags;
        const char *object, *laid_out, *map; // "" when read well
    } cases[] = {
        {"class, byte order, version",
         {{4, "\x02\x03\x00"}},
         0,
         "not a 32-bit object",
         "not a 32-bit object",
         "not a 32-bit object"},
        {"-LE and a big-endian file",
         {{6, std::string(1, '\0')}},
         flag::little_endian,
         "big endian object",
         "big endian object",
         "not a current ELF version"},
        {"byte order, version",
         {{5, std::string("\x03\x00", 2)}},
         0,
         "not a little nor big endian object",
         "not a little nor big endian object",
         "not a little nor big endian object"},
        {"shared object of another machine", // -E takes shared objects
         {{16, std::string("\0\3\0\3", 4)}},
         0,
         "not a relocatable file",
         "not a MIPS object",
         "not a MIPS object"},
        {"machine, header size",
         {{18, std::string("\0\3", 2)}, {40, std::string("\0\62", 2)}},
         0,
         "not a MIPS object",
         "not a MIPS object",
         "not a MIPS object"},
        {"header size, entry size",
         {{40, std::string("\0\62", 2)}, {46, std::string("\0\40", 2)}},
         0,
         "bad ELF header size",
         "bad ELF header size",
         "bad ELF header size"},
        {"entry size without sections",
         {{46, std::string("\0\40\0\0", 4)}},
         0,
         "bad section header size",
         "bad section header size",
         ""},
        {"executable without sections",
         {{16, std::string("\0\2", 2)}, {46, std::string(4, '\0')}},
         0,
         "not a relocatable file",
         "no loadable segment",
         ""},
        {"executable's program header size",
         {{16, std::string("\0\2", 2)}, {42, std::string("\0\24\0\1", 4)}},
         0,
         "not a relocatable file",
         "bad program header size",
         ""},
    };
    for (const auto& c : cases) {
        std::string bytes = sound_object().build();
        for (const auto& [at, field] : c.fields) bytes.replace(at, field.size(), field);
        temp_dir dir;
        const std::string path = dir.write("h.o", bytes);
        EXPECT_EQ(first_message([&] { load_path(path, c.flags); }), c.object) << c.what;
        EXPECT_EQ(first_message([&] { load_path(path, c.flags | flag::elf_image); }), c.laid_out)
            << c.what;
        EXPECT_EQ(first_message([&] {
                      reset_run_state();
                      settings.flags = c.flags;
                      read_elf_map(path.c_str());
                  }),
                  c.map)
            << c.what;
    }
    reset_run_state();
}

TEST(ElfFile, TextEndsAtTerminatorLimitTableOrFile) {
    // Two blocks: "yy..yzz" up to the boundary, "zz" and a terminator behind
    // it, then "end" without one at the end of the file.
    const std::string bytes = std::string(4094, 'y') + "zzzz" + '\0' + "end";
    const struct {
        uint64_t position, available;
        int limit;
        const char* missing;
        const char* text; // null: the run ends with missing
    } cases[] = {
        {4092, UINT64_MAX, 48, nullptr, "yyzzzz"}, // across the block boundary
        {4092, 3, 48, nullptr, "yyz"},             // the table's end
        {4092, UINT64_MAX, 5, nullptr, "yyzzz"},   // the limit
        {4099, UINT64_MAX, 48, nullptr, "end"},    // the end of the file
        {4099, 3, 48, "gone", "end"},              // the table ends with the file
        {4099, 4, 48, "gone", nullptr},            // the file ends within the table
        {5000, 0, 48, "gone", ""},                 // nothing to read
        {0x80000000, 8, 48, nullptr, ""},          // past zo_fseek's limit
        {0x80000000, 8, 48, "gone", nullptr},
    };
    for (const auto& c : cases) {
        auto read = [&](char* text) {
            open_file f(bytes);
            return elf_text(f.file, c.position, c.available, c.limit, text, c.missing);
        };
        char text[49];
        if (c.text == nullptr) {
            EXPECT_EQ(first_message([&] { read(text); }), c.missing) << c.position;
            continue;
        }
        EXPECT_EQ(read(text), int(std::strlen(c.text))) << c.position;
        EXPECT_STREQ(text, c.text) << c.position;
    }
}

// A text beyond the end of a file that fills more blocks than are kept is
// empty: never the bytes of a block read before into the same place.
TEST(ElfFile, TextBeyondTheEndIsEmptyAfterManyBlocks) {
    const int blocks = elf_block_count + 4;
    open_file f(std::string(size_t(blocks) * elf_block_size + 100, 'Q'));
    char text[49];
    for (int i = 0; i < blocks; ++i)
        ASSERT_EQ(elf_text(f.file, uint64_t(i) * elf_block_size, 4, 48, text), 4);
    EXPECT_EQ(elf_text(f.file, uint64_t(blocks) * elf_block_size + 200, 8, 48, text), 0);
    EXPECT_EQ(elf_text(f.file, uint64_t(blocks + 1) * elf_block_size + 4090, 8, 48, text), 0);
}

// Entries that the file holds only in part, or that lie past zo_fseek's limit
// (never counted from the end of the file), end the run with the entry's
// message, whichever way the file is read.
TEST(ElfFile, EntriesTheFileDoesNotHoldEndTheRun) {
    const std::string bytes = sound_object().build();
    const uint32_t end = uint32_t(bytes.size());
    const struct {
        const char* what;
        std::function<void(elf_file&)> read;
        const char* message;
    } cases[] = {
        {"section header",
         [&](elf_file& f) { f.header.section_table = end - 20, elf_read_section(f, 0); },
         "section header read error"},
        {"section header past 2 GiB",
         [](elf_file& f) { f.header.section_table = 0xfffffff0, elf_read_section(f, 0); },
         "section header read error"},
        {"program header",
         [&](elf_file& f) { f.header.program_table = end - 8, elf_read_program(f, 0); },
         "program header read error"},
        {"symbol", [&](elf_file& f) { elf_read_symbol(f, end - 24, 1); }, "symbol read error"},
        {"relocation with addend", [&](elf_file& f) { elf_read_relocation(f, end - 8, 0, true); },
         "relocation read error"},
        {"relocation past 2 GiB", [](elf_file& f) { elf_read_relocation(f, 0x7ffffffc, 1, false); },
         "relocation read error"},
    };
    for (const auto& c : cases)
        for (elf_source source : {elf_source::input, elf_source::named})
            EXPECT_EQ(first_message([&] {
                          open_file f(bytes, source);
                          c.read(f.file);
                      }),
                      c.message)
                << c.what;
}
