// The in-process harness: the program's main routine run once per input
// with its exit turned into an exception through zo_exit's seam.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

#include "driver/command_line.h"
#include "driver/listing_loop.h"
#include "driver/run_state.h"
#include "object/elf_loader.h"
#include "symbols/map_file.h"
#include "symbols/symbol_table.h"
#include "util/platform.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace fs = std::filesystem;

namespace {

// What zo_exit throws instead of ending the process.
struct left_run {
    int status;
};

[[noreturn]] void leave(int status) {
    throw left_run{status};
}

bool set_up = false;
fs::path work_dir;
fs::path start_dir;
std::vector<std::string> kept_files;
std::vector<std::string> kept_directories;

[[noreturn]] void harness_fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz harness: %s %s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

void remove_work_dir() {
    std::error_code ignored;
    fs::current_path(start_dir, ignored);
    fs::remove_all(work_dir, ignored);
}

void unset_variable(const char* name) {
#ifdef _WIN32
    std::string assignment = std::string(name) + "=";
    _putenv(assignment.c_str());
#else
    unsetenv(name);
#endif
}

// Open descriptors of the process (Linux); -1 where they can not be counted.
long open_descriptors() {
#ifdef __linux__
    long n = 0;
    std::error_code error;
    for (fs::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error))
        ++n;
    return error ? -1 : n;
#else
    return -1;
#endif
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names)
        if (n == name) return true;
    return false;
}

// Keeps every path inside the working directory and the process alive: no
// separators, no "..", no "-t" (its self-check ends the process at once),
// no --help or --version.
std::string confined(std::string arg) {
    if (arg == "-t") return "-T";
    // --help and --version end the process as the sole argument.
    if (arg == "--help" || arg == "--version") return "-" + arg;
    for (char& c : arg)
        if (c == '/' || c == '\\' || c == ':') c = '_';
    if (arg.size() >= 2 && arg.find_first_not_of('.') == std::string::npos)
        arg.assign(arg.size(), '_');
    return arg;
}

// Every module's state as at program start, exits through the seam.
void reset_state() {
    reset_run_state();
    zo_set_exit_seam(leave);
}

// Closes what a run ended by a message left open: the input (the object or
// the image), a page, a map file. The loader's exit hook has already closed
// and removed the image file; its name is released here.
void close_leftovers() {
    reset_map_file();
    if (settings.output != nullptr && settings.output != stdout) std::fclose(settings.output);
    settings.output = stdout;
    if (settings.input != nullptr) std::fclose(settings.input);
    settings.input = nullptr;
    platform_remove_on_signal(nullptr);
    if (settings.image_path != nullptr) {
        std::error_code error;
        if (fs::exists(settings.image_path, error))
            harness_fault("image file left behind:", settings.image_path);
        zo_free(settings.image_path);
        settings.image_path = nullptr;
    }
    zo_reset_files();
    std::fflush(stdout);
    std::clearerr(stdout);
}

// Removes every file the run made: all but the kept files, and the contents
// of the kept directories.
void remove_run_files() {
    std::error_code error;
    std::vector<fs::path> doomed;
    for (fs::directory_iterator it(work_dir, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (contains(kept_directories, name)) {
            std::error_code inner;
            for (fs::directory_iterator sub(it->path(), inner), e; !inner && sub != e;
                 sub.increment(inner))
                doomed.push_back(sub->path());
        } else if (!contains(kept_files, name)) {
            doomed.push_back(it->path());
        }
    }
    for (const fs::path& p : doomed) {
        std::error_code ignored;
        fs::remove_all(p, ignored);
    }
}

} // namespace

void fuzz_setup() {
    if (set_up) return;
    set_up = true;
    start_dir = fs::current_path();
    const fs::path base = fs::temp_directory_path();
    std::random_device random;
    for (;;) {
        work_dir = base / ("pelorin_fuzz_" + std::to_string(random()));
        if (fs::create_directory(work_dir)) break;
    }
    std::atexit(remove_work_dir);
#ifdef _WIN32
    const char* null_device = "NUL";
#else
    const char* null_device = "/dev/null";
#endif
    if (std::freopen(null_device, "w", stdout) == nullptr) harness_fault("no null device", "");
    // No prompts: they would wait for standard input.
    unset_variable("ZO_FWAIT");
    unset_variable("ZO_FWINE");
}

void fuzz_write(const char* name, const void* bytes, size_t size) {
    fuzz_setup();
    FILE* f = std::fopen((work_dir / name).string().c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes, 1, size, f) != size || std::fclose(f) != 0)
        harness_fault("can not write", name);
    if (!contains(kept_files, name)) kept_files.emplace_back(name);
}

void fuzz_directory(const char* name) {
    fuzz_setup();
    std::error_code error;
    fs::create_directory(work_dir / name, error);
    if (error) harness_fault("can not make directory", name);
    if (!contains(kept_directories, name)) kept_directories.emplace_back(name);
}

int fuzz_run(std::vector<std::string> args) {
    fuzz_setup();
    for (std::string& arg : args) arg = confined(std::move(arg));
    args.insert(args.begin(), "pelorin");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Counted around each run: the fuzzing engine opens files of its own
    // between runs.
    const long descriptors_before = open_descriptors();

    // The run's relative paths (the input, the image beside it, index.htm)
    // lie in the working directory; the caller's own paths stay valid.
    start_dir = fs::current_path();
    fs::current_path(work_dir);
    reset_state();
    int status = 0;
    try {
        start_run(int(args.size()), argv.data());
        list_words();
    } catch (const left_run& left) {
        status = left.status;
    }
    close_leftovers();
    remove_run_files();
    reset_state();
    zo_set_exit_seam(nullptr);
    fs::current_path(start_dir);

    const long descriptors = open_descriptors();
    if (descriptors != descriptors_before)
        harness_fault("descriptors left open:", std::to_string(descriptors) + " instead of " +
                                                    std::to_string(descriptors_before));
    return status;
}

std::vector<std::string> fuzz_split_arguments(std::string_view text, size_t limit) {
    std::vector<std::string> args;
    size_t begin = 0;
    while (begin < text.size() && args.size() < limit) {
        size_t end = begin;
        while (end < text.size() && text[end] != '\0' && text[end] != '\n') ++end;
        args.emplace_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return args;
}

std::string fuzz_hex(uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%x", unsigned(value));
    return text;
}
