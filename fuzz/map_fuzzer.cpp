// Map files: names, values with address expressions, comment-only lines,
// '@' data symbols, over a fixed stretch of code listed with options that
// use the symbols (start and end by name, -x, labels, data lines, comments).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "sample_files.h"

namespace {

// The second word of the first line that has two: most often a symbol.
std::string first_name(std::string_view text) {
    size_t line_start = 0;
    while (line_start < text.size()) {
        size_t line_end = text.find('\n', line_start);
        if (line_end == std::string_view::npos) line_end = text.size();
        std::string_view line = text.substr(line_start, line_end - line_start);
        size_t a = line.find_first_of(" \t");
        if (a != std::string_view::npos) {
            size_t b = line.find_first_not_of(" \t", a);
            if (b != std::string_view::npos) {
                size_t c = line.find_first_of(" \t#\r", b);
                std::string_view word = line.substr(b, c == std::string_view::npos ? c : c - b);
                if (!word.empty() && word != "//") return std::string(word);
            }
        }
        line_start = line_end + 1;
    }
    return "80000000";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz_write("code.bin", sample_code, sizeof sample_code);
        return true;
    }();
    (void)ready;
    fuzz_write("fuzz.map", data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string name = first_name(text);

    // The option set follows from the length, so that every file keeps one.
    switch (size % 4) {
    case 0:
        fuzz_run({"-m", "fuzz.map", "-o", "80000000", "-a", "80000000", "-c", "-NO", "code.bin"});
        break;
    case 1:
        fuzz_run({"-m", "fuzz.map", "-o", "80000000", "-a", name, "-x", "-A", "-NO", "code.bin"});
        break;
    case 2:
        fuzz_run({"-m", "fuzz.map", "-o", "_start", "-a", "80000000", "-e", name + "+8", "-r", "-b",
                  "-NO", "code.bin"});
        break;
    default:
        fuzz_run({"-m", "fuzz.map", "-GP", name, "-o", "80000000", "-a", "80000100", "-s", "400",
                  "-B", "20", "-NO", "code.bin"});
        break;
    }
    return 0;
}
