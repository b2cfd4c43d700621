// The switch dispatch recogniser: the forms it takes and the near misses it
// leaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "listing/switch_tables.h"
#include "test_support.h"
#include "util/run_settings.h"

namespace {

constexpr uint32_t base = 0x80000000; // the image's first address
constexpr uint32_t gp = 0x80008000;

// An image at 0x80000000 of 0x100 bytes with tables at 0x40 (absolute, 3
// cases), 0x50 (.gpword, 3 cases), 0x60 (one entry outside the range) and
// 0x70 (one entry off the word grid), a GOT slot at 0x80 holding the page
// 0x80000000, and at 0x100 a table of 128 entries (a signed char's switch).
struct SwitchTables : ::testing::Test {
    input_image input;

    static void put(std::string& image, uint32_t a, std::vector<uint32_t> words) {
        for (uint32_t w : words) {
            for (int i = 0; i < 4; ++i) image[a - base + size_t(i)] = char(w >> (24 - 8 * i));
            a += 4;
        }
    }
    void SetUp() override {
        reset_run_state();
        settings.offset = base;
        settings.gp_value = gp;
        std::string image(0x300, '\0');
        put(image, 0x80000040, {0x80000010, 0x80000020, 0x80000030});
        put(image, 0x80000050, {0x80000010 - gp, 0x80000020 - gp, 0x80000030 - gp});
        put(image, 0x80000060, {0x80000010, 0x90000000, 0x80000030});
        put(image, 0x80000070, {0x80000010, 0x80000022, 0x80000030});
        put(image, 0x80000080, {0x80000000});
        put(image, 0x80000100, std::vector<uint32_t>(128, 0x80000030));
        input.open(image);
    }
};

struct row {
    const char* what;
    std::vector<uint32_t> words; // before the jr
    uint32_t jr;
    uint32_t table, count; // 0: no dispatch
};

TEST_F(SwitchTables, FormsAndNearMisses) {
    const uint32_t check = 0x2c820003;  // sltiu $2,$4,3
    const uint32_t branch = 0x10400010; // beqz $2,...
    const uint32_t scale = 0x00042080;  // sll $4,$4,2
    const row rows[] = {
        {"lui/addiu, lw 0",
         {check, branch, scale, 0x3c038000, 0x24630040, 0x00642021, 0x8c820000},
         0x00400008,
         0x80000040,
         3},
        {"lui, %lo in the lw",
         {check, branch, scale, 0x3c038000, 0x00832021, 0x8c820040},
         0x00400008,
         0x80000040,
         3},
        {"GOT page, addiu, .gpword",
         {check, branch, scale, 0x8f838080, 0x24630050, 0x00642021, 0x8c820000, 0x005c1021},
         0x00400008,
         0x80000050,
         3},
        // bnez $2 leads past the jr $ra to the dispatch.
        {"a return between the check and the dispatch",
         {0x3c038000, 0x24630040, check, 0x14400003, 0, 0x03e00008, 0, scale, 0x00642021,
          0x8c820000},
         0x00400008,
         0x80000040,
         3},
        {"a signed char: lb, bltz",
         {0x80a40000, 0x04800010, scale, 0x3c038000, 0x24630100, 0x00642021, 0x8c820000},
         0x00400008,
         0x80000100,
         128},
        {"the index reloaded from its stack slot",
         {0x8fc40018, check, branch, 0, 0x8fc40018, scale, 0x3c038000, 0x24630040, 0x00642021,
          0x8c820000},
         0x00400008,
         0x80000040,
         3},
        {"lwx (the DSP ASE) loads from the sum",
         {check, branch, scale, 0x3c038000, 0x24630040, 0x7c64100a},
         0x00400008,
         0x80000040,
         3},
        {"a check of the index's low byte",
         {0x308500ff, 0x2ca20003, branch, scale, 0x3c038000, 0x24630040, 0x00642021, 0x8c820000},
         0x00400008,
         0x80000040,
         3},
        // Not taken.
        {"a bound past the table",
         {0x2c820005, branch, scale, 0x3c038000, 0x24630040, 0x00642021, 0x8c820000},
         0x00400008,
         0,
         0},
        {"an entry outside the range",
         {check, branch, scale, 0x3c038000, 0x24630060, 0x00642021, 0x8c820000},
         0x00400008,
         0,
         0},
        {"an entry off the word grid",
         {check, branch, scale, 0x3c038000, 0x24630070, 0x00642021, 0x8c820000},
         0x00400008,
         0,
         0},
        {"the check's out-of-bounds side: beqz $2 leads to the dispatch",
         {0x3c038000, 0x24630040, check, 0x10400003, 0, 0x03e00008, 0, scale, 0x00642021,
          0x8c820000},
         0x00400008,
         0,
         0},
        {"no bound check",
         {scale, 0x3c038000, 0x24630040, 0x00642021, 0x8c820000},
         0x00400008,
         0,
         0},
        {"an index not scaled by 4",
         {check, branch, 0x000420c0, 0x3c038000, 0x24630040, 0x00642021, 0x8c820000},
         0x00400008,
         0,
         0},
        {"jr $ra",
         {check, branch, scale, 0x3c038000, 0x24630040, 0x00642021, 0x8c820000},
         0x03e00008,
         0,
         0},
    };
    for (const row& r : rows) {
        word_history history;
        for (uint32_t w : r.words) history.remember(w);
        const uint32_t jr_at = base + 4 * static_cast<uint32_t>(r.words.size());
        switch_dispatch s{};
        const bool found = find_dispatch(history, decode_word(jr_at, r.jr), base, base + 0x100, s);
        EXPECT_EQ(found, r.count != 0) << r.what;
        if (!found || r.count == 0) continue;
        EXPECT_EQ(s.table, r.table) << r.what;
        EXPECT_EQ(s.count, r.count) << r.what;
        EXPECT_EQ(s.last_case, 0x80000030u) << r.what;
    }
}

TEST_F(SwitchTables, CheckAfterTheJr) {
    // gcc -Os: "X: lui; addiu; addu $4,$3,$5; lw $2,0($4); jr $2; nop" at
    // the image's start, then "sltiu $5,$6,3; bnez $5,X; sll $5,$6,2".
    const std::vector<uint32_t> block{0x3c038000, 0x24630040, 0x00652021, 0x8c820000};
    const uint32_t jr_at = base + 16;
    struct later {
        const char* what;
        uint32_t check, branch;
        bool taken;
    };
    const later rows[] = {
        {"the check and its bnez back to the block", 0x2cc50003, 0x14a0fff8, true},
        {"a bnez to the word after the jr", 0x2cc50003, 0x14a0fffd, false},
        {"a check of another register", 0x2cc70003, 0x14a0fff8, false},
        {"a bound past the table", 0x2cc50005, 0x14a0fff8, false},
    };
    for (const later& r : rows) {
        word_history history;
        for (uint32_t w : block) history.remember(w);
        pending_dispatch p{};
        ASSERT_TRUE(find_pending_dispatch(history, decode_word(jr_at, 0x00400008), p)) << r.what;
        EXPECT_EQ(p.table, 0x80000040u);
        EXPECT_EQ(p.scaled, 5);
        for (uint32_t w : {0x00400008u, 0u, r.check, r.branch, 0x00062880u}) history.remember(w);
        switch_dispatch s{};
        EXPECT_EQ(complete_dispatch(history, base + 36, p, base, base + 0x100, s), r.taken)
            << r.what;
        if (r.taken) {
            EXPECT_EQ(s.count, 3u);
        }
    }
    // A block that sets the index before the jr is no such dispatch.
    word_history history;
    for (uint32_t w : {0x00002825u, 0x3c038000u, 0x24630040u, 0x00652021u, 0x8c820000u})
        history.remember(w);
    pending_dispatch p{};
    EXPECT_FALSE(find_pending_dispatch(history, decode_word(base + 20, 0x00400008), p));
}

} // namespace
