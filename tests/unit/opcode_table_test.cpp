// The opcode table: the indexed lookup against the plain scan, the words that
// decide between overlapping entries, the self-check's findings, and the
// record a word decodes into.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "mips/decode.h"
#include "mips/opcode_table.h"
#include "test_support.h"

namespace {

int index_of(std::string_view name) {
    for (int i = 0; i < opcode_count; ++i) {
        if (opcode_table[i].name == name) return i;
    }
    ADD_FAILURE() << "no entry " << name;
    return -2;
}

std::string selftest_text(const std::vector<opcode_entry>& entries) {
    output_capture out;
    check_opcode_entries(entries);
    return out.text();
}

std::vector<opcode_entry> table_copy() {
    return {opcode_table.begin(), opcode_table.end()};
}

const char* const clean_report = "mfc0/cop0: ambiguous definition\n"
                                 "mtc0/cop0: ambiguous definition\n"
                                 "0xd6f074c0 opcodes mapped (0.839)\n";

} // namespace

TEST(FindOpcode, IndexAgreesWithTheScan) {
    std::mt19937 random(20261207);
    for (uint32_t major = 0; major < 64; ++major) {
        for (int i = 0; i < 4096; ++i) {
            uint32_t w = (major << 26) | (random() & OPERAND_BITS);
            ASSERT_EQ(find_opcode(w), find_opcode_by_scan(w)) << std::hex << w;
        }
        // The operand bits all clear and all set.
        ASSERT_EQ(find_opcode(major << 26), find_opcode_by_scan(major << 26));
        ASSERT_EQ(find_opcode(major << 26 | OPERAND_BITS),
                  find_opcode_by_scan(major << 26 | OPERAND_BITS));
    }
    for (const opcode_entry& e : opcode_table) {
        // Each row's own match word, and the word with every operand bit set.
        for (uint32_t w : {e.match, e.match | (e.mask & OPERAND_BITS)}) {
            ASSERT_EQ(find_opcode(w), find_opcode_by_scan(w)) << std::hex << w;
            ASSERT_GE(find_opcode(w), 0) << e.name;
        }
        // One non-operand bit changed: some other entry or none, alike.
        for (int bit = 0; bit < 26; ++bit) {
            uint32_t w = e.match ^ (uint32_t{1} << bit);
            ASSERT_EQ(find_opcode(w), find_opcode_by_scan(w)) << std::hex << w;
        }
    }
}

TEST(FindOpcode, EveryRowFindsItselfUnlessAnEarlierRowCoversIt) {
    for (int i = 0; i < opcode_count; ++i) {
        int found = find_opcode(opcode_table[i].match);
        if (i == index_of("cop0")) {
            EXPECT_EQ(found, index_of("mfc0")); // mfc0 shares cop0's match word
        } else {
            EXPECT_EQ(found, i) << opcode_table[i].name;
        }
    }
}

TEST(FindOpcode, OverlapsAndHoles) {
    EXPECT_EQ(find_opcode(0x00000000), index_of("sll")); // the decoder shows nop first
    EXPECT_EQ(find_opcode(0x40000000), index_of("mfc0"));
    EXPECT_EQ(find_opcode(0x40086000), index_of("mfc0"));
    EXPECT_EQ(find_opcode(0x40800000), index_of("mtc0"));
    EXPECT_EQ(find_opcode(0x40000010), index_of("cop0")); // bits 3 to 10 not zero
    EXPECT_EQ(find_opcode(0x42000018), index_of("cop0")); // eret
    EXPECT_EQ(find_opcode(0x40400000), index_of("cop0")); // cfc0
    EXPECT_EQ(find_opcode(0x0000000d), index_of("break"));
    EXPECT_EQ(find_opcode(0x0000000c), index_of("syscall"));
    EXPECT_EQ(find_opcode(0x0000000f), index_of("sync"));
    EXPECT_EQ(find_opcode(0x0000000e), -1);
    EXPECT_EQ(find_opcode(0x70000020), -1); // clz
    EXPECT_EQ(find_opcode(0x74000000), -1); // jalx
    EXPECT_EQ(find_opcode(0x00000001), -1); // movf
    EXPECT_EQ(find_opcode(0x00200008), index_of("jr"));
    EXPECT_EQ(find_opcode(0x00200408), -1); // jr with a hint
    EXPECT_EQ(find_opcode(0x0000080f), -1); // sync with an rd bit
    EXPECT_EQ(find_opcode(0x0000004f), index_of("sync"));
}

TEST(OpcodeSelftest, ReportsTheTableAsBuilt) {
    reset_settings();
    output_capture out;
    opcode_selftest();
    EXPECT_EQ(out.text(), clean_report);
}

TEST(OpcodeSelftest, ReportsAMatchBitInsideItsOperandBitsAndStillCountsIt) {
    std::vector<opcode_entry> entries = table_copy();
    entries[index_of("add")].match |= 0x00000800; // an rd bit
    EXPECT_EQ(selftest_text(entries), std::string("add: illegal definition\n") + clean_report);
}

