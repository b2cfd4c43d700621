// The listing loop: the input word by word, one line per word.
#pragma once

// Lists the range, then ends the run (closing pages, input, image file).
void list_words();
// Clears the fold counter and the ring of recent words (for tests; the program never calls it).
void reset_listing_state();
