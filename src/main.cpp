// pelorin: a disassembler for 32-bit MIPS code.
#include "driver/command_line.h"
#include "driver/listing_loop.h"

int main(int argc, char** argv) {
    start_run(argc, argv);
    list_words();
    return 0;
}
