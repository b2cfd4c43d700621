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
#include "listing/base_finder.h"
#include "listing/references.h"
#include "mips/opcode_table.h"
#include "object/elf_executable.h"
#include "object/elf_map.h"
#include "object/image_file.h"
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
    "\t-X\t\tcalls through registers, switch tables; callers (with -c)\n"
    "\t-C {names}\tcall sites of the named functions instead of the listing\n"
    "\t-FB\t\tfind the byte order and load address of a raw dump\n"
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
// The name start_run made of argv[0], which lives for the run.
char* made_program_name = nullptr;

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

// -x: the size up to the first entry, in table order, above the start
// address; false when there is none.
bool size_to_next_symbol() {
    for (int i = 0; i < symbol_count; ++i) {
        if (symbol_table[i].address > settings.start) {
            settings.size = static_cast<int32_t>(symbol_table[i].address - settings.start);
            return true;
        }
    }
    return false;
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

// Under -E an address may use the input's own names, which are entered only
// as the input is loaded. From the first -a, -e or -x whose address (or next
// symbol) is not known when it is met, the range options wait until then and
// act in their order: waiting_from is the argv index of that first one (0
// when none waits), waiting_end the one of the input file.
char** waiting_argv = nullptr;
int waiting_from = 0, waiting_end = 0;

// The options that take a value: the next argument, whatever it reads.
constexpr std::array<std::string_view, 11> value_options{
    {"m", "o", "a", "e", "s", "n", "h", "B", "F", "GP", "C"}};

bool takes_value(std::string_view key) {
    return std::find(value_options.begin(), value_options.end(), key) != value_options.end();
}

// An argument that is no option: the input file.
bool is_file_argument(const char* arg) {
    const size_t length = std::strlen(arg);
    return arg[0] != '-' || length == 1 || length > 3;
}

bool is_range_option(std::string_view key) {
    return key == "a" || key == "e" || key == "s" || key == "x";
}

// -E anywhere among the options, looked for before they act: an address
// before it may wait for the input's names.
bool elf_image_given(int argc, char** argv) {
    for (int i = 1; i < argc && !is_file_argument(argv[i]); ++i) {
        const std::string_view key(argv[i] + 1);
        if (key == "E") return true;
        if (takes_value(key)) ++i;
    }
    return false;
}

// -a, -e, -s or -x with its value acts on the range; false, with nothing
// changed, when the address of -a or -e or the symbol of -x is not known.
bool act_on_range(std::string_view key, const char* text) {
    uint32_t value = 0;
    if (key == "a") {
        if (settings.start != 0) usage_error();
        if (parse_address(text, &value) != 0) return false;
        settings.start = value;
        return true;
    }
    if (settings.size != 0) usage_error();
    if (key == "e") {
        if (parse_address(text, &value) != 0) return false;
        settings.size = static_cast<int32_t>(value - settings.start);
    } else if (key == "s") {
        settings.size = static_cast<int32_t>(address_value(text));
    } else if (!size_to_next_symbol()) {
        return false;
    }
    size_from_end = key != "s";
    return true;
}

// Ends the run for a waiting option whose address is still not known; why
// (": not an ELF file)", " under -NO)") tells when the input gave no names.
[[noreturn]] void refuse_waiting(std::string_view key, const char* text, const char* why) {
    const char* open = why != nullptr ? " (no names from " : "";
    const char* path = why != nullptr ? settings.input_path : "";
    if (why == nullptr) why = "";
    if (key == "x") zo_message("-x: no symbol after %08x%s%s%s", settings.start, open, path, why);
    zo_message("-%c %s: unknown symbol%s%s%s", key[0], text, open, path, why);
}

// The input's names are in the table: the waiting options act as they would
// have when met, had the names been known then. (The loader's range holds
// the settings' start and size as they stand; it takes them over after.)
void act_on_waiting_options(image_range& range) {
    for (int i = waiting_from; i < waiting_end;) {
        const std::string_view key(waiting_argv[i++] + 1);
        const char* text = takes_value(key) ? waiting_argv[i++] : nullptr;
        if (is_range_option(key) && !act_on_range(key, text)) refuse_waiting(key, text, nullptr);
    }
    waiting_from = 0;
    range.start = settings.start;
    range.size = settings.size;
}

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
constexpr std::array<switch_option, 17> switch_options{{
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
    {"X", flag::cross_references},
    {"FB", flag::find_base},
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
    waiting_argv = argv;
    waiting_from = waiting_end = 0;
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
    const bool elf_given = elf_image_given(argc, argv);
    int i = 1;
    for (;;) {
        if (i >= argc) usage_error();
        const int at = i;
        const char* arg = argv[i++];
        if (is_file_argument(arg)) {
            if (i < argc) usage_error();
            settings.input_path = arg;
            waiting_end = at;
            return;
        }
        std::string_view key(arg + 1);
        const char* text = nullptr;
        if (takes_value(key)) {
            if (i >= argc) usage_error();
            text = argv[i++];
        }
        if (key == "m") {
            // A $gp base that an ELF map's _gp gave is one a later -GP may set.
            const uint32_t gp_before = settings.gp_value;
            read_map(text);
            if (settings.gp_value != gp_before) gp_from_map = true;
        } else if (key == "o") {
            if (settings.offset != 0) usage_error();
            settings.offset = address_value(text);
        } else if (is_range_option(key)) {
            if (waiting_from != 0) {
                // Behind one that waits they all wait, to act on the range as
                // it will stand; a size must read at once, as ever.
                if (key == "s") address_value(text);
            } else if (!act_on_range(key, text)) {
                if (!elf_given) usage_error();
                waiting_from = at;
            }
        } else if (key == "n") {
            if (settings.line_budget != 0) usage_error();
            uint32_t lines = 0;
            if (!whole_decimal(text, &lines) || lines == 0) usage_error();
            settings.line_budget = static_cast<int32_t>(lines);
        } else if (key == "h") {
            if (settings.html_dir != nullptr) usage_error();
            settings.html_dir = text;
        } else if (key == "B") {
            if (settings.sequence_length != 0) usage_error();
            long length_value = leading_number(text);
            if (length_value < 1 || length_value > 51) usage_error();
            settings.sequence_length = static_cast<int>(length_value);
            settings.flags |= flag::special_comments;
        } else if (key == "F") {
            if (settings.function_extension != 0) usage_error();
            long extension = leading_number(text);
            if (extension < 1 || extension > 10000) usage_error();
            settings.function_extension = static_cast<int>(extension);
        } else if (key == "C") {
            // -C name[,name...]: at least one name, given once.
            if (settings.call_names != nullptr || std::strspn(text, ",") == std::strlen(text))
                usage_error();
            settings.call_names = text;
            settings.flags |= flag::call_report;
        } else if (key == "GP") {
            if (settings.gp_value != 0 && !gp_from_map) usage_error();
            gp_from_map = false;
            settings.gp_value = address_value(text);
        } else if (uint32_t bits = switch_bits(key); bits != 0) {
            settings.flags |= bits;
        } else if (key == "t" || key == "!") {
            // An address that waits for the input's names, which these never
            // read, is the error it was before.
            if (waiting_from != 0) usage_error();
            if (key == "!") zo_message("%s", mapfile_syntax_text);
            opcode_selftest();
            // A report that did not reach its reader is no success.
            zo_fflush(settings.output);
            std::exit(0);
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
    zo_free(made_program_name);
    made_program_name = zo_progname(argc > 0 && argv[0] != nullptr ? argv[0] : "pelorin");
    zo_init(argc, argv);
    settings.output = stdout;

    read_command_line(argc, argv, made_program_name);
    // The report takes the place of the listing: there are no pages to write.
    if (has_flag(flag::call_report) && settings.html_dir != nullptr) usage_error();

    if (settings.function_extension == 0) settings.function_extension = 500;
    if (settings.sequence_length == 0) settings.sequence_length = 10;
    settings.sequence_length -= 1;

    settings.input = zo_fopen(settings.input_path, "rb");
    // Where the dump belongs is written in place of the listing; the range
    // and the offset given do not count.
    if (has_flag(flag::find_base)) {
        write_base_finding(find_base(settings.input, has_flag(flag::little_endian)),
                           settings.input_path);
        zo_fflush(settings.output);
        zo_exit(0);
    }
    set_input_names_hook(waiting_from != 0 ? act_on_waiting_options : nullptr);
    if (!has_flag(flag::not_object)) load_object(settings.start, settings.offset, settings.size);
    // Still waiting: the input gave no names (a raw dump, or -NO).
    if (waiting_from != 0) {
        const std::string_view key(waiting_argv[waiting_from] + 1);
        refuse_waiting(key, takes_value(key) ? waiting_argv[waiting_from + 1] : nullptr,
                       has_flag(flag::not_object) ? " under -NO)" : ": not an ELF file)");
    }
    if (executable.loaded) fit_range_to_executable();
    // A start below the offset gives a negative position: counted back from the end.
    zo_fseek(settings.input, static_cast<int32_t>(settings.start - settings.offset));

    if (settings.size == 0) settings.size = 0x7fffffff;
    if (settings.line_budget == 0) settings.line_budget = 0x7fffffff;

    // (The report of -C is written in place of the listing.)
    const bool cross = has_flag(flag::cross_references) && !has_flag(flag::call_report);
    if (cross) collect_references();
    if (settings.html_dir != nullptr)
        html_prepass(cross ? case_reaches() : std::vector<case_reach>{});
    else
        settings.flags &= ~flag::highlight;
    if (cross) mark_reference_links();
}

void reset_command_line() {
    usage_program_name = "pelorin";
    zo_free(made_program_name);
    made_program_name = nullptr;
    gp_from_map = size_from_end = false;
    waiting_argv = nullptr;
    waiting_from = waiting_end = 0;
}
