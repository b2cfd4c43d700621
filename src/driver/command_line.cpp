#include "driver/command_line.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "html/page_set.h"
#include "mips/opcode_table.h"
#include "object/elf_executable.h"
#include "object/elf_map.h"
#include "object/object_input.h"
#include "symbols/map_file.h"
#include "symbols/symbol_table.h"
#include "util/output.h"
#include "util/run_settings.h"
#include "util/version.h"
#include "util/zo.h"

// clang-format off
const char usage_format[] =
    "usage: %s [option]* {file}\t# %s\n"
    "\n"
    "    input control:\n"
    "\t-m {file}\tmapfile, symbolic addresses may be used after -m\n"
    "\t-o {addr}\toffset, memory address of 1st byte in dump file\n"
    "\t-a {addr}\tstart address (hex or symbol)\n"
    "\t-e {addr}\tend address (hex or symbol), not before -a\n"
    "\t-s {size}\tsize (hex), instead of end address\n"
    "\t-n {lines}\tmaximum number of output lines\n"
    "\t-h {dir}\tHTML output directory, use -n for approx. file size\n"
    "\t-x\t\tend at address of next symbol after start address\n"
    "\n"
    "    presentation:\n"
    "\t-g\t\tGCC register naming\n"
    "\t-b\t\tprefix braces before symbol labels\n"
    "\t-r\t\tshow addresses relative to last symbol label\n"
    "\t-c\t\tspecial comments for some instruction[ sequence]s\n"
    "\t-B {len}\tbi-instruction memory access sequence length\n"
    "\t\t\t(#instructions: 1=off, 2..50, default=10), implies -c\n"
    "\t-F {len}\tfunction end extension by branches < len to next JR\n"
    "\t\t\t(#instructions: 1=off, 2..10000, default=500)\n"
    "\t-H\t\thighlight jumps/branches and load/store (HTML output)\n"
    "\t-S\t\tshort operands format (sub $1,$2; BUT sub $1,$2,$1)\n"
    "\t-P\t\tpseudo moves (move $1,$2; move $a0,100), implies -S\n"
    "\t-A\t\tall of the above presentation options\n"
    "\n"
    "    special:\n"
    "\t-LE\t\tforce as Little Endian input\n"
    "\t-NO\t\tnot an object file\n"
    "\t-NG\t\tno GPA in object file ($gp/$s7 global pointer area)\n"
    "\t-GP {addr}\tglobal offset table address for offset($gp) terms\n"
    "\n"
    "    other:\n"
    "\t-t\t\ttest only (coverage and inambiguity of decoded ops)\n"
    "\t-!\t\tshow mapfile syntax";

// What --help writes after the usage text: the options that it does not show.
const char help_tail_text[] =
    "\n"
    "\n"
    "    not shown above:\n"
    "\t-R2\t\tMIPS32 Release 2 instructions, FPU (COP1, COP1X)\n"
    "\t-E\t\tELF program or library at its own addresses, object laid out\n"
    "\t-D\t\tdump object header, sections, symbols, relocations\n"
    "\t-T\t\tpass over 26-bit jump relocations of an object\n"
    "\t--help\t\tthis text, as the only argument\n"
    "\t--version\tname, version and build, as the only argument\n";

const char mapfile_syntax_text[] =
    "mapfile syntax: [[value [@|*]symbol] [comment] [#comment] newline]*\n"
    "\n"
    "\tvalue  := {hexnum | symbol}[+{value}]\n"
    "\thexnum := [0x]{0..9 | a..f | A..F}*\n"
    "\tsymbol := {a..z | A..Z | _ | 0..9}*\n"
    "\n"
    "\tsymbols must not start with a decimal digit\n"
    "\tsymbols must not be identical to any hex number\n"
    "\n"
    "\tspecial symbol '//' indicates a commented only value\n"
    "\tspecial comment '// $gp={value}' sets $gp for offset($gp) terms\n"
    "\n"
    "\tprefixed '@' switches from code to data representation\n"
    "\t'symbol' / '@symbol' / '*symbol' are different symbols\n"
    "\n"
    "\tfor addr references in options, '@' may be omitted, but then, an\n"
    "\t\texisting 'symbol' is taken before the '@symbol'\n"
    "\n"
    "\tcomments before a # sign are visible in generated output\n"
    "\tmultiple mapfiles (-m options) allowed\n";

// clang-format on

// The build passes CMake's PROJECT_VERSION ("1.0.0") for --version.
#ifndef PELORIN_VERSION
#error "PELORIN_VERSION is not defined: the build defines it for this file"
#endif

