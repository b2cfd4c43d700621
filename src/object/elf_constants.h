// The numbers of 32-bit MIPS ELF files that pelorin reads, under the names
// the ELF and MIPS ABI documents give them, and the sizes of the records.
// The system's <elf.h> defines the same names as macros: no file of the
// program includes it.
#pragma once

#include <cstdint>

#if defined(ET_REL) || defined(R_MIPS_26)
#error "<elf.h> defines the names of object/elf_constants.h as macros"
#endif

namespace elf {

// ---- sizes of the 32-bit records -------------------------------------------
constexpr int header_size = 52;         // Elf32_Ehdr
constexpr int section_header_size = 40; // Elf32_Shdr
constexpr int program_header_size = 32; // Elf32_Phdr
constexpr int symbol_size = 16;         // Elf32_Sym
constexpr int rel_size = 8;             // Elf32_Rel
constexpr int rela_size = 12;           // Elf32_Rela

// ---- e_ident ---------------------------------------------------------------
constexpr int EI_CLASS = 4;
constexpr int EI_DATA = 5;
constexpr int EI_VERSION = 6;
constexpr int EI_OSABI = 7;
constexpr int EI_ABIVERSION = 8;
constexpr int EI_NIDENT = 16;
constexpr uint8_t ELFCLASS32 = 1;
constexpr uint8_t ELFCLASS64 = 2;
constexpr uint8_t ELFDATA2LSB = 1; // little endian
constexpr uint8_t ELFDATA2MSB = 2; // big endian
constexpr uint8_t EV_CURRENT = 1;  // also the current e_version
constexpr uint8_t ELFOSABI_NONE = 0;
constexpr uint8_t ELFOSABI_HPUX = 1;
constexpr uint8_t ELFOSABI_NETBSD = 2;
constexpr uint8_t ELFOSABI_LINUX = 3;
constexpr uint8_t ELFOSABI_SOLARIS = 6;
constexpr uint8_t ELFOSABI_AIX = 7;
constexpr uint8_t ELFOSABI_IRIX = 8;
constexpr uint8_t ELFOSABI_FREEBSD = 9;
constexpr uint8_t ELFOSABI_OPENBSD = 12;

// ---- e_type, e_machine -----------------------------------------------------
constexpr uint16_t ET_REL = 1;
constexpr uint16_t ET_EXEC = 2;
constexpr uint16_t ET_DYN = 3;
constexpr uint16_t EM_SPARC = 2;
constexpr uint16_t EM_386 = 3;
constexpr uint16_t EM_68K = 4;
constexpr uint16_t EM_MIPS = 8;
constexpr uint16_t EM_PPC = 20;

// ---- sections --------------------------------------------------------------
constexpr uint32_t SHT_SYMTAB = 2;
constexpr uint32_t SHT_RELA = 4;
constexpr uint32_t SHT_NOBITS = 8; // zeros in memory, nothing in the file
constexpr uint32_t SHT_REL = 9;
// The MIPS bookkeeping sections, which a linker never copies: .reginfo,
// .MIPS.options, .MIPS.abiflags.
constexpr uint32_t SHT_MIPS_REGINFO = 0x70000006;
constexpr uint32_t SHT_MIPS_OPTIONS = 0x7000000d;
constexpr uint32_t SHT_MIPS_ABIFLAGS = 0x7000002a;
constexpr uint32_t SHF_ALLOC = 0x2;     // the section lies in memory
constexpr uint32_t SHF_EXECINSTR = 0x4; // it holds code
constexpr uint32_t SHF_TLS = 0x400;     // thread-local: .tdata, .tbss

// Section indexes from SHN_LORESERVE on name no section header.
constexpr uint16_t SHN_UNDEF = 0;
constexpr uint16_t SHN_LORESERVE = 0xff00;
constexpr uint16_t SHN_ABS = 0xfff1;
constexpr uint16_t SHN_COMMON = 0xfff2; // st_value is an alignment, not an offset

// ---- segments --------------------------------------------------------------
constexpr uint32_t PT_LOAD = 1;
constexpr uint32_t PT_DYNAMIC = 2;
constexpr uint32_t PT_MIPS_REGINFO = 0x70000000;
constexpr uint32_t PF_X = 0x1; // p_flags: the segment holds code

// ---- symbols: st_info is the binding in the high four bits, the type in the
// low four ---------------------------------------------------------------------
constexpr uint8_t STB_LOCAL = 0;
constexpr uint8_t STB_GLOBAL = 1;
constexpr uint8_t STB_WEAK = 2;
constexpr uint8_t STT_NOTYPE = 0;
constexpr uint8_t STT_OBJECT = 1;
constexpr uint8_t STT_FUNC = 2;
constexpr uint8_t STT_SECTION = 3;
constexpr uint8_t STT_FILE = 4;
constexpr uint8_t ELF32_ST_BIND(uint8_t info) {
    return uint8_t(info >> 4);
}
constexpr uint8_t ELF32_ST_TYPE(uint8_t info) {
    return uint8_t(info & 0xf);
}
constexpr uint8_t ELF32_ST_INFO(uint8_t binding, uint8_t type) {
    return uint8_t(binding << 4 | (type & 0xf));
}

// ---- relocations: r_info is the symbol index above the 8-bit type ---------
constexpr uint32_t ELF32_R_SYM(uint32_t info) {
    return info >> 8;
}
constexpr uint32_t ELF32_R_TYPE(uint32_t info) {
    return info & 0xff;
}
constexpr uint32_t R_MIPS_NONE = 0;
constexpr uint32_t R_MIPS_16 = 1;
constexpr uint32_t R_MIPS_32 = 2;
constexpr uint32_t R_MIPS_REL32 = 3;
constexpr uint32_t R_MIPS_26 = 4;
constexpr uint32_t R_MIPS_HI16 = 5;
constexpr uint32_t R_MIPS_LO16 = 6;
constexpr uint32_t R_MIPS_GPREL16 = 7;
constexpr uint32_t R_MIPS_LITERAL = 8;
constexpr uint32_t R_MIPS_GOT16 = 9;
constexpr uint32_t R_MIPS_PC16 = 10;
constexpr uint32_t R_MIPS_CALL16 = 11;
constexpr uint32_t R_MIPS_GPREL32 = 12;
constexpr uint32_t R_MIPS_JALR = 37;
// Thread-local storage: the module and the offsets of a variable from the
// DTP and from the thread pointer, in place or in GOT slots.
constexpr uint32_t R_MIPS_TLS_DTPMOD32 = 38;
constexpr uint32_t R_MIPS_TLS_DTPREL32 = 39;
constexpr uint32_t R_MIPS_TLS_GD = 42;
constexpr uint32_t R_MIPS_TLS_LDM = 43;
constexpr uint32_t R_MIPS_TLS_DTPREL_HI16 = 44;
constexpr uint32_t R_MIPS_TLS_DTPREL_LO16 = 45;
constexpr uint32_t R_MIPS_TLS_GOTTPREL = 46;
constexpr uint32_t R_MIPS_TLS_TPREL32 = 47;
constexpr uint32_t R_MIPS_TLS_TPREL_HI16 = 49;
constexpr uint32_t R_MIPS_TLS_TPREL_LO16 = 50;
constexpr uint32_t R_MIPS_PC32 = 248; // unwind tables

// ---- the dynamic section: d_tag and d_val of each entry ----------------------
constexpr int dynamic_entry_size = 8; // Elf32_Dyn
constexpr int32_t DT_NULL = 0;
constexpr int32_t DT_PLTRELSZ = 2;
constexpr int32_t DT_PLTGOT = 3;
constexpr int32_t DT_STRTAB = 5;
constexpr int32_t DT_SYMTAB = 6;
constexpr int32_t DT_STRSZ = 10;
constexpr int32_t DT_SYMENT = 11;
constexpr int32_t DT_PLTREL = 20;
constexpr int32_t DT_JMPREL = 23;
constexpr int32_t DT_MIPS_LOCAL_GOTNO = 0x7000000a;
constexpr int32_t DT_MIPS_SYMTABNO = 0x70000011;
constexpr int32_t DT_MIPS_GOTSYM = 0x70000013;
constexpr int32_t DT_MIPS_PLTGOT = 0x70000032;
// The relocation of a PLT's GOT slot.
constexpr uint32_t R_MIPS_JUMP_SLOT = 127;
// The MIPS psABI's $gp: this far past the start of the GOT, so that a 16-bit
// offset reaches 64 KiB of it.
constexpr uint32_t gp_bias = 0x7ff0;
// .reginfo: ri_gp_value is its sixth word.
constexpr int reginfo_size = 24;
constexpr int reginfo_gp_value = 20;
} // namespace elf
