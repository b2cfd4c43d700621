#include "listing/base_finder.h"

#include <algorithm>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "listing/recent_words.h"
#include "listing/register_values.h"
#include "mips/byte_order.h"
#include "mips/decode.h"
#include "mips/fields.h"
#include "mips/function_end.h"
#include "util/block_reader.h"
#include "util/output.h"
#include "util/run_settings.h"
#include "util/zo.h"

namespace {

// The upper halves of the words of a stack frame and of a $gp set-up:
// 001001 11101 11101 iiiiiiiiiiiiiiii   addiu $sp,$sp,imm
// 101011 11101 11111 iiiiiiiiiiiiiiii   sw $ra,offset($sp)
// 100011 11101 11111 iiiiiiiiiiiiiiii   lw $ra,offset($sp)
// 001111 00000 11100 iiiiiiiiiiiiiiii   lui $gp,imm
constexpr uint32_t addiu_sp = 0x27bd, sw_ra = 0xafbf, lw_ra = 0x8fbf, lui_gp = 0x3c1c;
// The major opcodes of ori and jal.
constexpr uint32_t ori_opcode = 0x0d, jal_opcode = 0x03;
// Candidate bases lie on 4 KiB: a candidate is its address >> page_bits.
constexpr int page_bits = 12;
constexpr uint32_t page_mask = (1u << page_bits) - 1;
constexpr uint32_t candidate_count = 1u << (32 - page_bits);
// jal targets give an address within a 256 MiB segment.
constexpr uint32_t segment_mask = 0x0fffffff;
constexpr int segment_shift = 28 - page_bits; // of a candidate's segment
constexpr uint32_t segment_candidates = 1u << (28 - page_bits);

// The byte order is told when one order shows at least this many words of
// code, and this many times as many as the other.
constexpr uint32_t order_minimum = 8;
constexpr uint32_t order_ratio = 4;
// A base is found when its score is at least score_minimum, score_ratio
// times the next candidate's and chance_ratio times what its values would
// score by chance: otherwise a guess is all there is.
constexpr uint32_t score_minimum = 12;
constexpr uint32_t score_ratio = 3;
constexpr double chance_ratio = 4;
// jal targets count for the candidate that full addresses choose among
// those of one low part, when they choose one by the same rule.
constexpr uint32_t segment_minimum = 4;
// Printable characters a string start has before its NUL, at least.
constexpr int string_minimum = 4;
// Zero words of padding looked over after a return.
constexpr uint32_t padding_limit = 64;
// Bytes read at most: the scoring keeps a value for each word.
constexpr uint64_t scan_limit = uint64_t(64) << 20;
// Words before a return taken as code at most.
constexpr uint32_t code_span = 1024;

// Words that only code has, in one byte order: jr $ra and the stack frame's
// addiu $sp,$sp,n, sw $ra,n($sp), lw $ra,n($sp).
void count_code_words(uint32_t w, order_evidence& e) {
    if (w == jr_ra) ++e.returns;
    const uint32_t top = w >> 16;
    if (top == addiu_sp || top == sw_ra || top == lw_ra) ++e.frames;
}

bool order_told(const order_evidence& one, const order_evidence& other) {
    return one.total() >= order_minimum && one.total() >= order_ratio * other.total();
}

// Words to take next when read bytes of the input are read: up to the
// limit of what is read.
int words_to_read(uint64_t read) {
    return int(std::min<uint64_t>(1 << 12, (scan_limit - std::min(read, scan_limit)) / 4));
}

// The first reading: size, the one byte of a file of one, the words of code
// in both orders.
void read_orders(FILE* input, base_finding& f) {
    auto reader = std::make_unique<block_reader>(input);
    const unsigned char* bytes = nullptr;
    bool one_byte = true;
    for (int n; (n = reader->take_words(words_to_read(f.size), &bytes)) > 0;) {
        if (f.size == 0) f.byte = bytes[0];
        for (int i = 0; i < n; ++i, bytes += 4) {
            one_byte = one_byte && bytes[0] == f.byte && bytes[1] == f.byte && bytes[2] == f.byte &&
                       bytes[3] == f.byte;
            count_code_words(ordered_value(bytes, 4, false), f.big_words);
            count_code_words(ordered_value(bytes, 4, true), f.little_words);
        }
        f.size += 4 * uint64_t(n);
    }
    // The bytes after the last whole word.
    const long end = std::ftell(input);
    if (end > 0 && uint64_t(end) > f.size && f.size < scan_limit) {
        if (f.size == 0) one_byte = false;
        f.size = uint64_t(end);
    }
    if (f.size == 0)
        f.obstacle = base_obstacle::empty;
    else if (f.size < base_finding_minimum)
        f.obstacle = base_obstacle::too_short;
    else if (one_byte)
        f.obstacle = base_obstacle::one_byte;
}

// Sorts values and keeps each once.
void keep_once(std::vector<uint32_t>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    values.shrink_to_fit();
}

// Offsets of the image that addresses may land on, grouped by their low 12
// bits (an address and a base on 4 KiB share them), ascending in a group.
struct anchor_index {
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> first; // group g: offsets[first[g]] up to offsets[first[g + 1]]

