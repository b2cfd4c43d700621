// Runs the command-line cases of tests/cli: each case folder is copied into a
// fresh temporary directory, the program runs there with the case's
// arguments, environment and standard input, and its standard output,
// standard error, exit status and files are compared with the expectations.
//
//   cli_runner [--wrapper "CMD ..."] [--crlf | --windows] PROGRAM CASES_DIR [NAME_FILTER]
//
// --crlf reads CR LF as LF in the output and the written files before
// comparing (a Windows program writes its text streams so); --windows does
// that too and takes a case's expected.win.stdout and expected.win.stderr in
// preference to expected.stdout and expected.stderr where they exist, and
// skips the cases whose standard output is closed or /dev/full (a `stdout`
// file), which a Windows program under Wine can not be given.
// A file X of a case may be given as X.from, which names a shared file
// (tests/cli/shared/...) to use as X. The folder format is described in
// tests/cli/README.md.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int timeout_seconds = 10;

bool read_file(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string file_or_empty(const fs::path& path) {
    std::string bytes;
    read_file(path, bytes);
    return bytes;
}

// The file that X.from names: its first line, relative to the cases folder.
fs::path named_by(const fs::path& from_file, const fs::path& cases_dir) {
    std::string line = file_or_empty(from_file);
    return cases_dir / line.substr(0, line.find('\n'));
}

// The file that stands for a case's file relative: the file itself or, when
// the case holds relative.from instead, the file that it names.
fs::path case_file(const fs::path& case_dir, const fs::path& relative) {
    fs::path file = case_dir / relative, from = file.string() + ".from";
    if (fs::exists(file) || !fs::exists(from)) return file;
    return named_by(from, case_dir.parent_path());
}

// Lines of a text; a final newline does not start another line.
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A line of output, readable: tabs, bells, carriage returns and other bytes
// outside printable ASCII as escapes.
std::string escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\a': out += "\\a"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c < 0x20 || c >= 0x7f) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            } else {
                out += char(c);
            }
        }
    }
    return out;
}

bool is_date_char(char c, const char* allowed) {
    return std::strchr(allowed, c) != nullptr;
}

// True when text holds a compiler __DATE__ ("Sep  9 2016") at position at.
bool build_date_at(const std::string& text, size_t at) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (at + 11 > text.size()) return false;
    bool month = std::any_of(std::begin(months), std::end(months),
                             [&](const char* m) { return text.compare(at, 3, m) == 0; });
    return month && text[at + 3] == ' ' && is_date_char(text[at + 4], " 0123") &&
           is_date_char(text[at + 5], "0123456789") && text[at + 6] == ' ' &&
           std::all_of(text.begin() + long(at) + 7, text.begin() + long(at) + 11,
                       [](char c) { return c >= '0' && c <= '9'; });
}

// What the checks of a run may overlook.
struct run_options {
    bool crlf = false;    // CR LF reads as LF
    bool windows = false; // expected.win.* first
};

// LF for every CR LF; every other byte stays.
std::string without_crlf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

// The expectation file of a case, relative to it: expected.win.<what> first
// under --windows.
fs::path expectation(const fs::path& case_dir, const std::string& what,
                     const run_options& options) {
    std::string windows = "expected.win." + what;
    if (options.windows && fs::exists(case_file(case_dir, windows))) return windows;
    return "expected." + what;
}

// An expectation (relative to its case) as the Windows build must meet it: a
// plain expected.* file names the Linux banner label, which the Windows
// program writes as its own. (An expected.win.* file is taken as it stands.)
std::string expected_text(const fs::path& case_dir, const fs::path& relative,
                          const run_options& options) {
    std::string text = file_or_empty(case_file(case_dir, relative));
    if (!options.windows || relative.string().rfind("expected.win.", 0) == 0) return text;
    const std::string linux_label = "Linux x86_32 / ", windows_label = "Win32 x86_32 X / ";
    for (size_t at = text.find(linux_label); at != std::string::npos;
         at = text.find(linux_label, at + windows_label.size()))
        text.replace(at, linux_label.size(), windows_label);
    return text;
}

