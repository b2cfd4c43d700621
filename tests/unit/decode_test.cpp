// The decoder: the expectations of tests/data/decode_words.txt, and the cases
// that need state besides the options (labels, $gp/$s7 bases, symbols).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/listing_loop.h"
#include "html/call_targets.h"
#include "listing/data_display.h"
#include "listing/instruction_text.h"
#include "listing/labels.h"
#include "listing/line_end.h"
#include "mips/opcode_table.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "util/run_settings.h"

namespace {

constexpr uint32_t data_file_address = 0x80001000;

struct word_case {
    int line;
    uint32_t word;
    std::string options; // as written, "-" for none
    uint32_t flags;
    std::string expected; // escapes resolved
};

std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char c = s[++i];
            out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

uint32_t option_flag(const std::string& option) {
    if (option == "-g") return flag::gcc_names;
    if (option == "-S") return flag::short_operands;
    if (option == "-P") return flag::pseudo_moves | flag::short_operands;
    if (option == "-c") return flag::special_comments;
    if (option == "-r") return flag::relative;
    if (option == "-") return 0;
    ADD_FAILURE() << "unknown option in data file: " << option;
    return 0;
}

// Lines: word, options (tokens beginning with '-'), expected text; '#'
// starts a comment line.
std::vector<word_case> read_word_cases(const std::string& name = "decode_words.txt") {
    std::ifstream file(PELORIN_TEST_DATA "/" + name);
    EXPECT_TRUE(file) << "cannot open " << name;
    std::vector<word_case> cases;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        word_case c{number, 0, "", 0, ""};
        std::string token;
        in >> token;
        c.word = static_cast<uint32_t>(std::stoul(token, nullptr, 16));
        while (in >> std::ws && in.peek() == '-') {
            in >> token;
            c.flags |= option_flag(token);
            c.options += c.options.empty() ? token : " " + token;
        }
        std::getline(in, token);
        c.expected = unescape(token);
        cases.push_back(c);
    }
    return cases;
}

void reset_decoder_state() {
    reset_run_state();
}

std::string decode_text(uint32_t address, uint32_t word) {
    output_capture out;
    decode_instruction(address, word);
    return out.text();
}

} // namespace

TEST(DecodeWords, WriteTheExpectedText) {
    std::vector<word_case> cases = read_word_cases();
    ASSERT_GT(cases.size(), 600u);
    for (const word_case& c : cases) {
        reset_decoder_state();
        settings.flags = c.flags;
        EXPECT_EQ(decode_text(data_file_address, c.word), c.expected + "\n")
            << "decode_words.txt line " << c.line << ": " << std::hex << c.word << " " << c.options;
    }
}

// The Release 2 table (-R2): its own expectations, and the words it leaves
// to const lines (one word a line, '#' comments).
TEST(DecodeWords, WriteTheExpectedTextUnderRelease2) {
    std::vector<word_case> cases = read_word_cases("decode_words_r2.txt");
    ASSERT_GT(cases.size(), 200u);
    std::set<int> rows;
    for (const word_case& c : cases) {
        reset_decoder_state();
        settings.flags = c.flags | flag::release2;
        EXPECT_EQ(decode_text(data_file_address, c.word), c.expected + "\n")
            << "decode_words_r2.txt line " << c.line << ": " << std::hex << c.word << " "
            << c.options;
        rows.insert(find_opcode(c.word));
    }
    // Every row that the Release 2 table adds is there at least once.
    reset_decoder_state();
    settings.flags = flag::release2;
    const auto table = active_opcode_table();
    for (int i = 0; i < static_cast<int>(table.size()) - opcode_count + 2; ++i)
        EXPECT_TRUE(rows.count(i)) << table[size_t(i)].name;

    std::ifstream file(PELORIN_TEST_DATA "/const_words_r2.txt");
    ASSERT_TRUE(file) << "cannot open const_words_r2.txt";
    int consts = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        const uint32_t w = static_cast<uint32_t>(std::stoul(line, nullptr, 16));
        reset_decoder_state();
        settings.flags = flag::release2;
        char expected[32];
        std::snprintf(expected, sizeof expected, "const\t0x%08x\t\t\n", w);
        EXPECT_EQ(decode_text(data_file_address, w), expected);
        ++consts;
    }
    EXPECT_GT(consts, 20);
    reset_decoder_state();
}