    explicit anchor_index(std::vector<uint32_t>& found) {
        keep_once(found);
        first.assign(page_mask + 2, 0);
        for (uint32_t o : found) ++first[(o & page_mask) + 1];
        for (uint32_t g = 0; g <= page_mask; ++g) first[g + 1] += first[g];
        offsets.resize(found.size());
        std::vector<uint32_t> next(first.begin(), first.end() - 1);
        for (uint32_t o : found) offsets[next[o & page_mask]++] = o;
        std::vector<uint32_t>().swap(found);
    }
    bool holds(uint32_t offset) const {
        const auto from = offsets.begin() + first[offset & page_mask];
        const auto to = offsets.begin() + first[(offset & page_mask) + 1];
        return std::binary_search(from, to, offset);
    }
};

// What the second reading keeps: the places addresses may land on, and the
// addresses, each once.
struct image_scan {
    std::vector<uint32_t> strings, functions; // offsets
    std::vector<uint32_t> lui_values, jal_values, data_values;
};

// String starts: a NUL, at least string_minimum printable characters, a NUL.
struct string_finder {
    int64_t run = -1; // printable characters since the last NUL; -1: none to count
    uint32_t start = 0;

    void take(unsigned char c, uint32_t offset, std::vector<uint32_t>& starts) {
        if (c == 0) {
            if (run >= string_minimum) starts.push_back(start);
            run = 0;
            start = offset + 1;
        } else if (run >= 0) {
            const bool printable = (c >= 0x20 && c < 0x7f) || c == '\t' || c == '\n' || c == '\r';
            run = printable ? run + 1 : -1;
        }
    }
};

// Function starts: the first word that is not 0 after a jr $ra and its
// delay slot, and the first words of a frame (addiu $sp,$sp,-n) or of a
// $gp set-up (lui $gp).
struct function_finder {
    uint32_t after = 0; // offset where a return's padding ends
    bool waiting = false;

    void take(uint32_t w, uint32_t offset, std::vector<uint32_t>& starts) {
        if (waiting && offset >= after) {
            if (w != 0) {
                starts.push_back(offset);
                waiting = false;
            } else if (offset - after >= padding_limit) {
                waiting = false;
            }
        }
        const uint32_t top = w >> 16;
        if ((top == addiu_sp && simm(w) < 0) || top == lui_gp) starts.push_back(offset);
        if (w == jr_ra) {
            waiting = true;
            after = offset + 8;
        }
    }
};

// The words read as pointers: all but those of code. The words before a
// return, back to the one before it and at most code_span words, are code
// (their low halves are the %lo parts of addresses and branch distances,
// which would make false candidates); the words wait in a ring until they
// are known to be data.
struct data_words {
    std::array<uint32_t, code_span> ring{};
    uint32_t held = 0, next = 0;
    uint32_t slot_at = UINT32_MAX; // offset of the delay slot of the last return

