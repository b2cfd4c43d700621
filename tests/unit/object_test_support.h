// Hand-made MIPS ELF objects for the object loader's tests, and a loader run
// on them with a clean state.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "object/elf_loader.h"
#include "object/object_input.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/run_settings.h"
#include "util/zo.h"

// One section of a made object; the header fields can be overridden.
struct elf_section {
    std::string name;
    uint32_t type;
    std::string data;    // contents; a NOBITS section (type 8) takes no bytes
    int64_t size = -1;   // sh_size when not the length of data
    int64_t offset = -1; // sh_offset when not where data was placed
    uint32_t flags = 0;  // sh_flags
    uint32_t link = 0;   // sh_link
    uint32_t info = 0;   // sh_info
    uint32_t align = 4;  // sh_addralign
};

// ELF header, section contents in order, section-name table, header table.
struct elf_builder {
    bool big = true;
    std::vector<elf_section> sections;
    uint16_t type = 1;
    uint16_t machine = 8;

    std::string half(uint16_t v) const {
        return big ? std::string{char(v >> 8), char(v)} : std::string{char(v), char(v >> 8)};
    }
    std::string word(uint32_t v) const {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i) s[size_t(i)] = char(v >> (big ? 24 - 8 * i : 8 * i));
        return s;
    }
    std::string symbol(uint32_t name, uint32_t value, uint32_t size, uint8_t info,
                       uint16_t section) const {
        return word(name) + word(value) + word(size) + char(info) + '\0' + half(section);
    }
    std::string relocation(uint32_t offset, uint32_t symbol, uint8_t kind) const {
        return word(offset) + word(symbol << 8 | kind);
    }

    std::string build() const {
        std::string body(52, '\0');
        std::vector<uint32_t> placed;
        for (const elf_section& s : sections) {
            placed.push_back(uint32_t(body.size()));
            if (s.type != 8) body += s.data;
        }
        std::string names(1, '\0');
        std::vector<uint32_t> name_at;
        for (const elf_section& s : sections) {
            name_at.push_back(uint32_t(names.size()));
            names += s.name + '\0';
        }
        name_at.push_back(uint32_t(names.size()));
        names += std::string(".shstrtab") + '\0';
        uint32_t names_offset = uint32_t(body.size());
        body += names;
        uint32_t table = uint32_t(body.size());
        auto header = [&](uint32_t name, uint32_t kind, uint32_t offset, uint32_t size,
                          uint32_t flags = 0, uint32_t link = 0, uint32_t info = 0,
                          uint32_t align = 4) {
            return word(name) + word(kind) + word(flags) + word(0) + word(offset) + word(size) +
                   word(link) + word(info) + word(align) + word(0);
        };
        body += std::string(40, '\0');
        for (size_t i = 0; i < sections.size(); ++i) {
            const elf_section& s = sections[i];
            uint32_t size = s.size >= 0 ? uint32_t(s.size) : uint32_t(s.data.size());
            uint32_t offset = s.offset >= 0 ? uint32_t(s.offset) : placed[i];
            body += header(name_at[i], s.type, offset, size, s.flags, s.link, s.info, s.align);
        }
        body += header(name_at.back(), 3, names_offset, uint32_t(names.size()));
        uint16_t count = uint16_t(sections.size() + 2);
        std::string ident = std::string("\x7f"
                                        "ELF") +
                            char(1) + char(big ? 2 : 1) + char(1) + std::string(9, '\0');
        std::string head = ident + half(type) + half(machine) + word(1) + word(0) + word(0) +
                           word(table) + word(0) + half(52) + half(0) + half(0) + half(40) +
                           half(count) + half(uint16_t(count - 1));
        body.replace(0, 52, head);
        return body;
    }
};

// Starts from a clean program state and loads path as the driver does.
inline void load_path(const std::string& path, uint32_t flags = 0) {
    reset_run_state();
    settings.flags = flags;
    static std::string kept;
    kept = path;
    settings.input_path = kept.c_str();
    settings.input = zo_fopen(kept.c_str(), "rb");
    load_object(settings.start, settings.offset, settings.size);
}

// Runs body in a child; "" when it ends well, else its message without the
// path, the bell and the line end.
inline std::string first_message(const std::function<void()>& body) {
    const child_result result = run_child(body);
    if (result.status == 0) return "";
    // (A child run of another call of the test, where a child is a new
    // process, gives no message at all.)
    const size_t colon = result.err.find(": "), end = result.err.rfind("\a\n");
    if (colon == std::string::npos || end == std::string::npos || end < colon) return result.err;
    return result.err.substr(colon + 2, end - colon - 2);
}

// Closes the input and removes the image, as the end of a run does.
inline void end_load() {
    FILE* input = settings.input;
    settings.input = nullptr;
    zo_fclose(input);
    if (settings.image_path != nullptr) {
        std::remove(settings.image_path);
        zo_free(settings.image_path);
        settings.image_path = nullptr;
    }
    reset_object_loader();
}

// The whole contents of a file.
inline std::string file_bytes(const std::string& path) {
    std::string s;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) s.append(buffer, n);
        std::fclose(f);
    }
    return s;
}