TEST(OpcodeSelftest, ReportsDuplicateNamesAndNewOverlaps) {
    std::vector<opcode_entry> entries = table_copy();
    entries[index_of("xori")].name = "xor";
    EXPECT_EQ(selftest_text(entries), "mfc0/cop0: ambiguous definition\n"
                                      "mtc0/cop0: ambiguous definition\n"
                                      "xor: duplicate name\n"
                                      "0xd6f074c0 opcodes mapped (0.839)\n");

    // A catch-all for major opcode 0 covers every SPECIAL row after it, each
    // reported in table order, and nothing of the other major opcodes.
    entries = table_copy();
    entries[index_of("add")].mask = 0x03ffffff;
    entries[index_of("add")].match = 0;
    std::string text = selftest_text(entries);
    EXPECT_EQ(text.find("add/addu: ambiguous definition\n"), 0u) << text;
    EXPECT_NE(text.find("add/xor: ambiguous definition\n"), std::string::npos);
    EXPECT_EQ(text.find("add/addi:"), std::string::npos);
}

TEST(OpcodeSelftest, ComputesTheShareInThousandths) {
    // 2^26 words: 1/64 of the space, 15.6 thousandths, truncated.
    const auto row = [](std::string_view name, uint32_t match, uint32_t mask) {
        return opcode_entry{name, match, mask, "cofun", property::none};
    };
    std::vector<opcode_entry> entries{row("one", 0x00000000, 0x03ffffff)};
    EXPECT_EQ(selftest_text(entries), "0x04000000 opcodes mapped (0.015)\n");
    // A fixed word counts 1; an overlap is reported with the earlier name first.
    entries.push_back(row("two", 0x04000000, 0x00000000));
    entries.push_back(row("three", 0x00000001, 0x00000000));
    EXPECT_EQ(selftest_text(entries), "one/three: ambiguous definition\n"
                                      "0x04000002 opcodes mapped (0.015)\n");
    EXPECT_EQ(selftest_text({}), "0x00000000 opcodes mapped (0.000)\n");
}

// ---- the decoded record -------------------------------------------------------

TEST(DecodeWord, TellsWhatTheWordIs) {
    using enum instruction_kind;
    constexpr auto r2 = instruction_set::release2, r1 = instruction_set::mips32;
    struct word_case {
        uint32_t address, word;
        instruction_set set;
        std::string_view row; // "" for none
        instruction_kind kind;
        bool has_target;
        uint32_t target;
        int base, writes;
    };
    const word_case cases[] = {
        {0x80001000, 0x0c100040, r1, "jal", call, true, 0x80400100, -1, -1},
        {0x8ffffffc, 0x08000010, r1, "j", jump, true, 0x90000040, -1,
         -1}, // the delay slot's region
        {0x80001000, 0x03e00008, r1, "jr", jump_register, false, 0, -1, -1},
        {0x80001000, 0x0320f809, r1, "jalr", call_register, false, 0, -1, -1},
        {0x80001000, 0x1040000a, r1, "beq", branch, true, 0x8000102c, -1, -1},
        {0x00000000, 0x1000fffe, r1, "beq", branch, true, 0xfffffffc, -1, -1},
        {0x80001000, 0x04110003, r1, "bgezal", branch_and_link, true, 0x80001010, -1, -1},
        {0x80001000, 0x18410003, r1, "", branch, true, 0x80001010, -1, -1}, // blez, rt not 0
        {0x80001000, 0x8f998010, r1, "lw", load, false, 0, 28, 25},
        {0x80001000, 0xafbf001c, r1, "sw", store, false, 0, 29, -1},
        {0x80001000, 0xbc850010, r1, "cache", other, false, 0, 4, -1},
        {0x80001000, 0x27bdffe0, r1, "addiu", other, false, 0, -1, 29},
        {0x80001000, 0x3c1c0042, r1, "lui", other, false, 0, -1, 28},
        {0x80001000, 0x00851021, r1, "addu", other, false, 0, -1, 2},
        {0x80001000, 0x0000000e, r1, "", other, false, 0, -1, -1},
        {0x80001000, 0x45010003, r1, "cop1", other, false, 0, -1, -1},
        {0x80001000, 0x45010003, r2, "bc1t", branch, true, 0x80001010, -1, -1},
        {0x80001000, 0x03e00408, r1, "", jump_register, false, 0, -1, -1},
        {0x80001000, 0x03e00408, r2, "jr.hb", jump_register, false, 0, -1, -1},
        {0x80001000, 0x4c85200a, r2, "cop3", other, false, 0, -1, -1},
        {0x80001000, 0x4c450000, r2, "lwxc1", load, false, 0, 2, -1},
    };
    for (const word_case& c : cases) {
        const decoded_instruction d = decode_word(c.address, c.word, c.set);
        EXPECT_EQ(d.row == nullptr ? std::string_view() : d.row->name, c.row) << std::hex << c.word;
        EXPECT_EQ(d.kind, c.kind) << std::hex << c.word;
        EXPECT_EQ(d.has_target, c.has_target) << std::hex << c.word;
        EXPECT_EQ(d.target, c.target) << std::hex << c.word;
        EXPECT_EQ(d.base, c.base) << std::hex << c.word;
        EXPECT_EQ(d.writes, c.writes) << std::hex << c.word;
        EXPECT_EQ(d.length, 4) << std::hex << c.word;
        EXPECT_EQ(d.offset, static_cast<int16_t>(c.word & 0xffff)) << std::hex << c.word;
    }
}