    void take(uint32_t w, uint32_t offset, std::vector<uint32_t>& values) {
        if (held == code_span) values.push_back(ring[next]);
        ring[next] = w;
        next = (next + 1) % code_span;
        held = std::min(held + 1, code_span);
        if (w == jr_ra) slot_at = offset + 4;
        if (offset == slot_at) held = 0; // a function ends: its words are code
    }
    // At the end of the input: the words held are data.
    void flush(std::vector<uint32_t>& values) {
        for (uint32_t k = held; k > 0; --k)
            values.push_back(ring[(next + code_span - k) % code_span]);
        held = 0;
    }
};

// The second reading, in the byte order found.
void scan_image(FILE* input, bool little, image_scan& s) {
    zo_fseek(input, 0);
    auto reader = std::make_unique<block_reader>(input);
    auto history = std::make_unique<word_history>();
    string_finder strings;
    function_finder functions;
    auto data = std::make_unique<data_words>();
    uint32_t offset = 0;
    const unsigned char* bytes = nullptr;
    size_t sort_at = 1u << 20; // data values held before they are kept once
    for (int n; (n = reader->take_words(words_to_read(offset), &bytes)) > 0;) {
        for (int i = 0; i < n; ++i, bytes += 4, offset += 4) {
            for (int b = 0; b < 4; ++b) strings.take(bytes[b], offset + uint32_t(b), s.strings);
            const uint32_t w = ordered_value(bytes, 4, little);
            functions.take(w, offset, s.functions);
            data->take(w, offset, s.data_values);
            // Only a word whose rs a lui may have set completes a pair ($gp
            // set-ups form _gp, or its distance from the function: not kept).
            uint32_t high = 0;
            bool got = false, unsafe = false;
            if (rs(w) != 28 && history->set_at[size_t(rs(w))] != 0 &&
                base_high_part(*history, decode_word(offset, w), high, got, unsafe)) {
                const bool ori = major_opcode(w) == ori_opcode;
                s.lui_values.push_back(ori ? high | uimm(w) : high + uint32_t(simm(w)));
            }
            history->remember(w);
            if (major_opcode(w) == jal_opcode) s.jal_values.push_back(jump_index(w) << 2);
        }
        // Words that come again and again are kept once as they come.
        if (s.data_values.size() > sort_at) {
            keep_once(s.data_values);
            sort_at = std::max(sort_at, 2 * s.data_values.size());
        }
    }
    data->flush(s.data_values);
    keep_once(s.lui_values);
    keep_once(s.jal_values);
    keep_once(s.data_values);
}

// One vote for the base under which value lands on an anchor, for each
// anchor of its group, where the image so placed ends within 4 GiB.
void vote(const std::vector<uint32_t>& values, const anchor_index& anchors, uint64_t size,
          std::vector<uint32_t>& votes) {
    for (uint32_t v : values) {
        const uint32_t g = v & page_mask;
        for (uint32_t i = anchors.first[g]; i < anchors.first[g + 1]; ++i) {
            const uint32_t o = anchors.offsets[i];
            if (o > v) break;
            if (uint64_t(v - o) + size > (uint64_t(1) << 32)) continue;
            ++votes[(v - o) >> page_bits];
        }
    }
}

// The same for jal targets, which tell the base within a segment only.
void vote_in_segment(const std::vector<uint32_t>& targets, const anchor_index& anchors,
                     std::vector<uint32_t>& votes) {
    for (uint32_t t : targets) {
        const uint32_t g = t & page_mask;
        for (uint32_t i = anchors.first[g]; i < anchors.first[g + 1]; ++i)
            ++votes[((t - anchors.offsets[i]) & segment_mask) >> page_bits];
    }
}

// For each low part of a base that jal targets vote for, the candidate with
// that low part that the full addresses choose, or -1.
int chosen_segment(const std::vector<uint32_t>& votes, uint32_t low) {
    uint32_t best = 0, second = 0;
    int chosen = -1;
    for (uint32_t top = 0; top < 16; ++top) {
        const uint32_t v = votes[top << segment_shift | low];
        if (v > best) {
            second = best;
            best = v;
            chosen = int(top);
        } else if (v > second) {
            second = v;
        }
    }
    return best >= segment_minimum && best >= score_ratio * second ? chosen : -1;
}

// The sorted values that fall within the image placed at base.
std::span<const uint32_t> within(const std::vector<uint32_t>& values, uint32_t base,
                                 uint64_t size) {
    const auto from = std::lower_bound(values.begin(), values.end(), base);
    const auto to = std::lower_bound(from, values.end(), uint64_t(base) + size,
                                     [](uint32_t v, uint64_t end) { return v < end; });
    return {from, to};
}

// How many values land on anchors with the image at base.
uint32_t landed(const std::vector<uint32_t>& values, const anchor_index& anchors, uint32_t base,
                uint64_t size) {
    uint32_t count = 0;
    for (uint32_t v : within(values, base, size)) count += anchors.holds(v - base) ? 1 : 0;
    return count;
}

// The score that the values within the image placed at base would reach if
// they fell anywhere in it: each lands on a string start as often as the
// image has them per byte, and when on the word grid on a function start as
// often as it has them per word.
double by_chance(const image_scan& s, const anchor_index& strings, const anchor_index& functions,
                 uint32_t base, uint64_t size) {
    uint64_t all = 0, aligned = 0;
    for (const std::vector<uint32_t>* values : {&s.lui_values, &s.data_values}) {
        for (uint32_t v : within(*values, base, size)) {
            ++all;
            aligned += (v & 3) == 0 ? 1 : 0;
        }
    }
    const double per_byte = double(strings.offsets.size()) / double(size);
    const double per_word = 4.0 * double(functions.offsets.size()) / double(size);
    return double(all) * per_byte + double(aligned) * per_word;
}

// The best candidates by the votes and the jal votes credited, best first
// (ties: the lower base), with what lands where.
void rank_candidates(const std::vector<uint32_t>& votes, const std::vector<uint32_t>& jal_votes,
                     const image_scan& s, const anchor_index& strings,
                     const anchor_index& functions, base_finding& f) {
    std::vector<int8_t> chosen(segment_candidates, -1);
    for (uint32_t low = 0; low < segment_candidates; ++low)
        if (jal_votes[low] != 0) chosen[low] = int8_t(chosen_segment(votes, low));
    // The jal votes that candidate c gets: those of its low part when the
    // full addresses chose its segment.
    auto jal_credit = [&](uint32_t c) {
        const uint32_t low = c & (segment_candidates - 1);
        return chosen[low] >= 0 && uint32_t(chosen[low]) == c >> segment_shift ? jal_votes[low]
                                                                               : 0u;
    };
    struct ranked {
        uint32_t score, candidate;
    };
    std::array<ranked, shown_candidates + 1> top{};
    int kept = 0;
    for (uint32_t c = 0; c < candidate_count; ++c) {
        const uint32_t score = votes[c] + jal_credit(c);
        if (score == 0 || (kept == int(top.size()) && score <= top[size_t(kept - 1)].score))
            continue;
        int at = std::min(kept, int(top.size()) - 1);
        while (at > 0 && top[size_t(at - 1)].score < score) {
            top[size_t(at)] = top[size_t(at - 1)];
            --at;
        }
        top[size_t(at)] = {score, c};
        kept = std::min(kept + 1, int(top.size()));
    }
    f.count = std::min(kept, shown_candidates);
    for (int i = 0; i < f.count; ++i) {
        const uint32_t c = top[size_t(i)].candidate;
        base_candidate& b = f.candidates[size_t(i)];
        b.base = c << page_bits;
        b.lui_strings = landed(s.lui_values, strings, b.base, f.size);
        b.pointer_strings = landed(s.data_values, strings, b.base, f.size);
        b.lui_functions = landed(s.lui_values, functions, b.base, f.size);
        b.pointer_functions = landed(s.data_values, functions, b.base, f.size);
        b.jal_functions = jal_credit(c);
    }
    const uint32_t best = kept > 0 ? top[0].score : 0;
    const uint32_t next = kept > 1 ? top[1].score : 0;
    if (best < score_minimum || best < score_ratio * next ||
        best < chance_ratio * by_chance(s, strings, functions, f.candidates[0].base, f.size))
        f.obstacle = base_obstacle::not_clear;
}

void find_candidates(FILE* input, base_finding& f) {
    image_scan s;
    scan_image(input, f.little, s);
    const anchor_index strings(s.strings);
    const anchor_index functions(s.functions);
    std::vector<uint32_t> votes(candidate_count);
    vote(s.lui_values, strings, f.size, votes);
    vote(s.lui_values, functions, f.size, votes);
    vote(s.data_values, strings, f.size, votes);
    vote(s.data_values, functions, f.size, votes);
    std::vector<uint32_t> jal_votes(segment_candidates);
    vote_in_segment(s.jal_values, functions, jal_votes);
    rank_candidates(votes, jal_votes, s, strings, functions, f);
}

} // namespace

