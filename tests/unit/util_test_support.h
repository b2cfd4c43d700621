// Runs a piece of code that ends the process (a message, zo_exit) in a child
// and hands back its exit status and the exact bytes of its standard error.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

struct child_result {
    int status;      // exit status, or 1000 + signal number
    std::string err; // everything written to standard error
};

// Environment of the child: ZO_FWAIT, ZO_FNOBELL and ZO_FWINE are removed,
// then the given NAME/VALUE pairs are set. Standard input holds `input`.
template <class Body>
child_result run_child(Body body,
                       std::initializer_list<std::pair<const char*, const char*>> env = {},
                       const std::string& input = "") {
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
