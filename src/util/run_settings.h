// The one record of configuration and run state that every part reads.
#pragma once

#include <cstdint>
#include <cstdio>

// Bits of run_settings::flags.
namespace flag {
constexpr uint32_t gcc_names = 0x0001;        // -g: GCC register names
constexpr uint32_t braces = 0x0002;           // -b: brace lines
constexpr uint32_t relative = 0x0004;         // -r: addresses relative to the last label
constexpr uint32_t special_comments = 0x0008; // -c: special comments
constexpr uint32_t highlight = 0x0010;        // -H: colour spans (HTML output only)
constexpr uint32_t short_operands = 0x0020;   // -S: short operand forms
constexpr uint32_t pseudo_moves = 0x0040;     // -P: "move" pseudo mnemonic
constexpr uint32_t presentation = 0x007f;     // -A: all of the above
constexpr uint32_t dump_object = 0x0100;      // -D: object dump on stderr
constexpr uint32_t skip_jump_relocs = 0x0200; // -T: pass over relocation type 4
constexpr uint32_t no_gpa = 0x0400;           // -NG: no global pointer area
constexpr uint32_t not_object = 0x0800;       // -NO: input is a raw dump
constexpr uint32_t little_endian = 0x1000;    // -LE, or a little-endian object
constexpr uint32_t release2 = 0x2000;         // -R2: the MIPS32 Release 2 table with the FPU
constexpr uint32_t sequence_unsafe = 0x4000;  // lui look-back crossed a jump
constexpr uint32_t data_mode = 0x8000;        // words are shown as data
constexpr uint32_t elf_image = 0x10000;       // -E: an ELF executable at its own addresses
constexpr uint32_t cross_references = 0x20000; // -X: calls through registers, callers
constexpr uint32_t call_report = 0x40000;      // -C: the call-site report instead of the listing
constexpr uint32_t find_base = 0x80000;        // -FB: byte order and load address of a raw dump
} // namespace flag

struct run_settings {
    uint32_t flags;         // bit set of namespace flag
    uint32_t offset;        // memory address of the input's first byte
    uint32_t start;         // address of the next word to list
    int32_t size;           // bytes still to list
    int32_t line_budget;    // instruction lines still to print
    const char* html_dir;   // -h directory; null for a text listing
    int sequence_length;    // look-back of the lui sequence, 0 to 50
    int function_extension; // forward-branch limit of the function-end rule
    uint32_t gp_value;      // $gp base, 0 when unknown
    uint32_t s7_value;      // $s7 base, 0 when unknown
    const char* input_path; // input file as typed
    FILE* input;            // stream the listing reads words from
    FILE* output;           // current output stream
    char* image_path;       // image file made from an object, or null
    const char* call_names; // -C: the names whose calls are reported, comma-separated
};

// The process-wide settings, all zero at start.
extern run_settings settings;

// True when the given flag bit is set.
inline bool has_flag(uint32_t bit) {
    return (settings.flags & bit) != 0;
}

// True when the listing is written as HTML pages.
inline bool html_output() {
    return settings.html_dir != nullptr;
}
