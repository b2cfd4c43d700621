#include "listing/recent_words.h"

word_history listed_history{};

void reset_recent_words() {
    listed_history = word_history{};
}