// Replaces the parts that change from build to build and from run to run.
std::string masked(std::string text) {
    for (const char* label : {"x86_32 / ", "x86_32 X / "}) {
        size_t length = std::strlen(label);
        for (size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1))
            if (build_date_at(text, at + length)) text.replace(at + length, 11, "@BUILD_DATE@");
    }
    const std::string head = "Generated ";
    for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
        size_t time_at = at + head.size();
        if (time_at + 29 <= text.size() && text.compare(time_at + 24, 5, " from") == 0 &&
            text.find('\n', time_at) >= time_at + 24)
            text.replace(time_at, 24, "@TIME@");
    }
    return text;
}

// A unified line diff (longest common subsequence), with escapes and three
// lines of context around each change.
void print_diff(const std::string& what, const std::string& expected, const std::string& actual) {
    std::printf("  %s differs (- expected, + actual):\n", what.c_str());
    std::vector<std::string> a = split_lines(expected), b = split_lines(actual);
    size_t n = a.size(), m = b.size();
    if (n * m > 16000000) { // too big to align: show both sides' first difference
        size_t i = 0;
        while (i < n && i < m && a[i] == b[i]) ++i;
        std::printf("  first difference at line %zu\n", i + 1);
        if (i < n) std::printf("    -%s\n", escaped(a[i]).c_str());
        if (i < m) std::printf("    +%s\n", escaped(b[i]).c_str());
        return;
    }
    std::vector<std::vector<unsigned>> lcs(n + 1, std::vector<unsigned>(m + 1, 0));
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            lcs[i][j] =
                a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    struct diff_line {
        char mark;
        std::string text;
    };
    std::vector<diff_line> lines;
    size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j])
            lines.push_back({' ', a[i++]}), ++j;
        else if (i < n && (j == m || lcs[i + 1][j] >= lcs[i][j + 1]))
            lines.push_back({'-', a[i++]});
        else
            lines.push_back({'+', b[j++]});
    }
    std::vector<bool> shown(lines.size(), false);
    for (size_t k = 0; k < lines.size(); ++k)
        if (lines[k].mark != ' ')
            for (size_t c = k >= 3 ? k - 3 : 0; c < lines.size() && c <= k + 3; ++c)
                shown[c] = true;
    bool gap = false;
    for (size_t k = 0; k < lines.size(); ++k) {
        if (!shown[k]) {
            gap = true;
            continue;
        }
        if (gap) std::printf("    ...\n");
        gap = false;
        std::printf("    %c%s\n", lines[k].mark, escaped(lines[k].text).c_str());
    }
    bool expected_newline = expected.empty() || expected.back() == '\n';
    bool actual_newline = actual.empty() || actual.back() == '\n';
    if (expected_newline != actual_newline)
        std::printf("    (the %s text has no newline at its end)\n",
                    expected_newline ? "actual" : "expected");
}

struct run_result {
    int status = -1; // exit status, or -1 when killed
    std::string how; // why there is no exit status
    std::string out, err;
};

// Where a case's standard output goes: a file that is then compared, no
// descriptor at all, or /dev/full, where every write fails.
enum class output_target { file, closed, full };

