// The state of a run, all modules together.
#pragma once

// Puts every module back to its state at program start: the run settings, the
// symbol table and the map reader, the object loader, the page set and its
// pieces, the call targets, the labels, the ring of recent words, the decoder,
// the line ends, the data display, the listing loop, the command line, and the
// utility library's messages, stream names and clock. A file that a failed run
// left open is closed only where its module owns it (a map file). The program
// never needs this, as it runs once; the tests and the fuzzers call it between
// runs.
void reset_run_state();
