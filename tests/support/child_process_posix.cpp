// run_child by fork: the child runs the body with its own standard input and
// error and leaves through _exit when the body returns.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

#include "util_test_support.h"

child_result run_child(const std::function<void()>& body, env_list env, const std::string& input) {
    FILE* in = std::tmpfile();
    FILE* err = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::fflush(in);
    std::rewind(in);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        for (const char* name : {"ZO_FWAIT", "ZO_FNOBELL", "ZO_FWINE"}) unsetenv(name);
        for (const auto& [name, value] : env) setenv(name, value, 1);
        dup2(fileno(in), 0);
        dup2(fileno(err), 2);
        clearerr(stdin);
        alarm(10); // a wait that never ends fails the test instead of hanging it
        body();
        std::fflush(nullptr);
        _exit(0);
    }
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    child_result result{};
    result.status =
        WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 1000 + WTERMSIG(wait_status);
    std::rewind(err);
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, err)) > 0) result.err.append(block, got);
    std::fclose(in);
    std::fclose(err);
    return result;
}

void set_test_env(const char* name, const char* value) {
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}
