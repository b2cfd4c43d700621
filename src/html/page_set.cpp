#include "html/page_set.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "html/address_links.h"
#include "html/call_targets.h"
#include "html/page_elements.h"
#include "mips/byte_order.h"
#include "mips/decode.h"
#include "mips/function_end.h"
#include "symbols/symbol_table.h"
#include "util/address_gaps.h"
#include "util/block_reader.h"
#include "util/output.h"
#include "util/run_settings.h"
#include "util/zo.h"

page_set pages{};
int total_functions = 0;

namespace {

// The pre-pass stops once this page start index has been recorded.
constexpr int last_page_index = page_capacity - 1;

// Stream buffer of a page: a page of listing goes out in a write or two.
// (Given no buffer of its own, the C library keeps to one disk block and
// ignores the size.) Only one page file is open at a time, so the pages take
// turns with this one.
constexpr size_t page_buffer_size = 64 * 1024;
char page_buffer[page_buffer_size];

// Opens path for writing as the current output.
void open_output(const char* path) {
    settings.output = zo_fopen(path, "w");
    setvbuf(settings.output, page_buffer, _IOFBF, page_buffer_size);
}

// Opens a file of the page set in the output directory as the current output.
void open_output_page(const char* name) {
    char* path = zo_pathjoin(settings.html_dir, name);
    open_output(path);
    zo_free(path);
}

// Closes the current output page; the listing never keeps a closed stream.
void close_output_page() {
    zo_fclose(settings.output);
    settings.output = stdout;
}

void write_link(const char* file, const char* text) {
    html_file_link(file, text);
}

// Writes a name in a field of width characters, padded by its own length:
// a name from the input file is escaped, which must not widen the field.
void write_padded_name(const symbol_entry& e, int width) {
    int n = e.from_input ? out_input_text(e.name) : out_text(e.name);
    for (; n < width; ++n) out_char(' ');
}

// The redirect page's name, and its text up to the URL.
constexpr char index_page[] = "index.htm";
constexpr char index_head[] = "<HTML>\n<HEAD>\n<META HTTP-EQUIV=refresh CONTENT=\"0; URL=";

// The redirect page in the current directory, pointing at the first page.
void write_index(const char* path) {
    FILE* index = zo_fopen(index_page, "w");
    // A Windows drive path needs a file URL.
    const char* scheme = path[0] != '\0' && path[1] == ':' ? "file://" : "";
    fprintf(index, "%s%s%s\">\n</HEAD>\n</HTML>\n", index_head, scheme, path);
    zo_fclose(index);
}

// An index.htm in the current directory is replaced only when it is a
// redirect page of this program's: any other file of that name is the user's,
// and the run ends before a page is written. (Read in text mode, so that the
// Windows build knows its own CR LF pages; a name that can not be read as a
// file, a directory say, fails later when the page is written.)
void refuse_foreign_index() {
    FILE* index = std::fopen(index_page, "r");
    if (index == nullptr) return;
    char head[sizeof index_head - 1];
    const size_t got = std::fread(head, 1, sizeof head, index);
    const bool unreadable = std::ferror(index) != 0;
    std::fclose(index);
    if (unreadable) return;
    if (got != sizeof head || std::memcmp(head, index_head, sizeof head) != 0)
        zo_message("%s: File exists", index_page);
}

// The listed word that holds address a is linked to (beyond the listed
// range, nothing is kept).
void mark_linked(uint32_t a) {
    const uint32_t k = (a - pages.linked_base) >> 2;
    if (k < pages.linked_count) pages.linked_words[k >> 6] |= uint64_t(1) << (k & 63);
}

// The symbol map links every name; a name at an address inside a listed word
// gets no label line, so its word is marked.
void mark_names_inside_words() {
    for (int i = 0; i < symbol_count; ++i) {
        const symbol_entry& e = symbol_table[i];
        if (e.name[0] != '\0' && ((e.address - pages.linked_base) & 3) != 0) mark_linked(e.address);
    }
}

// A j or jal links to its target.
inline void mark_jump_target(const decoded_instruction& d) {
    if (d.kind == instruction_kind::jump || d.kind == instruction_kind::call) mark_linked(d.target);
}

// The first word from index k on whose bit is set, or linked_count.
uint32_t next_marked_word(uint32_t k) {
    const uint32_t count = pages.linked_count;
    while (k < count) {
        const uint64_t bits = pages.linked_words[k >> 6] >> (k & 63);
        if (bits != 0) return std::min(count, k + static_cast<uint32_t>(std::countr_zero(bits)));
        k = (k | 63) + 1;
    }
    return count;
}

// The address of the word k of the bits, or when k is past them the word
// before the start, which the listing does not reach.
uint32_t linked_address(uint32_t k) {
    return pages.linked_base + (k < pages.linked_count ? 4 * k : uint32_t(-4));
}

// Bits for the words from the input's position on, as many as the range and
// the input hold, and no more than the pages can: the paged range holds at
// most page_capacity pages of at most longest_page bytes each.
void take_linked_words(uint32_t start, int32_t size, int64_t longest_page) {
    int64_t words = size > 0 ? size / 4 : 0;
    words = std::min<int64_t>(words, page_capacity * longest_page / 4 + 1);
    FILE* input = settings.input;
    const long position = std::ftell(input);
    if (position >= 0 && std::fseek(input, 0, SEEK_END) == 0) {
        const long end = std::ftell(input);
        if (end >= position) words = std::min<int64_t>(words, (end - position) / 4);
    }
    zo_fseek(input, static_cast<int32_t>(position));
    std::free(pages.linked_words);
    // Untouched pages of a large block cost nothing: only the words linked
    // to are written.
    pages.linked_words = static_cast<uint64_t*>(std::calloc(size_t(words / 64 + 1), 8));
    if (pages.linked_words == nullptr) zo_error("[re]alloc", "no memory");
    pages.linked_base = start;
    pages.linked_count = static_cast<uint32_t>(words);
}

// Line i of the call statistics: rank, count, linked address, name and comment.
void write_target_line(int i, int count) {
    const call_target& target = call_targets[size_t(i)];
    out_format("%5d.\t%5d\t", i + 1, count);
    print_address(target.address, nullptr);
    if (target.symbol >= 0) {
        const symbol_entry& e = symbol_table[target.symbol];
        out_char('\t');
        write_padded_name(e, 20);
        out_format(" %s", e.comment);
    }
    out_char('\n');
}

// Under -X: the calls (jal, bal, jalr), or the plain jumps, each headed,
// most frequent first.
void write_targets_by_count(bool calls) {
    sort_call_targets_by_count(calls);
    out_text(calls ? "calls\n" : "\njumps\n");
    for (int i = 0; i < std::min(call_target_count, listed_call_target_limit); ++i) {
        const call_target& t = call_targets[size_t(i)];
        const int count = calls ? t.calls : t.count - t.calls;
        if (count == 0) break;
        write_target_line(i, count);
    }
}

void write_calls_page() {
    open_output_page(calls_page);
    html_page_head(calls_link_text, calls_link_text);
    write_link(symbols_page, symbols_link_text);
    out_text("<PRE><B>\n");
    out_format("%5d\tHTML files\n", pages.count);
    out_format("%5d\ttotal functions\n", total_functions);
    out_format("%5d\tcall targets\n", call_target_count);
    out_format("%5d\tmap symbols\n", symbol_count - comment_only_count);
    out_char('\n');
    link_call_targets();
    if (has_flag(flag::cross_references)) {
        write_targets_by_count(true);
        write_targets_by_count(false);
    } else {
        sort_call_targets();
        const int listed = std::min(call_target_count, listed_call_target_limit);
        for (int i = 0; i < listed; ++i) write_target_line(i, call_targets[i].count);
    }
    out_text("</B></PRE>\n</BODY>\n</HTML>\n");
    close_output_page();
}

// One line of the symbol map: a name with its comment, or a page start.
void write_symbol_line(const symbol_entry& e) {
    if (e.name[0] != '\0') {
        out_text("\t");
        out_hex(e.address, 8);
        out_text("\t");
        print_address(e.address, e.name, e.from_input);
        // The comment column counts the name's own characters.
        size_t length = strlen(e.name);
        out_format("\t%s%s%s\n", length < 8 ? "\t" : "", length < 16 ? "\t" : "", e.comment);
    } else if (e.comment[0] == '\0') {
        print_address(e.address, nullptr);
        out_char('\n');
    }
}

bool starts_ascend() {
    for (int i = 1; i < pages.count; ++i)
        if (pages.starts[i] < pages.starts[i - 1]) return false;
    return true;
}

void write_symbols_page() {
    open_output_page(symbols_page);
    html_page_head(symbols_link_text, symbols_link_text);
    write_link(calls_page, calls_link_text);
    out_text("<PRE><B>\n");
    // Every page start gets a line of its own, between the names, as an
    // entry of its own in the table would (an empty name sorts first among
    // the entries of its address). They take room in the table, whose limit
    // holds for them too.
    if (symbol_count + pages.count > symbol_capacity) zo_message("map: too many symbols");
    if (!starts_ascend()) {
        // Starts past the top of memory wrap round: the table sorts them.
        for (int i = 0; i < pages.count; ++i) add_symbol(pages.starts[i], "", "");
        sort_symbols();
        for (int i = 0; i < symbol_count; ++i) write_symbol_line(symbol_table[i]);
    } else {
        // Ascending starts are merged into the sorted table rather than
        // added to it: 10000 page starts would take a third of the table's
        // memory for the one page that lists them.
        sort_symbols();
        int page = 0;
        for (int i = 0; i < symbol_count; ++i) {
            const symbol_entry& e = symbol_table[i];
            for (; page < pages.count && (pages.starts[page] < e.address ||
                                          (pages.starts[page] == e.address && e.name[0] != '\0'));
                 ++page)
                write_symbol_line(symbol_entry{"", "", pages.starts[page], false});
            write_symbol_line(e);
        }
        for (; page < pages.count; ++page)
            write_symbol_line(symbol_entry{"", "", pages.starts[page], false});
    }
    out_text("</B></PRE>\n</BODY>\n</HTML>\n");
    close_output_page();
}

} // namespace

