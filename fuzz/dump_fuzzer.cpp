// Raw dumps listed with random option sets: the first bytes of the input
// choose the options, the rest is the dump.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "sample_files.h"

namespace {

// Bytes of the input taken for the options before the dump begins.
constexpr size_t option_bytes = 16;

constexpr uint32_t offsets[] = {0, 0x80000000, 0xbfc00000, 0x00400000};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz_write("code.map", sample_map, sizeof sample_map);
        fuzz_directory("pages");
        return true;
    }();
    (void)ready;
    fuzz_bytes in{data, size < option_bytes ? size : option_bytes};
    const size_t dump_size = size - in.size;
    fuzz_write("dump.bin", data + in.size, dump_size);

    const uint8_t switches = in.take();
    const uint8_t more = in.take();
    const uint8_t lengths = in.take();
    const uint8_t range = in.take();
    const uint32_t word = in.take_word();
    const uint32_t second = in.take_word();
    const uint8_t extra = in.take();

    std::vector<std::string> args;
    static const char* const presentation[] = {"-A", "-c", "-g", "-S", "-P", "-b", "-r", "-H"};
    for (int bit = 0; bit < 8; ++bit)
        if (switches & (1 << bit)) args.push_back(presentation[bit]);
    if (more & 0x01) args.push_back("-LE");
    if (more & 0x40) args.push_back("-R2");
    if ((more & 0x06) != 0x06) args.push_back("-NO"); // mostly a raw dump
    if (more & 0x08) args.insert(args.end(), {"-m", "code.map"});
    if (lengths & 0x0f) args.insert(args.end(), {"-B", std::to_string(lengths & 0x3f)});
    if (lengths & 0x80) args.insert(args.end(), {"-F", std::to_string(second % 10020)});
    if (more & 0x10) args.insert(args.end(), {"-GP", fuzz_hex(second)});

    // The offset: a usual one, or any; the start mostly inside the dump.
    const uint32_t offset = (range & 0x04) ? word : offsets[range & 0x03];
    if (offset != 0 || (range & 0x08)) args.insert(args.end(), {"-o", fuzz_hex(offset)});
    const uint32_t start = (range & 0x10) ? offset + (second & 0xffc) : second;
    args.insert(args.end(), {"-a", fuzz_hex(start)});
    switch (range >> 5) {
    case 1: args.insert(args.end(), {"-s", fuzz_hex(word & 0xffff)}); break;
    case 2: args.insert(args.end(), {"-e", fuzz_hex(start + (word & 0xfff))}); break;
    case 3:
        if (more & 0x08) args.push_back("-x");
        break;
    case 4: args.insert(args.end(), {"-n", std::to_string(1 + (word & 0x1ff))}); break;
    default: break;
    }
    // Calls through registers and their callers, or the call-site report of
    // a few of the map's names.
    if (extra & 0x02) args.push_back("-X");
    if ((extra & 0x0c) == 0x0c) args.insert(args.end(), {"-C", "printf,uart_putc,memcpy,main"});
    // Where the dump belongs, in place of the listing.
    if ((extra & 0x30) == 0x30) args.push_back("-FB");
    // An HTML page set now and then, of a few small pages.
    if ((more & 0xe0) == 0xe0) {
        args.insert(args.end(), {"-h", "pages"});
        if (!(extra & 0x01)) args.insert(args.end(), {"-n", std::to_string(8 + (extra >> 1))});
    }
    args.push_back("dump.bin");
    fuzz_run(args);
    return 0;
}
