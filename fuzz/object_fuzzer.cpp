// ELF relocatable objects, executables and shared libraries. A hash of the
// whole input chooses the options, so an ELF file is a seed as it is: -D
// dump, -T, -NG, -LE, -E, presentation switches, a map with -x, an HTML page
// set now and then.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "sample_files.h"

namespace {

// A section of more than this many bytes (and less than 2 GiB, which the
// loader refuses at once) makes an image that the listing reads word by word:
// a .bss of a gigabyte takes many seconds, as it should, and a few megabytes
// make thousands of HTML pages. Such objects are left out to keep the fuzzer
// fast.
constexpr uint32_t large_section = 1 << 20;

uint32_t field(const uint8_t* p, bool big_endian, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= uint32_t(p[big_endian ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
    return value;
}

bool has_large_section(const uint8_t* data, size_t size) {
    if (size < 0x34) return false;
    const bool big_endian = data[5] != 1;
    const uint32_t table = field(data + 0x20, big_endian, 4);
    const uint32_t entry = field(data + 0x2e, big_endian, 2);
    const uint32_t count = field(data + 0x30, big_endian, 2);
    for (uint32_t i = 0; entry >= 0x18 && i < count; ++i) {
        const uint64_t at = uint64_t(table) + uint64_t(i) * entry;
        if (at + 0x18 > size) break;
        const uint32_t section_size = field(data + at + 0x14, big_endian, 4);
        if (section_size > large_section && section_size < 0x80000000u) return true;
    }
    // An executable's segments under -E: p_filesz and p_memsz.
    const uint32_t segments = field(data + 0x1c, big_endian, 4);
    const uint32_t segment_count = field(data + 0x2c, big_endian, 2);
    for (uint32_t i = 0; i < segment_count; ++i) {
        const uint64_t at = uint64_t(segments) + uint64_t(i) * 0x20;
        if (at + 0x20 > size) break;
        if (field(data + at + 0x10, big_endian, 4) > large_section ||
            field(data + at + 0x14, big_endian, 4) > large_section)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (has_large_section(data, size)) return 0;
    static const bool ready = [] {
        fuzz_write("code.map", sample_map, sizeof sample_map);
        fuzz_directory("html");
        return true;
    }();
    (void)ready;
    fuzz_write("in.o", data, size);

    uint32_t hash = 2166136261u; // FNV-1a
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    std::vector<std::string> args;
    if (hash & 0x0001) args.push_back("-D");
    if (hash & 0x0002) args.push_back("-T");
    if ((hash & 0x000c) == 0x0004) args.push_back("-NG");
    if ((hash & 0x0030) == 0x0010) args.push_back("-LE");
    if (hash & 0x0040) args.push_back("-A");
    if (hash & 0x0080) args.push_back("-c");
    // Executables are listed under -E; objects take it too.
    if ((hash & 0xc000) != 0) args.push_back("-E");
    if (hash & 0x10000) args.push_back("-X");
    if ((hash & 0x60000) == 0x60000) args.insert(args.end(), {"-C", "printf,main,system,puts"});
    if ((hash & 0x0300) == 0x0100) {
        args.insert(args.end(), {"-m", "code.map", "-a", "80000000", "-x"});
    }
    if ((hash & 0x1c00) == 0x0400) {
        args.insert(args.end(), {"-h", "html", "-n", "200"});
    } else if (hash & 0x2000) {
        args.insert(args.end(), {"-n", "3000"});
    }
    args.push_back("in.o");
    fuzz_run(args);
    return 0;
}