void html_prepass(std::span<const case_reach> reaches) {
    refuse_foreign_index();
    const int32_t n = settings.line_budget;
    const int32_t forced = n > 100 ? n : 100;
    int last = 0; // index of the last recorded page start
    uint32_t a = settings.start;
    int32_t remaining = settings.size;
    pages.starts[0] = past_gap(a);
    total_functions = 0;
    // The range is read in blocks, a word at a time exactly as the listing
    // reads it.
    block_reader reader(settings.input);
    // Function ends by the listing's rule, followed apart from the listing's
    // own state, which stays as it was.
    const instruction_set set = active_instruction_set();
    uint32_t limit = 0;
    const int32_t extension = settings.function_extension;
    size_t reach = 0; // the next of reaches
    // A page without a function end is cut once it grows to about one and a
    // half times its size in words: once d / 6 > forced, that is, once d
    // reaches this many bytes.
    const int64_t cut_length = 6 * (int64_t(forced) + 1);
    // (A page ends at most 8 bytes after the word that reaches the cut.)
    take_linked_words(a, remaining, cut_length + 12);
    mark_names_inside_words();
    mark_linked(pages.starts[0]);
    uint32_t page_start = pages.starts[0];
    address_gap gap = gap_after(a);
    // Once the last page start has been recorded, the paged range ends at the
    // word that ended the page.
    bool full = false;
    const unsigned char* p = nullptr;
    int words = 0; // words left at p
    // Counted down as the listing does: a negative rest ends the range.
    while (!full && remaining >= 4) {
        // The words of the block that lie in the range.
        words = reader.take_words(remaining / 4, &p);
        if (words == 0) break; // a part word at the end is not listed
        remaining -= 4 * words;
        for (; words > 0; --words, p += 4, a += 4) {
            // The zeros of a gap are not listed.
            if (a >= gap.start) {
                if (a < gap.end) continue;
                gap = gap_after(a);
            }
            const int32_t length = static_cast<int32_t>(a - page_start);
            bool end_page = false;
            // Only jumps and branches lead anywhere or end a function.
            if (const uint32_t word = assemble_word(p); may_change_flow(word)) {
                const decoded_instruction d = decode_word(a, word, set);
                mark_jump_target(d);
                while (reach < reaches.size() && reaches[reach].jump < a) ++reach;
                if (reach < reaches.size() && reaches[reach].jump == a)
                    limit = std::max(limit, reaches[reach].last);
                if (function_end_step(limit, d, extension)) {
                    ++total_functions;
                    end_page = length / 4 > n;
                }
            }
            if (!end_page) end_page = length >= cut_length;
            if (end_page) {
                // The page ends after this word and the next one: for a
                // function end, the jump's delay slot.
                // (A page that would start in a gap starts at its end.)
                page_start = past_gap(a + 8);
                pages.starts[++last] = page_start;
                mark_linked(page_start);
                if (last == last_page_index) {
                    full = true;
                    break;
                }
            }
        }
    }
    pages.paged_end = a;
    if (full) {
        // The rest of the range is listed on the last page, outside the paged
        // range: it is read for the jumps that lead back into it. Only the
        // byte with the major opcode is looked at until a j or jal comes.
        // 00001x ...   j, jal
        const int major_byte = has_flag(flag::little_endian) ? 3 : 0;
        for (--words, p += 4, a += 4;; remaining -= 4 * words) {
            for (; words > 0; --words, p += 4, a += 4)
                if (p[major_byte] >> 3 == 1)
                    mark_jump_target(decode_word(a, assemble_word(p), set));
            if (remaining < 4 || (words = reader.take_words(remaining / 4, &p)) == 0) break;
        }
    }
    pages.count = last + 1;
    pages.current = 0;
    pages.next_linked = linked_address(next_marked_word(0));
    fprintf(stderr, "%d HTML files\n", pages.count);
    fprintf(stderr, "%d total functions\n", total_functions);
    // -n only sizes the pages; the listing itself has no line limit.
    settings.line_budget = INT_MAX;
    zo_fseek(settings.input, static_cast<int32_t>(settings.start - settings.offset));
}