namespace {

const char* usage_program_name = "pelorin";

[[noreturn]] void usage_error() {
    zo_message(usage_format, usage_program_name, version_banner());
}

// An address expression option value, or the usage text when it does not read.
uint32_t address_value(const char* text) {
    uint32_t value = 0;
    if (parse_address(text, &value) != 0) usage_error();
    return value;
}

// The -B and -F values: the leading decimal digits, as atoi reads them.
long leading_number(const char* text) {
    errno = 0;
    long value = std::strtol(text, nullptr, 10);
    if (errno == ERANGE || value > INT_MAX || value < INT_MIN) return 0;
    return value;
}

// The -n value: the whole text read as an unsigned 32-bit decimal number the
// way strtoul reads it (sign negates modulo 2^32, overflow saturates); false
// when the text has anything besides the number.
bool whole_decimal(const char* text, uint32_t* value) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const char* digits = p;
    uint64_t magnitude = 0;
    bool overflow = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + static_cast<uint64_t>(*p - '0');
        if (magnitude > 0xffffffffu) overflow = true, magnitude = 0x100000000u;
    }
    if (p == digits) {
        // No number at all: strtoul consumes nothing.
        *value = 0;
        return *text == 0;
    }
    if (*p != 0) return false;
    if (overflow)
        *value = 0xffffffffu;
    else
        *value =
            negative ? 0u - static_cast<uint32_t>(magnitude) : static_cast<uint32_t>(magnitude);
    return true;
}

// -x: the size up to the first entry, in table order, above the start address.
void size_to_next_symbol() {
    if (settings.size != 0) usage_error();
    for (int i = 0; i < symbol_count; ++i) {
        if (symbol_table[i].address > settings.start) {
            settings.size = static_cast<int32_t>(symbol_table[i].address - settings.start);
            return;
        }
    }
    usage_error();
}

// -m: the symbol table of an ELF file, any other file as a text map. Only a
// file that can be positioned is looked at: the bytes taken from a pipe
// would be missing when the map reader opens it again. (zo_fseek would end
// the run where this only asks.)
void read_map(const char* path) {
    constexpr unsigned char elf_magic[4] = {0x7f, 'E', 'L', 'F'};
    FILE* file = zo_fopen(path, "rb");
    unsigned char magic[4];
    const bool elf = std::fseek(file, 0, SEEK_SET) == 0 && zo_fread(file, 4, magic) == 4 &&
                     std::memcmp(magic, elf_magic, 4) == 0;
    zo_fclose(file);
    if (elf)
        read_elf_map(path);
    else
        read_map_file(path);
}

// The $gp base came from an ELF map's _gp rather than from -GP.
bool gp_from_map = false;
// The size was taken from an end (-e, -x) and the start as it stood then.
bool size_from_end = false;

// Under -E the range is one of the executable's own addresses. Without a
// start it begins at the image's first byte (a size from an end then counts
// from there); a start below the image begins there; it runs to the end of
// the image at most, and there without a size. A range that ends before the
// image lists nothing.
void fit_range_to_executable() {
    const uint32_t base = executable.start;
    const bool sized = settings.size != 0;
    int64_t size = settings.size;
    if (settings.start == 0) {
        if (size_from_end) size = int64_t(uint32_t(settings.size)) - base;
        settings.start = base;
    } else if (settings.start < base) {
        size -= int64_t(base - settings.start);
        settings.start = base;
    }
    // Never past the image: the bytes behind it are no memory of the file.
    const int64_t rest = int64_t(executable.end) - settings.start;
    if (!sized || size > rest) size = rest;
    settings.size = size > 0 ? int32_t(std::min<int64_t>(size, INT32_MAX)) : -1;
}

// Options without a value that only set flag bits.
struct switch_option {
    std::string_view key;
    uint32_t bits;
};
constexpr std::array<switch_option, 15> switch_options{{
    {"g", flag::gcc_names},
    {"b", flag::braces},
    {"r", flag::relative},
    {"c", flag::special_comments},
    {"H", flag::highlight},
    {"S", flag::short_operands},
    {"P", flag::pseudo_moves | flag::short_operands},
    {"A", flag::presentation},
    {"D", flag::dump_object},
    {"T", flag::skip_jump_relocs},
    {"LE", flag::little_endian},
    {"NO", flag::not_object},
    {"NG", flag::no_gpa},
    {"R2", flag::release2},
    {"E", flag::elf_image},
}};

// The bits a switch option sets; 0 for any other key.
uint32_t switch_bits(std::string_view key) {
    for (const switch_option& option : switch_options)
        if (option.key == key) return option.bits;
    return 0;
}

} // namespace

