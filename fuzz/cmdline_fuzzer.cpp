// Command lines: the input is split into arguments at NUL and newline bytes.
// Beside it lie a stretch of code (code.bin), a map for it (code.map), an
// object (sample.o) and an empty directory for HTML pages (html).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "sample_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz_write("code.bin", sample_code, sizeof sample_code);
        fuzz_write("code.map", sample_map, sizeof sample_map);
        fuzz_write("sample.o", sample_object, sizeof sample_object);
        fuzz_directory("html");
        return true;
    }();
    (void)ready;
    constexpr size_t argument_limit = 40;
    fuzz_run(fuzz_split_arguments(std::string_view(reinterpret_cast<const char*>(data), size),
                                  argument_limit));
    return 0;
}