void html_mark_linked(uint32_t a) {
    if (pages.linked_words != nullptr) mark_linked(a);
}

void html_restart_links() {
    if (pages.linked_words != nullptr) pages.next_linked = linked_address(next_marked_word(0));
}

void html_pass_linked_word() {
    const uint32_t k = (pages.next_linked - pages.linked_base) >> 2;
    pages.next_linked = linked_address(next_marked_word(k + 1));
}

void html_pass_gap(uint32_t end) {
    if (pages.next_linked >= end || end < pages.linked_base) return;
    pages.next_linked = linked_address(next_marked_word((end - pages.linked_base) >> 2));
}

void html_page_switch(uint32_t a) {
    if (!html_output() || pages.current >= pages.count || a != pages.starts[pages.current]) return;
    html_page_tail();
    char name[20];
    zo_snprintf(name, sizeof name, "%08x.htm", a);
    char* path = zo_pathjoin(settings.html_dir, name);
    if (pages.current == 0) write_index(path);
    open_output(path);
    zo_free(path);
    html_page_head(name, nullptr);
    if (pages.current > 0) html_page_link(pages.starts[pages.current - 1], "Previous Page");
    write_link(symbols_page, symbols_link_text);
    write_link(calls_page, calls_link_text);
    out_text("<PRE><B>\n");
    // From here on the index names the following page: the next switch waits
    // for it and the tail links to it.
    if (pages.current < pages.count - 1) ++pages.current;
}