TEST(DecodeWords, CoverEveryEntryUnderEachOptionSet) {
    std::vector<word_case> cases = read_word_cases();
    for (const char* options : {"-", "-g", "-S", "-g -P"}) {
        std::set<int> entries;
        for (const word_case& c : cases) {
            if (c.options == options && c.word != 0) entries.insert(find_opcode(c.word));
        }
        entries.erase(-1);
        EXPECT_EQ(entries.size(), static_cast<std::size_t>(opcode_count)) << "options " << options;
    }
}

TEST(Decode, RelativeBranchTargetsCountFromTheLastLabel) {
    reset_decoder_state();
    settings.flags = flag::relative;
    last_label_address = 0x80000f00;
    EXPECT_EQ(decode_text(0x80001000, 0x1040000a), "beq\t$2,$0,12cr\t\t\n");
    // A target below the last label stays absolute.
    last_label_address = 0x80001100;
    EXPECT_EQ(decode_text(0x80001000, 0x1040000a), "beq\t$2,$0,0x8000102c\t\n");
    // A target exactly at the label is 0r; the one-register branches alike.
    last_label_address = 0x8000102c;
    EXPECT_EQ(decode_text(0x80001000, 0x0440000a), "bltz\t$2,0r\t\t\t\n");
}

TEST(Decode, BranchTargetsWrapAroundTheAddressSpace) {
    reset_decoder_state();
    EXPECT_EQ(decode_text(0xfffffffc, 0x10000001), "beq\t$0,$0,0x4\t\t\n");
    EXPECT_EQ(decode_text(0x00000000, 0x1000fffe), "beq\t$0,$0,0xfffffffc\t\n");
}

TEST(Decode, JumpTargetsTakeTheRegionOfTheDelaySlotAndItsNames) {
    reset_decoder_state();
    add_symbol(0x80400100, "start_main", "");
    add_symbol(0x80400100, "", "a comment only");
    sort_symbols();
    EXPECT_EQ(decode_text(0x80001000, 0x0c100040), "jal\t0x80400100\t\t# start_main\n");
    EXPECT_EQ(call_target_count, 1);
    // The delay slot at 0x90000000 decides the upper four bits.
    EXPECT_EQ(decode_text(0x8ffffffc, 0x08000010), "j\t0x90000040\t\t#\n");
    EXPECT_EQ(call_target_count, 2);
}

TEST(Decode, HighlightSpansOnlyMatchedInstructions) {
    reset_decoder_state();
    settings.flags = flag::highlight;
    EXPECT_EQ(decode_text(0, 0x03e00008), "<FONT COLOR=blue>jr\t$31\t\t\t</FONT>\n");
    EXPECT_EQ(decode_text(0, 0x00000000), "nop\t\t\t\t\n");
    EXPECT_EQ(decode_text(0, 0x0000000e), "const\t0x0000000e\t\t\n");
}

TEST(RegisterName, NamesByTheOptions) {
    reset_decoder_state();
    EXPECT_STREQ(register_name(0), "$0");
    EXPECT_STREQ(register_name(31), "$31");
    EXPECT_STREQ(register_name(32), "REGERR");
    EXPECT_STREQ(register_name(1000), "REGERR");
    settings.flags = flag::pseudo_moves | flag::short_operands;
    EXPECT_STREQ(register_name(0), "$0"); // -P alone keeps the numbers
    settings.flags = flag::gcc_names;
    const std::array<const char*, 32> gcc{"$zero", "$at", "$v0", "$v1", "$a0", "$a1", "$a2", "$a3",
                                          "$t0",   "$t1", "$t2", "$t3", "$t4", "$t5", "$t6", "$t7",
                                          "$s0",   "$s1", "$s2", "$s3", "$s4", "$s5", "$s6", "$s7",
                                          "$t8",   "$t9", "$k0", "$k1", "$gp", "$sp", "$fp", "$ra"};
    for (int x = 0; x < 32; ++x) EXPECT_STREQ(register_name(x), gcc[x]) << x;
    EXPECT_STREQ(register_name(32), "REGERR");
    settings.flags |= flag::pseudo_moves;
    EXPECT_STREQ(register_name(0), "0");
}

