// Runs a piece of code that ends the process (a message, zo_exit) in a child
// and hands back its exit status and the exact bytes of its standard error.
// The child is a fork on POSIX systems; on Windows the test program starts
// itself again for the same test and runs only the body of the n-th call
// (tests/support/child_process_*.cpp, one of them chosen by the build).
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

struct child_result {
    int status;      // exit status (its low 8 bits), or 1000 + signal number
    std::string err; // everything written to standard error; CR LF reads LF
};

using env_list = std::initializer_list<std::pair<const char*, const char*>>;

// Environment of the child: ZO_FWAIT, ZO_FNOBELL and ZO_FWINE are removed,
// then the given NAME/VALUE pairs are set. Standard input holds `input`. A
// child that runs for more than 10 seconds is killed (status 1000 + SIGALRM).
child_result run_child(const std::function<void()>& body, env_list env = {},
                       const std::string& input = "");

// Sets (or, for a null value, removes) an environment variable of this process.
void set_test_env(const char* name, const char* value);
