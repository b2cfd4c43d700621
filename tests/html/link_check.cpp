// Checks the links of generated HTML page sets.
//
//   html_link_check [--cases CLI_DIR] [SET_DIR...]
//
// A set directory holds index.htm (when a page was written) and, in itself or
// in a subdirectory, calls.htm, symbols.htm and the pages "%08x.htm". With
// --cases every CLI_DIR/html_*/expected.files is checked as a set. For each
// set:
// - index.htm redirects to a page that exists;
// - every HREF names a file of the set;
// - a link to an address names the page that holds it: the page with the
//   highest start at or below the address;
// - the anchor exists in that page;
// - every anchor lies on its own page, and Next and Previous links pair up.
// A case's set may hold a file as NAME.from, which names a shared file
// (tests/cli/README.md); it is read as NAME.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

int failures = 0;

void fail(const fs::path& where, const std::string& what) {
    std::printf("FAIL %s: %s\n", where.string().c_str(), what.c_str());
    ++failures;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A file of a set or, where the set holds path.from instead, the file that
// this names: its first line, relative to the cases folder, two levels above
// the set (CLI_DIR/CASE/expected.files).
fs::path stand_in(const fs::path& path, const fs::path& cases) {
    fs::path from = path.string() + ".from";
    if (fs::exists(path) || !fs::exists(from)) return path;
    std::string line = read_file(from);
    return cases / line.substr(0, line.find('\n'));
}

// The name of a set's file: NAME for NAME.from.
std::string listed_name(const fs::path& path) {
    return (path.extension() == ".from" ? path.stem() : path.filename()).string();
}

// The value of an eight-digit lower-case hex text, or -1.
long long hex8(const std::string& text) {
    if (text.size() != 8) return -1;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return -1;
    return std::stoll(text, nullptr, 16);
}

// The values of every "<A HREF=" (or "<A NAME=") up to the next '>'.
std::vector<std::string> attributes(const std::string& page, const std::string& key) {
    std::vector<std::string> found;
    for (size_t at = page.find(key); at != std::string::npos; at = page.find(key, at + 1)) {
        size_t start = at + key.size();
        size_t end = page.find('>', start);
        if (end == std::string::npos) break;
        found.push_back(page.substr(start, end - start));
    }
    return found;
}

struct page_file {
    std::string name;
    std::string text;
    std::string next, previous; // link targets, empty when absent
};

void check_pages(const fs::path& dir, const fs::path& cases) {
    std::map<long long, page_file> pages; // by start address
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string name = listed_name(entry.path());
        if (name.size() == 12 && name.substr(8) == ".htm" && hex8(name.substr(0, 8)) >= 0)
            pages[hex8(name.substr(0, 8))] = {name, read_file(stand_in(dir / name, cases)), "", ""};
    }
    // Named symbols: "\t%08x\t" then the name, in symbols.htm.
    std::set<long long> named;
    std::string symbols = read_file(stand_in(dir / "symbols.htm", cases));
    for (size_t at = symbols.find("\n\t"); at != std::string::npos;
         at = symbols.find("\n\t", at + 1))
        if (at + 11 < symbols.size() && symbols[at + 10] == '\t')
            named.insert(hex8(symbols.substr(at + 2, 8)));

    auto page_holding = [&](long long address) -> const page_file* {
        auto it = pages.upper_bound(address);
        if (it == pages.begin()) return nullptr;
        return &std::prev(it)->second;
    };

    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (fs::path(listed_name(entry.path())).extension() == ".htm")
            files.push_back(dir / listed_name(entry.path()));
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::string text = read_file(stand_in(file, cases));
        std::string self = file.filename().string();
        for (const std::string& href : attributes(text, "<A HREF=")) {
            std::string target = href.substr(0, href.find('#'));
            if (!fs::exists(stand_in(dir / target, cases))) {
                fail(file, "link to missing file " + href);
                continue;
            }
            if (href.find('#') == std::string::npos) continue;
            long long address = hex8(href.substr(href.find('#') + 1));
            const page_file* holder = page_holding(address);
            if (address < 0 || !holder || holder->name != target) {
                fail(file, "link " + href + " does not name the page of its address");
                continue;
            }
            std::string anchor = "<A NAME=" + href.substr(href.find('#') + 1) + "></A>";
            if (holder->text.find(anchor) == std::string::npos)
                fail(file, "link " + href + " to a missing anchor");
        }
        if (pages.count(hex8(self.substr(0, 8))) && self.size() == 12) {
            page_file& page = pages[hex8(self.substr(0, 8))];
            for (const std::string& name : attributes(text, "<A NAME=")) {
                const page_file* holder = page_holding(hex8(name));
                if (!holder || holder->name != self) fail(file, "anchor " + name + " off its page");
            }
            size_t next = text.find(">Next Page</A>");
            if (next != std::string::npos)
                page.next = text.substr(text.rfind("HREF=", next) + 5, 12);
            size_t previous = text.find(">Previous Page</A>");
            if (previous != std::string::npos)
                page.previous = text.substr(text.rfind("HREF=", previous) + 5, 12);
        }
    }
    // Pages chain in address order: first without Previous, last without Next.
    std::string before;
    for (auto it = pages.begin(); it != pages.end(); ++it) {
        const page_file& page = it->second;
        if (page.previous != before) fail(dir / page.name, "Previous Page is not " + before);
        auto following = std::next(it);
        std::string after = following == pages.end() ? "" : following->second.name;
        if (page.next != after) fail(dir / page.name, "Next Page is not " + after);
        before = page.name;
    }
}

void check_set(const fs::path& root) {
    fs::path cases = root / ".." / "..";
    std::vector<fs::path> page_dirs;
    if (fs::exists(stand_in(root / "calls.htm", cases))) page_dirs.push_back(root);
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_directory() && fs::exists(stand_in(entry.path() / "calls.htm", cases)))
            page_dirs.push_back(entry.path());
    if (page_dirs.empty()) fail(root, "no calls.htm");
    for (const fs::path& dir : page_dirs) {
        for (const char* summary : {"calls.htm", "symbols.htm"})
            if (!fs::exists(stand_in(dir / summary, cases)))
                fail(dir, std::string("no ") + summary);
        check_pages(dir, cases);
    }
    fs::path index = root / "index.htm";
    if (fs::exists(stand_in(index, cases))) {
        std::string text = read_file(stand_in(index, cases));
        size_t at = text.find("URL=");
        size_t end = text.find('"', at);
        if (at == std::string::npos || end == std::string::npos)
            fail(index, "no redirect");
        else if (!fs::exists(stand_in(root / text.substr(at + 4, end - at - 4), cases)))
            fail(index, "redirect to missing page " + text.substr(at + 4, end - at - 4));
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> sets;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--cases" && i + 1 < argc) {
            for (const auto& entry : fs::directory_iterator(argv[++i])) {
                std::string name = entry.path().filename().string();
                if (name.rfind("html_", 0) == 0 &&
                    fs::is_directory(entry.path() / "expected.files"))
                    sets.push_back(entry.path() / "expected.files");
            }
        } else {
            sets.push_back(arg);
        }
    }
    if (sets.empty()) {
        std::fprintf(stderr, "usage: html_link_check [--cases CLI_DIR] [SET_DIR...]\n");
        return 2;
    }
    std::sort(sets.begin(), sets.end());
    for (const fs::path& set : sets) check_set(set);
    std::printf("%zu page sets checked, %d problems\n", sets.size(), failures);
    return failures == 0 ? 0 : 1;
}
