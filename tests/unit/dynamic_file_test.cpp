// Dynamically linked files under -E against what GNU binutils read from them
// (tests/objects/dynamic): $gp, the names of the GOT's global entries, of
// the lazy-binding stubs, of the PLT entries and their slots, and the
// defined dynamic symbols, for every copy, stripped and without section
// headers alike.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "object/dynamic_file.h"
#include "object/elf_map.h"
#include "object_test_support.h"
#include "symbols/symbol_table.h"

namespace {

const std::string dynamic_dir = PELORIN_DYNAMIC_FILES;

// The map name of an ELF name, with '@' for data and suffix behind.
std::string map_name(const std::string& name, bool data, const std::string& suffix = "") {
    char text[elf_name_limit + 1];
    map_name_of(name, text);
    std::string entry(data ? 1 : 0, '@');
    entry.append(text);
    entry.append(suffix);
    return entry;
}

// The address of the entry named name; 0 when there is none.
uint32_t named(const std::string& name) {
    const int i = find_symbol(name.c_str(), false);
    return i < 0 ? 0 : symbol_table[size_t(i)].address;
}

// A big-endian word of bytes at offset, read and written.
uint32_t word_at(const std::string& bytes, size_t offset) {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w = w << 8 | uint8_t(bytes[offset + size_t(i)]);
    return w;
}
void set_word(std::string& bytes, size_t offset, uint32_t w) {
    for (int i = 0; i < 4; ++i) bytes[offset + size_t(i)] = char(w >> (24 - 8 * i));
}

// The file offset of the program header of type, in a big-endian file.
size_t program_header_of(const std::string& bytes, uint32_t type) {
    const size_t table = word_at(bytes, 28), count = word_at(bytes, 44) >> 16;
    for (size_t i = 0; i < count; ++i)
        if (word_at(bytes, table + 32 * i) == type) return table + 32 * i;
    return 0;
}

// Sets the value of the dynamic entry with tag (which the file has).
void set_dynamic(std::string& bytes, uint32_t tag, uint32_t value) {
    const size_t dynamic = word_at(bytes, program_header_of(bytes, 2) + 4);
    size_t at = dynamic;
    while (word_at(bytes, at) != tag && word_at(bytes, at) != 0) at += 8;
    ASSERT_EQ(word_at(bytes, at), tag);
    set_word(bytes, at + 4, value);
}

uint32_t hex(const std::string& s) {
    return static_cast<uint32_t>(std::stoul(s, nullptr, 16));
}

// Checks the names of file (with the reference ref) as loaded under -E.
void check_names(const std::string& file, const std::string& ref, bool symtab) {
    load_path(dynamic_dir + "/" + file, flag::elf_image);
    std::ifstream lines(dynamic_dir + "/" + ref);
    ASSERT_TRUE(lines) << ref;
    int checked = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        std::string kind, a, b, c, d, e, f, g, h, name;
        in >> kind >> a;
        if (kind == "gp") {
            EXPECT_EQ(settings.gp_value, hex(a)) << file;
        } else if (kind == "got" && a == "global") {
            in >> b >> c >> d >> e >> f >> g >> name;
            EXPECT_EQ(named(map_name(name, true, "_got")), hex(b)) << file << ": " << line;
        } else if (kind == "pltgot" && a == "entry") {
            in >> b >> c >> d >> e >> f >> name;
            EXPECT_EQ(named(map_name(name, true, "_got")), hex(b)) << file << ": " << line;
        } else if (kind == "stub" || kind == "plt") {
            in >> b >> name;
            EXPECT_EQ(named(map_name(name, false)), hex(a)) << file << ": " << line;
        } else if (kind == "dynsym") {
            // index value size type bind visibility section name version
            in >> b >> c >> d >> e >> f >> g >> name;
            const bool named_kind = d == "FUNC" || d == "OBJECT";
            if (!named_kind || g == "UND" || g == "ABS" || (c == "0" && d != "FUNC")) continue;
            // (A name of .symtab may have taken the plain name elsewhere.)
            if (!symtab) {
                EXPECT_EQ(named(map_name(name, d == "OBJECT")), hex(b)) << file << ": " << line;
            }
        } else {
            continue;
        }
        ++checked;
    }
    EXPECT_GT(checked, 0) << file;
    end_load();
}

} // namespace

TEST(DynamicFile, NamesWhatBinutilsName) {
    std::ifstream manifest(dynamic_dir + "/manifest.txt");
    ASSERT_TRUE(manifest);
    int files = 0;
    for (std::string line; std::getline(manifest, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        std::string file, ref, symtab;
        in >> file >> ref >> symtab;
        check_names(file, ref, symtab == "symtab");
        ++files;
    }
    EXPECT_EQ(files, 24);
}

// A dynamic section that the file does not hold, or whose counts it can not
// hold, ends the run with a message that says so.
TEST(DynamicFile, BadDynamicSectionsEndTheRun) {
    temp_dir dir;
    const std::string pie = file_bytes(dynamic_dir + "/prog.pie.eb");
    const std::string plt = file_bytes(dynamic_dir + "/prog.plt.eb");
    const struct {
        const char* what;
        const std::string& file;
        std::function<void(std::string&)> change;
        const char* message;
    } cases[] = {
        {"symbols past the file", pie, [](std::string& b) { set_dynamic(b, 0x70000011, 1 << 20); },
         "dynamic symbols beyond the end of the file"},
        {"strings past the file", pie, [](std::string& b) { set_dynamic(b, 5, 0x7fff0000); },
         "dynamic strings beyond the end of the file"},
        {"strings cut short", pie, [](std::string& b) { set_dynamic(b, 10, 2); },
         "symbol name without terminator"},
        {"a name past the strings", pie, [](std::string& b) { set_dynamic(b, 10, 1); },
         "symbol name beyond the string table"},
        {"GOTSYM past SYMTABNO", pie, [](std::string& b) { set_dynamic(b, 0x70000013, 1000); },
         "bad global offset table"},
        {"local entries past the segment", pie,
         [](std::string& b) { set_dynamic(b, 0x7000000a, 1 << 20); }, "bad global offset table"},
        {"a dynamic section past the file", pie,
         [](std::string& b) { set_word(b, program_header_of(b, 2) + 4, 0x7ffffff0); },
         "bad dynamic section"},
        {"PLT relocations past the file", plt, [](std::string& b) { set_dynamic(b, 2, 1 << 24); },
         "PLT relocations beyond the end of the file"},
    };
    for (const auto& c : cases) {
        std::string bytes = c.file;
        c.change(bytes);
        const std::string path = dir.write("bad.elf", bytes);
        EXPECT_EQ(first_message([&] { load_path(path, flag::elf_image); }), c.message) << c.what;
    }
}
