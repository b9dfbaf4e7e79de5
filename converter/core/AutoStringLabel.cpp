#include "converter/core/AutoStringLabel.h"

#include <cstdio>

namespace {
int AutoStringCounter = 1;
}

std::string NextAutoStringLabel(unsigned long textKey, unsigned long word)
{
    char label[64];
    snprintf(label, sizeof label, "_autostring_%08lX_%08lX_%03d_", textKey, word, AutoStringCounter++);
    return label;
}
