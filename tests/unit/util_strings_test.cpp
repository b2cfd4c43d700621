// Allocation limits and the string helpers: joins, names, bounded copies.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "util/zo.h"
#include "util_test_support.h"

namespace {

// The text of a new string from the library, released at once.
std::string take(char* text) {
    std::string s = text;
    zo_free(text);
    return s;
}

// The separator rules of each platform: util_paths_posix_test.cpp and
// win32_paths_test.cpp.
TEST(Strings, PathJoinAndNamesWithoutSeparators) {
    EXPECT_EQ(take(zo_pathjoin("", "80001000.htm")), "80001000.htm");
    EXPECT_EQ(take(zo_progname("x.tar.gz")), "x.tar");
    EXPECT_EQ(take(zo_progname(".rc")), "");
    EXPECT_EQ(zo_basename("plain"), std::string("plain"));
}

TEST(Strings, JoinConcatenatesIntoNewMemory) {
    const char* first = "dump.o";
    char* copy = zo_strjoin(first, nullptr);
    EXPECT_NE(copy, first);
    EXPECT_EQ(take(copy), "dump.o");
    EXPECT_EQ(take(zo_strjoin(first, "_")), "dump.o_");
    EXPECT_EQ(take(zo_strjoin("", "")), "");
}

TEST(Strings, CopyStopsAtLimitWithoutTerminator) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(zo_strcopy(buffer, "abcdef", 3), buffer + 3);
    EXPECT_EQ(std::string(buffer, 4), "abc#");

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(zo_strcopy(buffer, "ab", 3), buffer + 2);
    EXPECT_EQ(std::string(buffer, 4), std::string("ab\0#", 4));

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(zo_strcopy(buffer, "ab", 0), buffer);
    EXPECT_EQ(buffer[0], '#');

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(zo_strcopy_start(buffer, "abcdef", 5), buffer);
    EXPECT_EQ(std::string(buffer, 6), "abcde#");
}

TEST(Strings, SnprintfTruncatesAndAlwaysTerminates) {
    char buffer[24];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(zo_snprintf(buffer, 20, "%s", "0123456789abcdefghijklmno"), 25);
    EXPECT_EQ(std::string(buffer), "0123456789abcdefghi");
    EXPECT_EQ(buffer[20], '#');

    EXPECT_EQ(zo_snprintf(buffer, 20, "%08x.htm", 0x80001000u), 12);
    EXPECT_EQ(std::string(buffer), "80001000.htm");

    // No room at all: nothing is written, even for a negative size.
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(zo_snprintf(buffer, 0, "abc"), 3);
    EXPECT_EQ(zo_snprintf(buffer, -1, "abc"), 3);
    EXPECT_EQ(buffer[0], '#');
}

TEST(Strings, AllocRefusesBadSizesAndEndsWithoutMemory) {
    void* block = zo_alloc(1);
    ASSERT_NE(block, nullptr);
    zo_free(block);
    zo_free(nullptr);

    const std::string illegal = "[re]alloc: illegal size\a\n";
    EXPECT_EQ(run_child([] { zo_alloc(0); }).err, illegal);
    // An int size that overflowed arrives sign-extended, so negative.
    EXPECT_EQ(run_child([] { zo_alloc(int64_t(INT32_MIN)); }).err, illegal);
    auto huge = run_child([] { zo_alloc(INT64_MAX); });
    EXPECT_EQ(huge.status, 255);
    // (A sanitizer build may say something of its own first.)
    const std::string no_memory = "[re]alloc: no memory\a\n";
    ASSERT_GE(huge.err.size(), no_memory.size());
    EXPECT_EQ(huge.err.substr(huge.err.size() - no_memory.size()), no_memory);
}

} // namespace