base_finding find_base(FILE* input, bool force_little) {
    base_finding f;
    zo_fseek(input, 0);
    read_orders(input, f);
    if (f.obstacle != base_obstacle::none) return f;
    f.forced = force_little;
    if (force_little) {
        f.little = true;
    } else if (order_told(f.little_words, f.big_words)) {
        f.little = true;
    } else if (!order_told(f.big_words, f.little_words)) {
        f.obstacle = base_obstacle::no_order;
        return f;
    }
    find_candidates(input, f);
    return f;
}

namespace {

void write_order(const base_finding& f) {
    if (f.forced) {
        out_text("little-endian  (forced by -LE)\n");
        return;
    }
    const order_evidence& told = f.little ? f.little_words : f.big_words;
    const order_evidence& other = f.little ? f.big_words : f.little_words;
    out_format("%s  (%u jr $ra and %u stack frame words; as %s: %u and %u)\n",
               f.little ? "little-endian" : "big-endian", told.returns, told.frames,
               f.little ? "big-endian" : "little-endian", other.returns, other.frames);
}

void write_candidate(const base_candidate& c) {
    out_format("%08x  score %u  (%u lui pairs and %u pointers land on string starts, %u jal "
               "targets, %u lui pairs and %u pointers on function starts)\n",
               c.base, c.score(), c.lui_strings, c.pointer_strings, c.jal_functions,
               c.lui_functions, c.pointer_functions);
}

// The path as one word of a shell's command line: quoted when it holds
// anything but the characters of plain file names.
void write_shell_word(const char* path) {
    const std::string_view p(path);
    const bool plain =
        !p.empty() && p.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                          "0123456789_-+.,/:@%=") == std::string_view::npos;
    if (plain) {
        out_text(p);
        return;
    }
    out_char('\'');
    for (char c : p) c == '\'' ? (void)out_text("'\\''") : out_char(c);
    out_char('\'');
}

} // namespace