// Runs command in dir with environment env, stdin from input_path, and
// collects output, error and status; kills it after the time limit.
run_result run(const std::vector<std::string>& command, const fs::path& dir,
               const std::vector<std::string>& env, const fs::path& input_path,
               const fs::path& out_path, const fs::path& err_path, output_target target) {
    run_result result;
    std::vector<char*> argv, envp;
    for (const auto& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        result.how = std::string("fork failed: ") + std::strerror(errno);
        return result;
    }
    if (pid == 0) {
        setpgid(0, 0); // one group, so that a timeout also ends a wrapper's children
        int in = open(input_path.c_str(), O_RDONLY);
        int out = target == output_target::full
                      ? open("/dev/full", O_WRONLY)
                      : open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        close(in);
        close(out);
        close(err);
        if (target == output_target::closed) close(1);
        execve(argv[0], argv.data(), envp.data());
        // Not found as a path: look the wrapper up on PATH.
        execvpe(argv[0], argv.data(), envp.data());
        std::fprintf(stderr, "cli_runner: can't run %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    setpgid(pid, pid);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    int wait_status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &wait_status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) {
            result.how = std::string("waitpid failed: ") + std::strerror(errno);
            return result;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            waitpid(pid, &wait_status, 0);
            result.how = "timed out after " + std::to_string(timeout_seconds) + " s";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (result.how.empty()) {
        if (WIFEXITED(wait_status))
            result.status = WEXITSTATUS(wait_status);
        else
            result.how = "killed by signal " + std::to_string(WTERMSIG(wait_status));
    }
    if (target == output_target::file) result.out = file_or_empty(out_path);
    result.err = file_or_empty(err_path);
    return result;
}

// The environment of a case: ours without the ZO_ switches, then the case's lines.
std::vector<std::string> case_environment(const fs::path& env_file) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        if (entry.rfind("ZO_FWAIT=", 0) == 0 || entry.rfind("ZO_FNOBELL=", 0) == 0 ||
            entry.rfind("ZO_FWINE=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    for (const std::string& line : split_lines(file_or_empty(env_file))) {
        size_t eq = line.find('=');
        if (line.empty() || eq == std::string::npos || eq == 0) continue;
        std::string name = line.substr(0, eq + 1);
        env.erase(std::remove_if(env.begin(), env.end(),
                                 [&](const std::string& e) { return e.rfind(name, 0) == 0; }),
                  env.end());
        env.push_back(line);
    }
    return env;
}

enum class case_result { passed, failed, skipped, wine_failed };

// Runs one case; prints what went wrong or why it was skipped.
case_result run_case(const fs::path& case_dir, const std::vector<std::string>& wrapper,
                     const fs::path& program, const run_options& options) {
    // Written text as the expectations hold it.
    auto normal = [&](const std::string& text) {
        return masked(options.crlf ? without_crlf(text) : text);
    };
    std::string name = case_dir.filename().string();
    // The first line of a `stdout` file: "closed" or "/dev/full".
    output_target target = output_target::file;
    if (fs::exists(case_file(case_dir, "stdout"))) {
        std::vector<std::string> lines = split_lines(file_or_empty(case_file(case_dir, "stdout")));
        std::string what = lines.empty() ? "" : lines[0];
        if (what == "closed") {
            target = output_target::closed;
        } else if (what == "/dev/full") {
            target = output_target::full;
        } else {
            std::printf("FAIL %s\n  stdout names neither closed nor /dev/full\n", name.c_str());
            return case_result::failed;
        }
        if (options.windows) {
            std::printf("skip %s: a Windows program under Wine gets no %s standard output\n",
                        name.c_str(), what.c_str());
            return case_result::skipped;
        }
    }
    std::vector<std::string> problems;
    auto fail = [&](const std::string& text) { problems.push_back(text); };
    std::error_code ec;

    // The files X that the case gives as X.from (relative to it): each
    // X.from must name a file, and X itself must be absent.
    std::vector<fs::path> shared;
    for (const auto& entry : fs::recursive_directory_iterator(case_dir, ec)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".from") continue;
        fs::path relative = fs::relative(entry.path(), case_dir).replace_extension();
        fs::path named = named_by(entry.path(), case_dir.parent_path());
        if (fs::exists(fs::symlink_status(case_dir / relative)))
            fail(relative.string() + " and " + relative.string() + ".from both exist");
        else if (!fs::is_regular_file(named))
            fail(relative.string() + ".from names " + named.string() + ", which is no file");
        shared.push_back(relative);
    }

    char pattern[] = "/tmp/pelorin_cli_XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::printf("FAIL %s\n  can't make a temporary directory: %s\n", name.c_str(),
                    std::strerror(errno));
        return case_result::failed;
    }
    fs::path base = pattern;
    fs::path work = base / "work";
    fs::create_directory(work, ec);
    // Everything but the expectations goes into the working directory, and
    // there each X.from turns into X, a copy of the file that it names.
    for (const auto& entry : fs::directory_iterator(case_dir, ec)) {
        std::string entry_name = entry.path().filename().string();
        if (entry_name.rfind("expected.", 0) == 0) continue;
        fs::copy(entry.path(), work / entry_name, fs::copy_options::recursive, ec);
        if (ec) fail("can't copy " + entry_name + ": " + ec.message());
    }
    for (const fs::path& relative : shared) {
        if (relative.string().rfind("expected.", 0) == 0 || !problems.empty()) continue;
        fs::remove(work / (relative.string() + ".from"), ec);
        fs::copy_file(case_file(case_dir, relative), work / relative, ec);
        if (ec) fail("can't copy " + relative.string() + ": " + ec.message());
    }

    std::vector<std::string> command = wrapper;
    command.push_back(program.string());
    std::string args_text;
    if (!read_file(case_file(case_dir, "args"), args_text)) fail("no args file");
    // Every line is one argument, an empty line an empty argument.
    size_t start = 0;
    while (start < args_text.size()) {
        size_t end = args_text.find('\n', start);
        if (end == std::string::npos) end = args_text.size();
        command.push_back(args_text.substr(start, end - start));
        start = end + 1;
    }

    fs::path input = case_file(case_dir, "stdin");
    if (!fs::exists(input)) {
        input = base / "empty_stdin";
        std::ofstream(input, std::ios::binary).flush();
    }
    run_result result;
    bool ran = problems.empty();
    if (ran)
        result = run(command, work, case_environment(case_file(case_dir, "env")), input,
                     base / "stdout", base / "stderr", target);

    // Wine itself may fail to start a program (its server going away
    // between two runs), or end it midway with a status the program never
    // gives (it ends with 0 or 255); that says nothing about the program, so
    // the case is run again.
    const bool wine_failed = result.err.find("wine client error") != std::string::npos ||
                             (result.how.empty() && result.status != 0 && result.status != 255);
    if (ran && options.windows && wine_failed) {
        std::printf("again %s: Wine failed to run it (status %d): %s", name.c_str(), result.status,
                    result.err.c_str());
        fs::remove_all(base, ec);
        return case_result::wine_failed;
    }
    if (ran) {
        if (!result.how.empty()) fail(result.how);
        std::string expected_status_text = "0";
        read_file(case_file(case_dir, "expected.status"), expected_status_text);
        int expected_status = std::atoi(expected_status_text.c_str());
        if (result.how.empty() && result.status != expected_status)
            fail("exit status " + std::to_string(result.status) + ", expected " +
                 std::to_string(expected_status));
    }
    std::vector<std::pair<std::string, std::pair<std::string, std::string>>> diffs;
    if (ran) {
        std::string expected_out =
            expected_text(case_dir, expectation(case_dir, "stdout", options), options);
        std::string expected_err =
            expected_text(case_dir, expectation(case_dir, "stderr", options), options);
        std::string out = normal(result.out), err = normal(result.err);
        if (out != expected_out) diffs.push_back({"stdout", {expected_out, out}});
        if (err != expected_err) diffs.push_back({"stderr", {expected_err, err}});

        // Files by their relative paths (X.from as X); under --windows a
        // file of expected.win.files takes the place of the one in
        // expected.files.
        std::vector<fs::path> expected_dirs = {"expected.files"};
        if (options.windows) expected_dirs.insert(expected_dirs.begin(), "expected.win.files");
        std::vector<std::pair<fs::path, fs::path>> files; // relative path, expectation
        for (const fs::path& expected_files : expected_dirs) {
            if (!fs::is_directory(case_dir / expected_files)) continue;
            for (const auto& entry :
                 fs::recursive_directory_iterator(case_dir / expected_files, ec)) {
                if (!entry.is_regular_file()) continue;
                fs::path relative = fs::relative(entry.path(), case_dir / expected_files);
                if (relative.extension() == ".from") relative.replace_extension();
                if (std::none_of(files.begin(), files.end(),
                                 [&](const auto& f) { return f.first == relative; }))
                    files.push_back({relative, expected_files / relative});
            }
        }
        std::sort(files.begin(), files.end());
        for (const auto& [relative, file] : files) {
            std::string actual;
            if (!read_file(work / relative, actual)) {
                fail("file " + relative.string() + " was not written");
                continue;
            }
            std::string wanted = expected_text(case_dir, file, options);
            actual = normal(actual);
            if (actual != wanted) diffs.push_back({"file " + relative.string(), {wanted, actual}});
        }
        for (const std::string& line :
             split_lines(file_or_empty(case_file(case_dir, "expected.absent"))))
            if (!line.empty() && fs::exists(fs::symlink_status(work / line)))
                fail("file " + line + " exists but should not");
    }

    fs::remove_all(base, ec);
    if (problems.empty() && diffs.empty()) {
        std::printf("ok   %s\n", name.c_str());
        return case_result::passed;
    }
    std::printf("FAIL %s\n", name.c_str());
    for (const auto& problem : problems) std::printf("  %s\n", problem.c_str());
    for (const auto& [what, texts] : diffs) print_diff(what, texts.first, texts.second);
    return case_result::failed;
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: cli_runner [--wrapper \"CMD ...\"] [--crlf | --windows] PROGRAM "
                         "CASES_DIR [NAME_FILTER]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> wrapper;
    std::vector<std::string> positional;
    run_options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--wrapper") {
            if (++i >= argc) usage();
            std::istringstream words(argv[i]);
            for (std::string word; words >> word;) wrapper.push_back(word);
        } else if (arg == "--crlf") {
            options.crlf = true;
        } else if (arg == "--windows") {
            options.crlf = options.windows = true;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() < 2 || positional.size() > 3) usage();
    fs::path program = fs::absolute(positional[0]);
    fs::path cases = positional[1];
    std::string filter = positional.size() == 3 ? positional[2] : "";
    if (!fs::is_regular_file(program)) {
        std::fprintf(stderr, "cli_runner: no program %s\n", program.c_str());
        return 2;
    }

    std::vector<fs::path> case_dirs;
    std::error_code ec;
    // Every folder with an args file is a case, but for shared/, which holds
    // the files that the cases' X.from files name.
    for (const auto& entry : fs::directory_iterator(cases, ec)) {
        std::string name = entry.path().filename().string();
        if (entry.is_directory() && name != "shared" &&
            fs::exists(case_file(entry.path(), "args")) && name.find(filter) != std::string::npos)
            case_dirs.push_back(entry.path());
    }
    if (ec) {
        std::fprintf(stderr, "cli_runner: can't read %s: %s\n", cases.c_str(),
                     ec.message().c_str());
        return 2;
    }
    std::sort(case_dirs.begin(), case_dirs.end());

    int passed = 0, failed = 0, skipped = 0;
    for (const fs::path& dir : case_dirs) {
        case_result result = run_case(dir, wrapper, program, options);
        for (int again = 0; again < 2 && result == case_result::wine_failed; ++again)
            result = run_case(dir, wrapper, program, options);
        switch (result) {
        case case_result::passed: ++passed; break;
        case case_result::wine_failed:
            std::printf("FAIL %s: Wine failed to run it three times\n", dir.filename().c_str());
            ++failed;
            break;
        case case_result::failed: ++failed; break;
        case case_result::skipped: ++skipped; break;
        }
        std::fflush(stdout);
    }
    if (skipped > 0)
        std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
    else
        std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
