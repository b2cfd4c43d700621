// Counting, linking and ordering of jump targets.
#include <gtest/gtest.h>

#include "html/call_targets.h"
#include "symbols/symbol_table.h"
#include "test_support.h"

namespace {

struct CallTargets : ::testing::Test {
    void SetUp() override { reset_run_state(); }
    void TearDown() override { reset_run_state(); }
};

TEST_F(CallTargets, CountsInOrderOfFirstOccurrence) {
    record_call_target(0x80001000);
    record_call_target(0x80000100);
    record_call_target(0x80001000);
    record_call_target(0);
    record_call_target(0x80001000);
    ASSERT_EQ(call_target_count, 3);
    EXPECT_EQ(call_targets[0].address, 0x80001000u);
    EXPECT_EQ(call_targets[0].count, 3);
    EXPECT_EQ(call_targets[1].address, 0x80000100u);
    EXPECT_EQ(call_targets[1].count, 1);
    EXPECT_EQ(call_targets[2].address, 0u);
    EXPECT_EQ(call_targets[2].symbol, -1);
}

TEST_F(CallTargets, FullTableDropsNewTargetsButKeepsCounting) {
    // Addresses that collide in any simple hash: multiples of a large power of 2
    // mixed with neighbours.
    for (int i = 0; i < call_target_capacity; ++i)
        record_call_target(static_cast<uint32_t>(i % 2 ? i << 18 : i * 4));
    ASSERT_EQ(call_target_count, call_target_capacity);
    record_call_target(0xfffffffc);
    EXPECT_EQ(call_target_count, call_target_capacity);
    record_call_target(4u << 18 | 0); // not recorded before (even i use i * 4)
    record_call_target(8);            // i = 2
    record_call_target(3u << 18);     // i = 3
    EXPECT_EQ(call_target_count, call_target_capacity);
    EXPECT_EQ(call_targets[2].count, 2);
    EXPECT_EQ(call_targets[3].count, 2);
    for (int i = 0; i < call_target_count; ++i) EXPECT_NE(call_targets[i].address, 0xfffffffcu);
}

TEST_F(CallTargets, LinkingTakesTheLastEntryAtTheAddress) {
    add_symbol(0x100, "alpha", "");
    add_symbol(0x100, "beta", "");
    add_symbol(0x200, "gamma", "");
    add_symbol(0x200, "", "only a comment"); // sorts first, so gamma wins
    add_symbol(0x300, "", "comment wins");
    sort_symbols();
    record_call_target(0x300);
    record_call_target(0x100);
    record_call_target(0x200);
    record_call_target(0x400);
    link_call_targets();
    ASSERT_EQ(call_target_count, 4);
    EXPECT_STREQ(symbol_table[call_targets[0].symbol].comment, "comment wins");
    EXPECT_STREQ(symbol_table[call_targets[1].symbol].name, "beta");
    EXPECT_STREQ(symbol_table[call_targets[2].symbol].name, "gamma");
    EXPECT_EQ(call_targets[3].symbol, -1);
}

TEST_F(CallTargets, SortsByAddressHighestFirstAndKeepsCounting) {
    record_call_target(0x10);
    record_call_target(0x80000000); // above 0x7fffffff: compared unsigned
    record_call_target(0x10);
    record_call_target(0x20);
    sort_call_targets();
    ASSERT_EQ(call_target_count, 3);
    EXPECT_EQ(call_targets[0].address, 0x80000000u);
    EXPECT_EQ(call_targets[1].address, 0x20u);
    EXPECT_EQ(call_targets[2].address, 0x10u);
    EXPECT_EQ(call_targets[2].count, 2);
    // The records moved: counting after the sort still finds the right one.
    record_call_target(0x10);
    record_call_target(0x30);
    EXPECT_EQ(call_targets[2].count, 3);
    EXPECT_EQ(call_targets[3].address, 0x30u);
}

} // namespace
