// Reads a stream from its position on in large blocks and hands out whole
// 4-byte words: a read of the stream per word costs more than what is done
// with the word. A short block ends the input; a part word at its end is not
// handed out.
#pragma once

#include <algorithm>
#include <cstdio>

#include "util/zo.h"

struct block_reader {
    static constexpr int block_size = 1 << 16;
    static_assert(block_size % 4 == 0);

    FILE* stream;
    int filled = 0;     // bytes of the block that came
    int used = 0;       // bytes of the block handed out
    bool ended = false; // the last block was short: the input has ended
    unsigned char block[block_size];

    explicit block_reader(FILE* input) : stream(input) {}

    // Up to max words that follow, all from one block, at *bytes; 0 at the end
    // of the input. Reads the next block when the held one has no word left.
    int take_words(int max, const unsigned char** bytes) {
        if (filled - used < 4) {
            if (ended) return 0;
            filled = zo_fread(stream, block_size, block);
            used = 0;
            ended = filled < block_size;
            if (filled < 4) return 0;
        }
        const int n = std::min((filled - used) / 4, max);
        *bytes = block + used;
        used += 4 * n;
        return n;
    }
};