void write_base_finding(const base_finding& f, const char* path) {
    switch (f.obstacle) {
    case base_obstacle::empty: out_text("no base found: the file is empty\n"); return;
    case base_obstacle::too_short:
        out_format("no base found: %u bytes are too few to tell (at least %u)\n", uint32_t(f.size),
                   base_finding_minimum);
        return;
    case base_obstacle::one_byte:
        out_format("no base found: every byte of the file is 0x%02x\n", f.byte);
        return;
    case base_obstacle::no_order:
        out_format("byte order not found  (big-endian: %u jr $ra and %u stack frame words; "
                   "little-endian: %u and %u)\n",
                   f.big_words.returns, f.big_words.frames, f.little_words.returns,
                   f.little_words.frames);
        out_text("no base found: the code does not tell the byte order (-LE forces "
                 "little-endian)\n");
        return;
    default: break;
    }
    write_order(f);
    if (f.obstacle == base_obstacle::not_clear) {
        out_format("no base found: no load address stands clearly above the rest (best score "
                   "%u, next %u)\n",
                   f.count > 0 ? f.candidates[0].score() : 0,
                   f.count > 1 ? f.candidates[1].score() : 0);
        return;
    }
    for (int i = 0; i < f.count; ++i) write_candidate(f.candidates[size_t(i)]);
    const uint32_t base = f.candidates[0].base;
    out_format("pelorin -o %08x -a %08x%s -NO ", base, base, f.little ? " -LE" : "");
    write_shell_word(path);
    out_char('\n');
}