void read_command_line(int argc, char** argv, const char* program_name) {
    usage_program_name = program_name;
    gp_from_map = false;
    size_from_end = false;
    // --help and --version only as the one and only argument; anywhere else
    // they are what any other argument of four or more characters is.
    if (argc == 2) {
        std::string_view only(argv[1]);
        if (only == "--help" || only == "--version") {
            if (only == "--help") {
                out_format(usage_format, usage_program_name, version_banner());
                out_text(help_tail_text);
            } else {
                out_format("pelorin %s (%s)\n", PELORIN_VERSION, version_banner());
            }
            // A text that did not reach its reader is no success.
            zo_fflush(settings.output);
            std::exit(0);
        }
    }
    int i = 1;
    for (;;) {
        if (i >= argc) usage_error();
        const char* arg = argv[i++];
        size_t length = std::strlen(arg);
        if (arg[0] != '-' || length == 1 || length > 3) {
            if (i < argc) usage_error();
            settings.input_path = arg;
            return;
        }
        std::string_view key(arg + 1);
        auto value = [&]() -> const char* {
            if (i >= argc) usage_error();
            return argv[i++];
        };
        if (key == "m") {
            // A $gp base that an ELF map's _gp gave is one a later -GP may set.
            const uint32_t gp_before = settings.gp_value;
            read_map(value());
            if (settings.gp_value != gp_before) gp_from_map = true;
        } else if (key == "o") {
            if (settings.offset != 0) usage_error();
            settings.offset = address_value(value());
        } else if (key == "a") {
            if (settings.start != 0) usage_error();
            settings.start = address_value(value());
        } else if (key == "e") {
            if (settings.size != 0) usage_error();
            settings.size = static_cast<int32_t>(address_value(value()) - settings.start);
            size_from_end = true;
        } else if (key == "s") {
            if (settings.size != 0) usage_error();
            settings.size = static_cast<int32_t>(address_value(value()));
            size_from_end = false;
        } else if (key == "x") {
            size_to_next_symbol();
            size_from_end = true;
        } else if (key == "n") {
            if (settings.line_budget != 0) usage_error();
            uint32_t lines = 0;
            if (!whole_decimal(value(), &lines) || lines == 0) usage_error();
            settings.line_budget = static_cast<int32_t>(lines);
        } else if (key == "h") {
            if (settings.html_dir != nullptr) usage_error();
            settings.html_dir = value();
        } else if (key == "B") {
            if (settings.sequence_length != 0) usage_error();
            long length_value = leading_number(value());
            if (length_value < 1 || length_value > 51) usage_error();
            settings.sequence_length = static_cast<int>(length_value);
            settings.flags |= flag::special_comments;
        } else if (key == "F") {
            if (settings.function_extension != 0) usage_error();
            long extension = leading_number(value());
            if (extension < 1 || extension > 10000) usage_error();
            settings.function_extension = static_cast<int>(extension);
        } else if (key == "GP") {
            if (settings.gp_value != 0 && !gp_from_map) usage_error();
            gp_from_map = false;
            settings.gp_value = address_value(value());
        } else if (uint32_t bits = switch_bits(key); bits != 0) {
            settings.flags |= bits;
        } else if (key == "t") {
            opcode_selftest();
            // A report that did not reach its reader is no success.
            zo_fflush(settings.output);
            std::exit(0);
        } else if (key == "!") {
            zo_message("%s", mapfile_syntax_text);
        } else {
            usage_error();
        }
    }
}

void start_run(int argc, char** argv) {
    settings.start = 0;
    settings.size = 0;
    settings.line_budget = 0;
    // The program name lives for the whole run: the usage text may need it at any time.
    char* program_name = zo_progname(argc > 0 && argv[0] != nullptr ? argv[0] : "pelorin");
    zo_init(argc, argv);
    settings.output = stdout;

    read_command_line(argc, argv, program_name);

    if (settings.function_extension == 0) settings.function_extension = 500;
    if (settings.sequence_length == 0) settings.sequence_length = 10;
    settings.sequence_length -= 1;

    settings.input = zo_fopen(settings.input_path, "rb");
    if (!has_flag(flag::not_object)) load_object(settings.start, settings.offset, settings.size);
    if (executable.loaded) fit_range_to_executable();
    // A start below the offset gives a negative position: counted back from the end.
    zo_fseek(settings.input, static_cast<int32_t>(settings.start - settings.offset));

    if (settings.size == 0) settings.size = 0x7fffffff;
    if (settings.line_budget == 0) settings.line_budget = 0x7fffffff;

    if (settings.html_dir != nullptr)
        html_prepass();
    else
        settings.flags &= ~flag::highlight;
}