void html_close_pages() {
    // The open page is the last one written: its tail gets no Next link. (One
    // step on from the index reaches the count whenever the listing ran to the
    // end of the range; only a start past the end can be left unreached.)
    pages.current = pages.count;
    html_page_tail();
    write_calls_page();
    fprintf(stderr, "%d call targets\n", call_target_count);
    fprintf(stderr, "%d map symbols\n", symbol_count - comment_only_count);
    write_symbols_page();
}

namespace {

// Page lookup by address, for every jump target of the listing: the paged
// range is cut into equal buckets, each knowing the last page that starts at
// or below its first address, and a lookup steps over the few starts within
// its bucket. Built at the first lookup for a page set; the starts do not
// change once placed.
constexpr int page_buckets = 16384;
static_assert(page_capacity <= 65536, "a bucket holds a page number in 16 bits");

struct page_index {
    // The page set it was built for.
    int count;
    uint32_t first_start, last_start, paged_end;
    // Starts that lie before a wrap past the top of memory.
    int ascending;
    int shift; // a bucket covers 2^shift bytes
    std::array<uint16_t, page_buckets> last_page;
};
page_index start_index{};

void build_page_index() {
    start_index.count = pages.count;
    start_index.first_start = pages.starts[0];
    start_index.last_start = pages.starts[size_t(pages.count - 1)];
    start_index.paged_end = pages.paged_end;
    // Starts ascend; only starts recorded after the addresses wrapped round
    // can be below the first (all of them at the end), and no file is ever
    // written for them, so they are passed over.
    const uint32_t first = pages.starts[0];
    const uint32_t* begin = pages.starts.data();
    const uint32_t* end = begin + pages.count;
    if (end[-1] < first)
        end = std::partition_point(begin, end, [&](uint32_t s) { return s >= first; });
    start_index.ascending = static_cast<int>(end - begin);
    const uint64_t range = pages.paged_end - first;
    start_index.shift = 0;
    while ((range >> start_index.shift) >= page_buckets) ++start_index.shift;
    int page = 0;
    for (uint64_t b = 0; b < page_buckets && (b << start_index.shift) < range; ++b) {
        const uint32_t bucket_start = first + static_cast<uint32_t>(b << start_index.shift);
        while (page + 1 < start_index.ascending && pages.starts[size_t(page + 1)] <= bucket_start)
            ++page;
        start_index.last_page[b] = static_cast<uint16_t>(page);
    }
}

} // namespace

bool html_page_of(uint32_t a, uint32_t* page_start) {
    if (pages.count == 0) return false;
    const uint32_t first = pages.starts[0];
    if (a < first || a >= pages.paged_end) return false;
    if (start_index.count != pages.count || start_index.first_start != first ||
        start_index.last_start != pages.starts[size_t(pages.count - 1)] ||
        start_index.paged_end != pages.paged_end)
        build_page_index();
    // The last page whose start lies between the first start and a.
    int page = start_index.last_page[(a - first) >> start_index.shift];
    while (page + 1 < start_index.ascending && pages.starts[size_t(page + 1)] <= a) ++page;
    *page_start = pages.starts[size_t(page)];
    return true;
}

void reset_page_set() {
    std::free(pages.linked_words);
    pages = page_set{};
    total_functions = 0;
    start_index = page_index{};
}
