// Blocks of a file being patched, kept in memory and written back when they
// give way, the least recently used first, and at the end. Patching a file
// through its stream directly would write the stream's buffer out at every
// seek; relocations patch a few bytes each, thousands of times.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

#include "util/zo.h"

template <int block_size, int slot_count> struct patch_cache {
    struct slot {
        int64_t number = -1; // block number in the file; -1 for an empty slot
        int length = 0;      // bytes that the file holds or the patches made
        bool dirty = false;
        uint64_t last_use = 0;
        std::array<unsigned char, block_size> bytes{};
    };
    std::array<slot, slot_count> slots{};
    uint64_t uses = 0;
    FILE* stream = nullptr;
    void (*write_failed)() = nullptr; // ends the run; called for a short write

    // Forgets every block; patches go to stream from now on.
    void start(FILE* to, void (*on_write_failure)()) {
        for (slot& s : slots) s = slot{};
        uses = 0;
        stream = to;
        write_failed = on_write_failure;
    }

    // Writes count bytes at position of the file. A patch past the file's end
    // extends it, over zeros as a write past the end would.
    void patch(uint64_t position, const unsigned char* bytes, int count) {
        while (count > 0) {
            slot& s = slot_of(int64_t(position / block_size));
            const int at = int(position % block_size);
            const int n = std::min(count, block_size - at);
            std::copy(bytes, bytes + n, s.bytes.begin() + at);
            s.length = std::max(s.length, at + n);
            s.dirty = true;
            position += uint64_t(n);
            bytes += n;
            count -= n;
        }
    }

    // Writes every patched block back; the slots are then empty.
    void finish() {
        for (slot& s : slots) {
            write_back(s);
            s = slot{};
        }
    }

  private:
    // Positions reach zo_fseek's limit at most (the callers check them).
    void write_back(slot& s) {
        if (!s.dirty) return;
        zo_fseek(stream, int32_t(s.number * block_size));
        if (int(std::fwrite(s.bytes.data(), 1, size_t(s.length), stream)) != s.length)
            write_failed();
        s.dirty = false;
    }

    slot& slot_of(int64_t number) {
        slot* victim = &slots[0];
        for (slot& s : slots) {
            if (s.number == number) {
                s.last_use = ++uses;
                return s;
            }
            if (s.last_use < victim->last_use) victim = &s;
        }
        write_back(*victim);
        victim->bytes.fill(0);
        zo_fseek(stream, int32_t(number * block_size));
        victim->length = int(std::fread(victim->bytes.data(), 1, block_size, stream));
        std::clearerr(stream);
        victim->number = number;
        victim->last_use = ++uses;
        return *victim;
    }
};
