// The end of an instruction line: map comments with their base values, the
// lui look-back, the lw-nop-addiu rule and the $s7 set-up recogniser.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/listing_loop.h"
#include "listing/data_display.h"
#include "listing/line_end.h"
#include "listing/recent_words.h"
#include "object/elf_loader.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/run_settings.h"

namespace {

constexpr uint32_t code = 0x80001000; // address of the simulated instruction lines

// Lists words as the listing loop would: each line is ended, then its word
// goes into the ring of recent words. The input is a small image of bytes
// 27 bd ..., which end every display right after its address.
struct LineEnd : ::testing::Test {
    input_image input;

    void SetUp() override {
        reset_run_state();
        object = object_layout{};
        settings.flags = flag::special_comments;
        settings.sequence_length = 9;
        settings.offset = 0x80010000;
        std::string image(0x100, '\0');
        for (size_t i = 0; i < image.size(); ++i) image[i] = i % 2 ? '\xbd' : '\x27';
        input.open(image);
    }
    static void remember(uint32_t w) { remember_word(w); }
    // Ends the line of word w at address a and returns what it wrote.
    static std::string line(uint32_t a, uint32_t w) {
        output_capture out;
        end_instruction_line(a, w);
        remember(w);
        return out.text();
    }
    // Lists the words from address code on, after a run of nops; returns the
    // last line's text.
    static std::string lines(const std::vector<uint32_t>& words) {
        reset_listing_state();
        std::string last;
        uint32_t a = code;
        for (uint32_t w : words) last = line(a, w), a += 4;
        return last;
    }
    static int reg(uint32_t w, int d) { return sequence_register(w, d); }
};

// ---- sequence_register ------------------------------------------------------

TEST_F(LineEnd, BaseUsingInstructions) {
    // word, register used at distance 0, register written at distance >= 1
    struct row {
        uint32_t w;
        int used, written;
    };
    for (row r : {row{0x20410005, 2, 1},   // addi $1,$2,5
                  row{0x2441fffc, 2, 1},   // addiu $1,$2,-4
                  row{0x34418000, 2, 1},   // ori $1,$2,0x8000
                  row{0x80280000, 1, 8},   // lb $8,0($1)
                  row{0x8c281234, 1, 8},   // lw $8,0x1234($1)
                  row{0x9c280000, 1, 8},   // lwu
                  row{0xc0280000, 1, 8},   // ll
                  row{0xa0280000, 1, 32},  // sb writes no register
                  row{0xac280000, 1, 32},  // sw
                  row{0xbc280000, -1, -1}, // cache is no access
                  row{0xe0280000, 1, 32},  // sc
                  row{0xc4280000, -1, -1}, // lwc1
                  row{0x3c018001, -1, 1}}) // lui
    {
        EXPECT_EQ(reg(r.w, 0), r.used) << std::hex << r.w;
        EXPECT_EQ(reg(r.w, 1), r.written) << std::hex << r.w;
        EXPECT_EQ(reg(r.w, 7), r.written) << std::hex << r.w;
    }
}

TEST_F(LineEnd, WordsThatWriteARegister) {
    for (uint32_t w : {0x3c018001u, 0x28410005u, 0x2c410005u, 0x30410005u, 0x38410005u})
        EXPECT_EQ(reg(w, 3), 1) << std::hex << w; // lui, slti, sltiu, andi, xori: rt
    for (uint32_t w : {0x00430820u, 0x00430821u, 0x00430822u, 0x00430823u, 0x00430824u, 0x00430825u,
                       0x00430826u, 0x00430827u,               // add ... nor
                       0x00430804u, 0x00430806u, 0x00430807u,  // sllv, srlv, srav
                       0x000308c0u, 0x000308c2u, 0x000308c3u}) // sll, srl, sra
        EXPECT_EQ(reg(w, 2), 1) << std::hex << w;              // rd
}

TEST_F(LineEnd, WordsThatWriteNothing) {
    for (uint32_t w : {0x00000000u, 0x10220003u, 0x14220003u, 0x18400003u, 0x1c400003u, 0x50220003u,
                       0x54220003u, 0x58400003u, 0x5c400003u, // beq ... bgtzl
                       0x18410003u}) // blez with rt not 0: no row, a branch by its opcode
        EXPECT_EQ(reg(w, 2), 32) << std::hex << w;
}

TEST_F(LineEnd, WordsThatEndTheLookBack) {
    for (uint32_t w : {0x04200003u,  // bltz
                       0x04110001u,  // bal
                       0x00220018u,  // mult
                       0x0022082au,  // slt
                       0x00001010u,  // mfhi
                       0x40026000u,  // mfc0
                       0x002208c0u,  // sll with rs not 0
                       0x0000000du}) // break
    {
        EXPECT_EQ(reg(w, 1), -1) << std::hex << w;
        EXPECT_EQ(reg(w, 0), -1) << std::hex << w;
    }
}

TEST_F(LineEnd, JumpsFurtherBackMakeTheSequenceUnsafe) {
    // j, jal, jr, jalr, and jr with a hint in its sa field, which no row
    // accepts but its function field makes a jump.
    for (uint32_t w : {0x08000400u, 0x0c000400u, 0x03e00008u, 0x0040f809u, 0x03e00408u}) {
        settings.flags &= ~flag::sequence_unsafe;
        EXPECT_EQ(reg(w, 0), -1);
        EXPECT_EQ(reg(w, 1), 32);
        EXPECT_FALSE(has_flag(flag::sequence_unsafe)) << std::hex << w;
        EXPECT_EQ(reg(w, 2), 32);
        EXPECT_TRUE(has_flag(flag::sequence_unsafe)) << std::hex << w;
    }
}

// ---- the lui look-back ------------------------------------------------------

TEST_F(LineEnd, LuiAndTheInstructionUsingItsRegister) {
    EXPECT_EQ(lines({0x3c018001, 0x8c281234}), "# 80011234\n");             // lw $t0,0x1234($at)
    EXPECT_EQ(lines({0x3c018001, 0x2421fffc}), "# 8000fffc\n");             // addiu $at,$at,-4
    EXPECT_EQ(lines({0x3c018001, 0x34218000}), "# 80018000\n");             // ori $at,$at,0x8000
    EXPECT_EQ(lines({0x3c018001, 0xac288000}), "# 80008000\n");             // sw $t0,-0x8000($at)
    EXPECT_EQ(lines({0x3c018001, 0x8c481234}), "\n");                       // lw through $v0
    EXPECT_EQ(lines({0x3c018001, 0x00220821, 0x8c280000}), "\n");           // addu $at wrote $at
    EXPECT_EQ(lines({0x3c018001, 0x00621021, 0x8c280000}), "# 80010000\n"); // addu $v0
    EXPECT_EQ(lines({0x3c018001, 0x8c210000, 0x8c280000}), "\n");           // lw $at,0($at)
    EXPECT_EQ(lines({0x3c018001, 0xac210000, 0x8c280000}), "# 80010000\n"); // a store
}

TEST_F(LineEnd, JumpsBranchesAndOtherEnds) {
    // lui, j, nop, lw: the lui may lie on another path.
    EXPECT_EQ(lines({0x3c018001, 0x08000400, 0x00000000, 0x8c280010}), "# unsafe: 80010010\n");
    EXPECT_FALSE(has_flag(flag::sequence_unsafe));
    // lui, nop, jal, lw in its delay slot: safe.
    EXPECT_EQ(lines({0x3c018001, 0x00000000, 0x0c000400, 0x8c280010}), "# 80010010\n");
    EXPECT_EQ(lines({0x3c018001, 0x10400003, 0x14400003, 0x8c280010}), "# 80010010\n");
    EXPECT_EQ(lines({0x3c018001, 0x04400003, 0x8c280010}), "\n"); // bltz
    EXPECT_EQ(lines({0x3c018001, 0x00430018, 0x8c280010}), "\n"); // mult
}

TEST_F(LineEnd, LookBackLength) {
    std::vector<uint32_t> words{0x3c018001};
    for (int i = 0; i < 8; ++i) words.push_back(0);
    words.push_back(0x8c280010);
    EXPECT_EQ(lines(words), "# 80010010\n"); // the lui 9 words back
    words.insert(words.begin() + 1, 0);
    EXPECT_EQ(lines(words), "\n"); // 10 words back
    settings.sequence_length = 50;
    words.insert(words.begin() + 1, 40, 0);
    EXPECT_EQ(lines(words), "# 80010010\n"); // 50 words back
    words.insert(words.begin() + 1, 0);
    EXPECT_EQ(lines(words), "\n");
    settings.sequence_length = 0; // -B 1
    EXPECT_EQ(lines({0x3c018001, 0x8c280010}), "\n");
}

// ---- lw, nop, addiu -------------------------------------------------------

TEST_F(LineEnd, LwNopAddiuAddsToTheLoadedPointer) {
    settings.sequence_length = 0;  // works without the look-back too
    followed_pointer = 0x80020000; // what the lw's $gp display reached
    line(code, 0x8f848010);        // lw $a0,-0x7ff0($gp)
    followed_pointer = 0;
    line(code + 4, 0);
    EXPECT_EQ(line(code + 8, 0x24840010), "# 80020010\n"); // addiu $a0,$a0,16

    followed_pointer = 0x80020000;
    line(code, 0x8f848010);
    line(code + 4, 0);
    EXPECT_EQ(line(code + 8, 0x24a50010), "\n"); // another register
    line(code + 12, 0);
    EXPECT_EQ(line(code + 16, 0x24840010), "\n"); // too far from the lw
    followed_pointer = 0x80020000;
    line(code, 0x8f848010);
    line(code + 4, 0x00000040); // ssnop is not a nop
    EXPECT_EQ(line(code + 8, 0x24840010), "\n");
    followed_pointer = 0;
    line(code, 0x8f848010); // a lw whose display followed nothing
    line(code + 4, 0);
    EXPECT_EQ(line(code + 8, 0x24840010), "\n");
}

// ---- the $s7 set-up ----------------------------------------------------------

TEST_F(LineEnd, S7SetUpSequence) {
    settings.sequence_length = 0;
    settings.s7_value = 0x1234;
    // bltzal $zero,+1 / nop / lui $s7,1 / addiu $s7,$s7,-16 / addu $s7,$s7,$ra
    std::vector<uint32_t> words{0x04100001, 0, 0x3c170001, 0x26f7fff0, 0x02ffb821};
    EXPECT_EQ(lines(words), "# 80010ff8\n"); // the lui at 80001008 + 0x10000 - 16
    EXPECT_EQ(settings.s7_value, 0x1234u);
    // A mismatch returns to the start, even a second bltzal.
    words.insert(words.begin(), 0x04100001);
    EXPECT_EQ(lines(words), "\n");
    words.erase(words.begin());
    words.insert(words.begin() + 3, 0);
    EXPECT_EQ(lines(words), "\n");
    // Without -c nothing is recognised.
    settings.flags = 0;
    EXPECT_EQ(lines({0x04100001, 0, 0x3c170001, 0x26f7fff0, 0x02ffb821}), "\n");
}

// ---- map comments ----------------------------------------------------------

TEST_F(LineEnd, MapCommentsAndBaseValues) {
    settings.flags = 0;                   // map comments are written without -c too
    add_symbol(code - 4, "", "$gp=1111"); // before the first line: never read
    add_symbol(code, "main", "");
    add_symbol(code, "", "$gp=10008000");
    add_symbol(code + 4, "", "$s7=main+10");
    add_symbol(code + 8, "", "$gp=nosuch");
    add_symbol(code + 12, "", "100% %s sure");
    sort_symbols();
    EXPECT_EQ(line(code, 0x8c280000), "// $gp=10008000\t\n");
    EXPECT_EQ(settings.gp_value, 0x10008000u);
    EXPECT_EQ(line(code + 4, 0), "// $s7=main+10\t\n");
    EXPECT_EQ(settings.s7_value, code + 0x10);
    EXPECT_EQ(line(code + 8, 0), "// $gp=nosuch\t\n");
    EXPECT_EQ(settings.gp_value, 0u); // a bad value switches the base off
    EXPECT_EQ(line(code + 12, 0), "// 100% %s sure\t\n");
    // The cursor does not go back.
    EXPECT_EQ(line(code, 0), "\n");
}

TEST_F(LineEnd, CommentThenSpecialComment) {
    add_symbol(code + 4, "", "base");
    sort_symbols();
    EXPECT_EQ(lines({0x3c018001, 0x8c281234}), "// base\t# 80011234\n");
}

} // namespace
