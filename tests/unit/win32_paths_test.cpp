// Paths in the Windows build: the backslash separates, a drive name such as
// C: needs no separator after it, a slash is an ordinary character, and the
// redirect page names a page on a drive by a file:// URL.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "html/call_targets.h"
#include "html/page_elements.h"
#include "html/page_set.h"
#include "listing/labels.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/output.h"
#include "util/zo.h"

namespace {

std::string take(char* text) {
    std::string s = text;
    zo_free(text);
    return s;
}

TEST(WindowsPaths, PathJoinAddsOneBackslashUnlessADriveEnds) {
    EXPECT_EQ(take(zo_pathjoin("out", "a.htm")), "out\\a.htm");
    EXPECT_EQ(take(zo_pathjoin("out\\", "a.htm")), "out\\a.htm");
    EXPECT_EQ(take(zo_pathjoin("C:", "a.htm")), "C:a.htm");
    EXPECT_EQ(take(zo_pathjoin("C:\\", "a.htm")), "C:\\a.htm");
    EXPECT_EQ(take(zo_pathjoin("", "a.htm")), "a.htm");
    // A trailing slash is part of a name here, so the backslash still comes.
    EXPECT_EQ(take(zo_pathjoin("out/", "a.htm")), "out/\\a.htm");
}

TEST(WindowsPaths, BaseNameFollowsTheLastBackslashOnly) {
    EXPECT_EQ(take(zo_progname("C:\\tools\\bin\\pelorin.exe")), "pelorin");
    EXPECT_EQ(take(zo_progname("..\\x.tar.gz")), "x.tar");
    EXPECT_EQ(take(zo_progname("dir.d\\prog")), "prog");
    // The slash does not separate: the dot of "v1.2/pelorin" cuts the name.
    EXPECT_EQ(take(zo_progname("v1.2/pelorin")), "v1");
    EXPECT_EQ(take(zo_progname("bin/pelorin.exe")), "bin/pelorin");
    // A drive name alone is no separator for the base name.
    const char* drive = "C:pelorin.exe";
    EXPECT_EQ(zo_basename(drive), drive);
    const char* path = "a\\b/c\\d.exe";
    EXPECT_EQ(zo_basename(path), path + 6);
}

struct WindowsPages : ::testing::Test {
    temp_dir dir;
    std::filesystem::path saved_cwd = std::filesystem::current_path();
    void SetUp() override {
        reset();
        std::filesystem::current_path(dir.path);
        std::filesystem::create_directory(dir.path / "out");
    }
    void TearDown() override {
        std::filesystem::current_path(saved_cwd);
        reset();
    }
    static void reset() { reset_page_run(); }

    // One page at 80001000 written into html_dir; returns index.htm's text.
    std::string write_one_page(const char* html_dir) {
        settings.html_dir = html_dir;
        settings.input_path = "dump.bin";
        pages.count = 1;
        pages.starts[0] = 0x80001000;
        pages.paged_end = 0x80001004;
        html_page_switch(0x80001000);
        out_text("\t80001000:\n");
        ::testing::internal::CaptureStderr();
        html_close_pages();
        ::testing::internal::GetCapturedStderr();
        std::ifstream in(dir.path / "index.htm", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

// Pages are text files: each line ends in CR LF here.
const char* const redirect_head = "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=refresh CONTENT=\"0; URL=";
const char* const redirect_tail = "\">\r\n</HEAD>\r\n</HTML>\r\n";

TEST_F(WindowsPages, RedirectNamesADrivePathByAFileUrl) {
    std::string out = dir.text + "\\out";
    ASSERT_EQ(out[1], ':') << out;
    EXPECT_EQ(write_one_page(out.c_str()),
              redirect_head + ("file://" + out + "\\80001000.htm") + redirect_tail);
    EXPECT_TRUE(std::filesystem::exists(dir.path / "out" / "80001000.htm"));
}

TEST_F(WindowsPages, RedirectToARelativeDirectoryUsesTheBackslash) {
    EXPECT_EQ(write_one_page("out"),
              redirect_head + std::string("out\\80001000.htm") + redirect_tail);
    EXPECT_TRUE(std::filesystem::exists(dir.path / "out" / "80001000.htm"));
}

} // namespace
