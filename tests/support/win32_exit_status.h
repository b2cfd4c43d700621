// Windows hands gtest a process's whole 32-bit exit code: exit(-1) reads as
// -1 there, where a POSIX shell (and a Linux program running Wine) sees 255.
// The unit tests of the Windows build take this header first (-include), so
// that their ExitedWithCode(255) compares the low eight bits, as a POSIX
// shell does, and the same expectations serve both builds.
#pragma once

#include <gtest/gtest.h>

namespace testing {

class ExitedWithLowByte {
  public:
    explicit ExitedWithLowByte(int code) : code_(code) {}
    bool operator()(int status) const { return (status & 0xff) == (code_ & 0xff); }

  private:
    int code_;
};

} // namespace testing

#define ExitedWithCode(code) ExitedWithLowByte(code)
