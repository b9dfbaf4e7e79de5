#pragma once
// Strings that statements create on the spot ("char *" fields, quoted event texts) are labelled
// from the name key of their text and a counter that runs over the whole conversion, so that
// equal texts in different statements never collide.
#include <string>

// "_autostring_%08X_%08X_%03d_" of the key, the word and the next count (the first is 1).
std::string NextAutoStringLabel(unsigned long textKey, unsigned long word);
