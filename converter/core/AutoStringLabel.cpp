#include "converter/core/AutoStringLabel.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"

#include <cstdio>

namespace {
int AutoStringCounter = 1;
}

std::string NextAutoStringLabel(unsigned long textKey, unsigned long word, const CDatabase* database)
{
    char label[64];
    do
        snprintf(label, sizeof label, "_autostring_%08lX_%08lX_%03d_", textKey, word, AutoStringCounter++);
    while (database && database->FindElement(label));
    return label;
}

std::string UnusedMadeUpName(const std::string& base, const CDatabase* database, const CZelWriter& writer)
{
    std::string name = base;
    for (int suffix = 2; (database && database->FindElement(name.c_str())) || writer.HasSymbolKey(name.c_str());
         ++suffix)
        name = base + "_" + std::to_string(suffix);
    return name;
}
