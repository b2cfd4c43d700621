// Blocks of a file kept in memory, the least recently used giving way. A seek
// throws a stream's buffer away; readers that jump about a file that does not
// change while it is read (the data display, the object loader) go through
// these blocks, and the stream is only moved for a block not seen yet.
#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "util/zo.h"

template <int block_size, int slot_count> struct block_cache {
    struct slot {
        int64_t number;    // block number in the file; -1 for an empty slot
        int length;        // bytes of the block that the file holds
        uint64_t last_use; // use count at its last use
    };
    std::array<slot, slot_count> slots;
    unsigned char bytes[slot_count][block_size];
    uint64_t uses;
    FILE* stream;    // the file the blocks come from; null: none yet
    bool fatal_seek; // a failed seek ends the run (zo_fseek) rather than the read
    bool moved;      // the stream has been positioned since the owner last cleared this

    // Forgets every block; they will come from stream.
    void start(FILE* from, bool seek_failure_ends_run) {
        for (slot& s : slots) s = {-1, 0, 0};
        uses = 0;
        stream = from;
        fatal_seek = seek_failure_ends_run;
        moved = false;
    }

    // The block of the given number, its length (short at the end of the
    // file) in length; null when the stream can not be positioned there.
    const unsigned char* block(int64_t number, int& length) {
        int k = 0;
        for (int i = 0; i < slot_count; ++i) {
            if (slots[i].number == number) {
                k = i;
                break;
            }
            if (slots[i].last_use < slots[k].last_use) k = i;
        }
        slot& s = slots[k];
        if (s.number != number) {
            const int64_t position = number * block_size;
            if (!fatal_seek && position > LONG_MAX) return nullptr;
            s = {-1, 0, 0};
            moved = true;
            if (fatal_seek) {
                // The owner checks its positions against zo_fseek's limit.
                zo_fseek(stream, int32_t(position));
            } else if (std::fseek(stream, static_cast<long>(position), SEEK_SET) != 0) {
                std::clearerr(stream);
                return nullptr;
            }
            const int got = int(std::fread(bytes[k], 1, block_size, stream));
            // A short block at the end of the file is no error of the stream's.
            std::clearerr(stream);
            s = {number, got, 0};
        }
        s.last_use = ++uses;
        length = s.length;
        return bytes[k];
    }

    // Copies the count bytes at position into buffer; false when the file
    // does not hold them all.
    bool read(uint64_t position, unsigned char* buffer, int count) {
        int64_t number = int64_t(position / block_size);
        int at = int(position % block_size);
        while (count > 0) {
            int length = 0;
            const unsigned char* b = block(number, length);
            if (b == nullptr || length <= at) return false;
            const int n = std::min(count, length - at);
            std::memcpy(buffer, b + at, size_t(n));
            buffer += n;
            count -= n;
            // A read that runs over the end of a short block runs over the
            // end of the file.
            if (count > 0 && length < block_size) return false;
            ++number;
            at = 0;
        }
        return true;
    }
};
