// The object's symbols: their image addresses, their labels, the global
// pointer area (one address slot per symbol) and the GOT16/CALL16
// relocations that point an instruction's offset at a symbol's slot.
#include "object/object_symbols.h"

#include <cstdio>

#include "mips/byte_order.h"
#include "object/image_file.h"
#include "object/object_layout.h"
#include "symbols/symbol_table.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace {

// An undefined global without a size stays a code name.
constexpr uint8_t undefined_global = elf::ELF32_ST_INFO(elf::STB_GLOBAL, elf::STT_NOTYPE);

// The text of read_string: '@', up to 48 characters, terminator.
char name_text[1 + object_name_limit + 1];

} // namespace

object_name read_string(elf_file& file, uint32_t table_offset, uint32_t name_offset) {
    name_text[0] = '@';
    elf_text(file, uint64_t(table_offset) + name_offset, UINT64_MAX, object_name_limit,
             name_text + 1);
    return {name_text + 1, name_text};
}

const char* read_symbol(elf_file& file, uint32_t index, uint32_t& value, bool add) {
    const elf_symbol s = elf_read_symbol(file, tables.symtab_offset, index);
    const object_name name = read_string(file, tables.strtab_offset, s.name);

    // Symbols of the three listed sections lie in the image; the others get
    // made-up addresses past it. A data symbol's '@' makes the listing show
    // what follows as data; an undefined global stays a code name.
    const char* entered;
    if (s.section == tables.text_index) {
        value = object.text_start + s.value;
        entered = name.plain;
    } else if (s.section == tables.data_index) {
        value = object.text_end + s.value;
        entered = name.data;
    } else if (s.section == tables.bss_index) {
        value = object.bss_start + s.value;
        entered = name.data;
    } else {
        // A common symbol's st_value is its alignment, not an offset.
        value = outside_symbol_base + 4096 * index + (s.section == elf::SHN_COMMON ? 0 : s.value);
        entered = s.size == 0 && s.info == undefined_global ? name.plain : name.data;
    }
    if (!add) return entered;

    if (has_flag(flag::dump_object))
        std::fprintf(stderr, "%-33s val:%5x  size:%5x  info:%3x si: %x\n", entered, s.value, s.size,
                     s.info, s.section);
    if (s.size != 0 || s.info == undefined_global) add_symbol(value, entered, nullptr, true);
    return entered;
}

void write_gpa(elf_file& file) {
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "Symbol table:\n");
    for (uint32_t i = 0; i < tables.symbol_total; ++i) {
        uint32_t address;
        read_symbol(file, i, address, true);
        unsigned char slot[4];
        put_ordered(slot, 4, address);
        write_image(slot, 4);
        object.gpa_end += 4;
    }
}

void apply_relocations(elf_file& file) {
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\nRelocation table:\n");
    const uint64_t text_position = object.text_start - object.file_delta;
    const uint64_t text_size = object.text_end - object.text_start;
    for (uint32_t j = 0; j < tables.relocation_total; ++j) {
        const elf_relocation r = elf_read_relocation(file, tables.reltab_offset, j, false);
        const uint32_t symbol = r.symbol(), type = r.type();
        if (has_flag(flag::dump_object)) {
            // A symbol index past .symtab has no name: its entry would be
            // read from whatever follows the table. (The name is only shown:
            // every entry of the table has been read once already, for the
            // global pointer area.)
            uint32_t scratch;
            const char* name =
                symbol < tables.symbol_total ? read_symbol(file, symbol, scratch, false) : "";
            char text[200];
            zo_snprintf(text, sizeof text, "info: %5x\t%s", r.info, name);
            std::fprintf(stderr, "offset: %5x  %s\n", r.offset, text);
        }

        switch (type) {
        case elf::R_MIPS_26:
            if (!has_flag(flag::skip_jump_relocs))
                zo_message("%s: unimplemented relocation type %d", file.path, int(type));
            break;
        case elf::R_MIPS_HI16:
            if (!has_flag(flag::no_gpa))
                add_symbol(object.text_start + r.offset, "", "GPA relocation");
            break;
        case elf::R_MIPS_LO16: break;
        case elf::R_MIPS_GOT16:
        case elf::R_MIPS_CALL16: {
            // The offset is the low half of the instruction word: its second
            // two bytes in big-endian order, its first two in little-endian.
            const uint64_t patch = uint64_t(r.offset) + (has_flag(flag::little_endian) ? 0 : 2);
            if (symbol >= tables.symbol_total || patch + 2 > text_size)
                elf_fault(file, "bad relocation");
            unsigned char half[2];
            put_ordered(half, 2, uint16_t(symbol * 4));
            patch_image(text_position + patch, half, 2);
            break;
        }
        default: zo_message("%s: unimplemented relocation type %d", file.path, int(type));
        }
    }
    finish_image_patches();
    if (has_flag(flag::dump_object)) std::fprintf(stderr, "\n");
}
