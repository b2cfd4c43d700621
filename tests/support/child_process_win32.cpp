// run_child without fork: the test program starts itself again, filtered to
// the running test, with PELORIN_TEST_CHILD naming the call to run. In that
// child the earlier run_child calls of the test return at once, the named
// one runs its body and leaves through _exit, as gtest's death tests do.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "util_test_support.h"

namespace {

constexpr char child_variable[] = "PELORIN_TEST_CHILD";
// What a killed child reads as: 1000 + SIGALRM, as on POSIX systems.
constexpr int timeout_status = 1000 + 14;

// Calls of run_child in the running test, counted from 0 at each test start.
int call_number = 0;

struct call_counter : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { call_number = 0; }
};
[[maybe_unused]] const bool counter_listening = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new call_counter);
    return true;
}();

// The call this process runs as a child, -1 in the parent.
int child_call() {
    const char* value = std::getenv(child_variable);
    return value != nullptr ? std::atoi(value) : -1;
}

bool same_name(const std::string& entry, const char* name) {
    size_t length = std::strlen(name);
    return entry.size() > length && entry[length] == '=' &&
           _strnicmp(entry.c_str(), name, length) == 0;
}

// Our environment without the ZO_ switches and the names set anew, then the
// pairs and the call number; a block of NUL-ended entries ending in NUL.
std::string child_environment(env_list env, int call) {
    std::vector<std::string> entries;
    if (char* block = GetEnvironmentStringsA()) {
        for (const char* e = block; *e != 0; e += std::strlen(e) + 1) entries.emplace_back(e);
        FreeEnvironmentStringsA(block);
    }
    std::vector<const char*> dropped = {"ZO_FWAIT", "ZO_FNOBELL", "ZO_FWINE", child_variable};
    for (const auto& pair : env) dropped.push_back(pair.first);
    std::string block;
    for (const std::string& entry : entries) {
        bool drop = false;
        for (const char* name : dropped) drop = drop || same_name(entry, name);
        if (!drop) block += entry + '\0';
    }
    for (const auto& [name, value] : env) block += std::string(name) + "=" + value + '\0';
    block += std::string(child_variable) + "=" + std::to_string(call) + '\0';
    return block + '\0';
}

std::string temp_file_name() {
    char directory[MAX_PATH + 1];
    char name[MAX_PATH + 1];
    GetTempPathA(sizeof directory, directory);
    GetTempFileNameA(directory, "pch", 0, name);
    return name;
}

HANDLE open_inheritable(const char* path, DWORD access, DWORD creation) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, creation,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string file_bytes(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char block[4096];
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes.append(block, got);
        std::fclose(f);
    }
    return bytes;
}

// Standard error is a text stream here: CR LF is what the program wrote as LF.
std::string without_carriage_returns(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

} // namespace

child_result run_child(const std::function<void()>& body, env_list env, const std::string& input) {
    int call = call_number++;
    if (int wanted = child_call(); wanted >= 0) {
        // The child of an earlier or later call: nothing to do here.
        if (call != wanted) return {-1, ""};
        body();
        std::fflush(nullptr);
        _exit(0);
    }

    std::string input_path = temp_file_name(), err_path = temp_file_name();
    if (FILE* f = std::fopen(input_path.c_str(), "wb")) {
        std::fwrite(input.data(), 1, input.size(), f);
        std::fclose(f);
    }
    HANDLE in = open_inheritable(input_path.c_str(), GENERIC_READ, OPEN_EXISTING);
    HANDLE err = open_inheritable(err_path.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE out = open_inheritable("NUL", GENERIC_WRITE, OPEN_EXISTING);

    char program[MAX_PATH + 1];
    GetModuleFileNameA(nullptr, program, sizeof program);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string command = std::string("\"") + program +
                          "\" --gtest_filter=" + test->test_suite_name() + "." + test->name();
    std::string environment = child_environment(env, call);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    child_result result{-1, ""};
    std::fflush(nullptr);
    // Wine now and then fails to start a process on a busy machine: the
    // child is started up to three times before the test sees status -1.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0) Sleep(200);
        started = CreateProcessA(program, command.data(), nullptr, nullptr, TRUE, 0,
                                 environment.data(), nullptr, &startup, &process) != 0;
    }
    if (started) {
        // A wait that never ends fails the test instead of hanging it.
        if (WaitForSingleObject(process.hProcess, 10000) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, INFINITE);
            result.status = timeout_status;
        } else {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            // exit(-1) reads 0xffffffff here; a POSIX shell sees its low byte.
            result.status = int(code & 0xff);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(in);
    CloseHandle(err);
    CloseHandle(out);
    result.err = without_carriage_returns(file_bytes(err_path));
    DeleteFileA(input_path.c_str());
    DeleteFileA(err_path.c_str());
    return result;
}

void set_test_env(const char* name, const char* value) {
    // An empty value removes the variable here; no test needs an empty one.
    _putenv_s(name, value != nullptr ? value : "");
}
