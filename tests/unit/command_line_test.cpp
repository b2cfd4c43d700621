// Range options under -E that name the executable's own symbols: each acts
// where it stands on the command line, once the names are entered.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "driver/command_line.h"
#include "test_support.h"

namespace {

// The start-up on the options and exec_two.elf (start 80001000, get_count
// 80001030, fill 80001040; memory up to 80003070). The texts stay for the run.
struct exec_two_run {
    std::vector<std::string> args;
    std::vector<char*> argv;
    explicit exec_two_run(std::vector<std::string> options) : args(std::move(options)) {
        args.insert(args.begin(), "pelorin");
        args.push_back(PELORIN_CLI_SHARED "/exec_two.elf");
        for (std::string& arg : args) argv.push_back(arg.data());
    }
    void start() {
        reset_run_state();
        start_run(int(argv.size()), argv.data());
    }
};

TEST(CommandLine, WaitingRangeOptionsActWhereTheyStand) {
    const struct {
        std::vector<std::string> options;
        uint32_t start;
        int32_t size;
    } cases[] = {
        {{"-E", "-a", "get_count", "-x"}, 0x80001030, 0x10},
        // Behind a start that waits, a known end waits for it.
        {{"-a", "get_count", "-E", "-e", "80001040"}, 0x80001030, 0x10},
        // -x before -a counts from 0, up to 80001000: the range ends below its start.
        {{"-E", "-x", "-a", "get_count"}, 0x80001030, -1},
    };
    for (const auto& c : cases) {
        exec_two_run run(c.options);
        run.start();
        EXPECT_EQ(settings.start, c.start) << ::testing::PrintToString(c.options);
        EXPECT_EQ(settings.size, c.size) << ::testing::PrintToString(c.options);
        zo_fclose(settings.input);
        settings.input = nullptr;
    }
    reset_run_state();
}

// -a given twice, known only once the names are in; -t while an address waits.
TEST(CommandLine, WaitingRangeOptionsKeepTheUsageErrors) {
    for (std::vector<std::string> options :
         {std::vector<std::string>{"-E", "-a", "fill", "-a", "get_count"},
          {"-E", "-a", "fill", "-t"}}) {
        exec_two_run run(options);
        EXPECT_EXIT(run.start(), ::testing::ExitedWithCode(255), "^usage: ");
    }
    reset_run_state();
}

} // namespace
