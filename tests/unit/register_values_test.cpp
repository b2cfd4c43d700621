// What a register holds at a call: the forms the look-back follows and the
// words that end it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "listing/recent_words.h"
#include "listing/register_values.h"
#include "object/dynamic_file.h"
#include "test_support.h"
#include "util/run_settings.h"

namespace {

constexpr uint32_t code = 0x00400000; // address of the first word of a case
constexpr uint32_t jalr_t9 = 0x0320f809;

// An image at 0x10000 whose GOT holds a function at 0x10040 (a local entry),
// the page 0x00450000 at 0x10044 (local) and a global entry at 0x10048.
struct RegisterValues : ::testing::Test {
    input_image input;

    void SetUp() override {
        reset_run_state();
        settings.sequence_length = 9;
        settings.offset = 0x10000;
        settings.gp_value = 0x10000 + 0x7ff0;
        listed_got = {0x10040, 0x10048, 0x10050};
        std::string image(0x100, '\0');
        const std::string got("\x00\x40\x01\x20\x00\x45\x00\x00\x00\x40\x02\x00", 12);
        image.replace(0x40, got.size(), got);
        input.open(image);
    }
    void TearDown() override { listed_got = {}; }
};

struct row {
    const char* what;
    std::vector<uint32_t> words; // before the jalr $t9 (or, with a0, the point)
    int reg;
    bool known;
    uint32_t value;
    value_form form;
};

TEST_F(RegisterValues, FollowsTheSettingFormsAndStopsWhereTheWordsDoNotTell) {
    using enum value_form;
    const row rows[] = {
        {"lui/addiu", {0x3c190040, 0x27390120}, 25, true, 0x400120, address},
        {"lui/ori", {0x3c041000, 0x34840010}, 4, true, 0x10000010, address},
        {"lui alone is a number", {0x3c040045}, 4, true, 0x450000, number},
        {"li by addiu", {0x24040005}, 4, true, 5, number},
        {"li by ori", {0x34048000}, 4, true, 0x8000, number},
        {"lw from a GOT slot", {0x8f998058}, 25, true, 0x400200, slot},
        {"GOT page and addiu", {0x8f848054, 0x24840040}, 4, true, 0x450040, address},
        {"a move of a known register", {0x3c100040, 0x02002025}, 4, true, 0x400000, number},
        {"an unrelated word between",
         {0x3c190040, 0x00851021, 0x27390120},
         25,
         true,
         0x400120,
         address},
        {"a conditional branch between",
         {0x8f998058, 0x10400003, 0x00000000},
         25,
         true,
         0x400200,
         slot},
        {"mfhi of another register between", {0x3c190040, 0x00001010}, 25, true, 0x400000, number},
        {"reloaded from the frame",
         {0x3c190040, 0xafb90010, 0x8fb90010},
         25,
         true,
         0x400000,
         number},
        {"a kept register over a call",
         {0x3c100040, 0x0c100000, 0x00000000},
         16,
         true,
         0x400000,
         number},
        // Not followed.
        {"beyond the look-back", {0x3c190040, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 25, false, 0, number},
        {"a call between", {0x8f998058, 0x0c100000, 0x00000000}, 25, false, 0, number},
        {"a write in a call's delay slot",
         {0x3c190040, 0x0c100000, 0x37390060},
         25,
         false,
         0,
         number},
        {"a jump between", {0x8f998058, 0x08100000, 0x00000000}, 25, false, 0, number},
        {"a load from the stack", {0x8fb90010}, 25, false, 0, number},
        {"a write by addu", {0x3c190040, 0x00a6c821}, 25, false, 0, number},
        {"mfhi writes it", {0x3c190040, 0x0000c810}, 25, false, 0, number},
        {"a coprocessor word between", {0x3c190040, 0x4a000000}, 25, false, 0, number},
        {"a store over the frame slot between",
         {0x3c190040, 0xafb90010, 0xa3a40011, 0x8fb90010},
         25,
         false,
         0,
         number},
        {"an addiu over an unknown register", {0x24a40010}, 4, false, 0, number},
    };
    for (const row& r : rows) {
        word_history history;
        for (uint32_t w : r.words) history.remember(w);
        const uint32_t point = code + 4 * static_cast<uint32_t>(r.words.size());
        register_value v{};
        const bool found = find_register_value(history, point, r.reg, 0, -1, v);
        EXPECT_EQ(found && v.known, r.known) << r.what;
        if (!found || !r.known) continue;
        EXPECT_EQ(v.value, r.value) << r.what;
        EXPECT_EQ(static_cast<int>(v.form), static_cast<int>(r.form)) << r.what;
    }
}

TEST_F(RegisterValues, CalleesAndTheDelaySlotOfAReport) {
    // jalr $t9 after lw $t9 from a slot: the slot's function.
    word_history history;
    history.remember(0x8f998058); // lw $t9,-32680($gp): 0x10048
    uint32_t callee = 0;
    EXPECT_TRUE(find_callee(history, decode_word(code + 4, jalr_t9), callee));
    EXPECT_EQ(callee, 0x400200u);
    // jr $t9 is a tail call; jr $ra is no call at all.
    EXPECT_TRUE(find_callee(history, decode_word(code + 4, 0x03200008), callee));
    EXPECT_FALSE(find_callee(history, decode_word(code + 4, 0x03e00008), callee));
    // bal to the word after its delay slot only takes the program counter.
    EXPECT_FALSE(find_callee(history, decode_word(code + 4, 0x04110001), callee));
    EXPECT_TRUE(find_callee(history, decode_word(code + 4, 0x04110010), callee));
    EXPECT_EQ(callee, code + 8 + 0x40);
    // A report reads $a0 after the delay slot: the addiu there counts, the
    // call itself (index 1) does not end the look-back.
    history.remember(0x8f848054); // lw $a0,-32684($gp): the page 0x450000
    history.remember(jalr_t9);    // the call
    history.remember(0x24840040); // addiu $a0,$a0,0x40 in its delay slot
    register_value v{};
    ASSERT_TRUE(find_register_value(history, code + 16, 4, 0, 1, v));
    EXPECT_EQ(v.value, 0x450040u);
}

} // namespace
