// The object's symbols: their image addresses, their labels, the global
// pointer area (one address slot per symbol) and the GOT16/CALL16
// relocations that point an instruction's offset at a symbol's slot.
#include "object/object_symbols.h"

#include <cstdio>

#include "object/elf_loader.h"
#include "symbols/symbol_table.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace {

constexpr int symbol_entry_size = 16;
constexpr int relocation_entry_size = 8;
constexpr uint16_t common_section = 0xfff2;
constexpr uint32_t undefined_global = 0x10; // st_info: global binding, no type

// Relocation types of the MIPS ELF ABI that the loader knows.
enum relocation_type : uint32_t {
    r_mips_26 = 4,
    r_mips_hi16 = 5,
    r_mips_lo16 = 6,
    r_mips_got16 = 9,
    r_mips_call16 = 11,
};

} // namespace

const char* read_symbol(uint32_t index, uint32_t& value, bool add) {
    unsigned char e[symbol_entry_size];
    if (!read_object_at(tables.symtab_offset + uint64_t(symbol_entry_size) * index, e,
                        symbol_entry_size))
        zo_message("%s: symbol read error", settings.input_path);
    // 0 st_name, 4 st_value, 8 st_size, 12 st_info, 13 st_other, 14 st_shndx
    const uint32_t name_offset = object_word(e), st_value = object_word(e + 4);
    const uint32_t st_size = object_word(e + 8);
    const uint8_t st_info = e[12];
    const uint16_t section = object_half(e + 14);
    const object_name name = read_string(tables.strtab_offset, name_offset);

    // Symbols of the three listed sections lie in the image; the others get
    // made-up addresses past it. A data symbol's '@' makes the listing show
    // what follows as data; an undefined global stays a code name.
    const char* entered;
    if (section == tables.text_index) {
        value = object.text_start + st_value;
        entered = name.plain;
    } else if (section == tables.data_index) {
        value = object.text_end + st_value;
        entered = name.data;
    } else if (section == tables.bss_index) {
        value = object.bss_start + st_value;
        entered = name.data;
    } else {
        // A common symbol's st_value is its alignment, not an offset.
        value = outside_symbol_base + 4096 * index + (section == common_section ? 0 : st_value);
        entered = st_size == 0 && st_info == undefined_global ? name.plain : name.data;
    }
    if (!add) return entered;

    if (has_flag(flag::dump_object))
        std::fprintf(stderr, "%-33s val:%5x  size:%5x  info:%3x si: %x\n", entered, st_value,
                     st_size, st_info, section);
    if (st_size != 0 || st_info == undefined_global) add_symbol(value, entered, nullptr, true);
    return entered;
}

void write_gpa() {
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "Symbol table:\n");
    for (uint32_t i = 0; i < tables.symbol_total; ++i) {
        uint32_t address;
        read_symbol(i, address, true);
        unsigned char slot[4];
        put_ordered(slot, 4, address);
        write_image(slot, 4);
        object.gpa_end += 4;
    }
}

void apply_relocations() {
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\nRelocation table:\n");
    const uint64_t text_position = object.text_start - object.file_delta;
    const uint64_t text_size = object.text_end - object.text_start;
    for (uint32_t j = 0; j < tables.relocation_total; ++j) {
        unsigned char e[relocation_entry_size];
        if (!read_object_at(tables.reltab_offset + uint64_t(relocation_entry_size) * j, e,
                            relocation_entry_size))
            zo_message("%s: relocation read error", settings.input_path);
        const uint32_t r_offset = object_word(e), r_info = object_word(e + 4);
        const uint32_t symbol = r_info >> 8, type = r_info & 0xff;
        if (has_flag(flag::dump_object)) {
            // A symbol index past .symtab has no name: its entry would be
            // read from whatever follows the table. (The name is only shown:
            // every entry of the table has been read once already, for the
            // global pointer area.)
            uint32_t scratch;
            const char* name =
                symbol < tables.symbol_total ? read_symbol(symbol, scratch, false) : "";
            char text[200];
            zo_snprintf(text, sizeof text, "info: %5x\t%s", r_info, name);
            std::fprintf(stderr, "offset: %5x  %s\n", r_offset, text);
        }

        switch (type) {
        case r_mips_26:
            if (!has_flag(flag::skip_jump_relocs))
                zo_message("%s: unimplemented relocation type %d", settings.input_path, int(type));
            break;
        case r_mips_hi16:
            if (!has_flag(flag::no_gpa))
                add_symbol(object.text_start + r_offset, "", "GPA relocation");
            break;
        case r_mips_lo16: break;
        case r_mips_got16:
        case r_mips_call16: {
            // The offset is the low half of the instruction word: its second
            // two bytes in big-endian order, its first two in little-endian.
            const uint64_t patch = uint64_t(r_offset) + (has_flag(flag::little_endian) ? 0 : 2);
            if (symbol >= tables.symbol_total || patch + 2 > text_size)
                zo_message("%s: bad relocation", settings.input_path);
            unsigned char half[2];
            put_ordered(half, 2, uint16_t(symbol * 4));
            patch_image(text_position + patch, half, 2);
            break;
        }
        default: zo_message("%s: unimplemented relocation type %d", settings.input_path, int(type));
        }
    }
    finish_image_patches();
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\n");
}