TEST(RegisterName, FiveNamesStayValidTogether) {
    reset_decoder_state();
    for (uint32_t flags : {0u, flag::gcc_names}) {
        settings.flags = flags;
        std::array<const char*, 5> names{};
        std::array<std::string, 5> copies;
        for (int i = 0; i < 5; ++i) {
            names[i] = register_name(10 + i);
            copies[i] = names[i];
        }
        for (int i = 0; i < 5; ++i) EXPECT_STREQ(names[i], copies[i].c_str());
    }
}

// Memory for the data display: a dump at 0x10000000 in which 0x10000010
// points to 0x10000100, which points to 0x10000200, which points to itself.
class DecodeDisplay : public ::testing::Test {
  protected:
    temp_dir dir;
    FILE* input = nullptr;

    void SetUp() override {
        reset_decoder_state();
        std::string bytes(0x300, '\x01');
        auto put_word = [&](std::size_t at, uint32_t w) {
            for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(w >> (24 - 8 * i));
        };
        put_word(0x10, 0x10000100);
        put_word(0x100, 0x10000200);
        put_word(0x200, 0x10000200);
        input = std::fopen(dir.write("dump.bin", bytes).c_str(), "rb");
        ASSERT_NE(input, nullptr);
        std::fseek(input, 4, SEEK_SET); // the listing has read its first word
        settings.input = input;
        settings.offset = 0x10000000;
    }
    void TearDown() override {
        EXPECT_EQ(std::ftell(input), 4) << "the listing position was not restored";
        std::fclose(input);
        reset_settings();
    }
};

TEST_F(DecodeDisplay, GlobalPointerLoadsAndStoresShowTheirData) {
    settings.gp_value = 0x10008000;
    // lw $8,-32752($gp): a plain chain to the self-pointing word.
    EXPECT_EQ(decode_text(0x80001000, 0x8f888010),
              "lw\t$8,-32752($28)\t\t# 10000010 -> 10000100 -> 10000200 -> 10000200\n");
    EXPECT_EQ(followed_pointer, 0x10000100u);
    // The base register may be loaded itself; a store shows its data too.
    EXPECT_EQ(decode_text(0x80001000, 0x8f9c8010),
              "lw\t$28,-32752($28)\t\t# 10000010 -> 10000100 -> 10000200 -> 10000200\n");
    std::string store = decode_text(0x80001000, 0xaf888010);
    EXPECT_TRUE(store.starts_with("sw\t$8,-32752($28)\t\t# 10000010 ->")) << store;
    // Every decode starts with no pointer followed.
    decode_text(0x80001000, 0);
    EXPECT_EQ(followed_pointer, 0u);
}

TEST_F(DecodeDisplay, LoadOfT9FromGlobalPointerIsAFunctionPointer) {
    settings.gp_value = 0x10008000;
    // Without a code range the chain stops after the table entry's target.
    EXPECT_EQ(decode_text(0x80001000, 0x8f998010),
              "lw\t$25,-32752($28)\t\t# 10000010 -> 10000100\n");
}

TEST_F(DecodeDisplay, AddiuShowsDataOnlyWhenItFormsAnotherRegister) {
    settings.gp_value = 0x10008000;
    std::string addiu = decode_text(0x80001000, 0x27888010);
    EXPECT_TRUE(addiu.starts_with("addiu\t$8,$28,-32752=0x8010\t# 10000010 ->")) << addiu;
    EXPECT_EQ(decode_text(0x80001000, 0x279c7ff0), "addiu\t$28,$28,32752=0x7ff0\t\n");
    // Other immediate formats never show data.
    EXPECT_EQ(decode_text(0x80001000, 0x27888010 ^ 0x24000000 ^ 0x20000000),
              "addi\t$8,$28,-32752=0x8010\t\n");
}

TEST_F(DecodeDisplay, S7RelativeAccessesUseTheS7Base) {
    settings.s7_value = 0x10000000;
    EXPECT_EQ(decode_text(0x80001000, 0x8ee80010),
              "lw\t$8,16($23)\t\t# 10000010 -> 10000100 -> 10000200 -> 10000200\n");
    // Unknown bases show nothing.
    settings.s7_value = 0;
    EXPECT_EQ(decode_text(0x80001000, 0x8ee80010), "lw\t$8,16($23)\t\t\n");
    EXPECT_EQ(decode_text(0x80001000, 0x8f888010), "lw\t$8,-32752($28)\t\t\n");
}
