#include "converter/core/ParserErrors.h"

namespace {

const char* const ErrorTable[] = {
    "Syntax/Parse error.\n  %04d : %s",
    "identifier expected enclosing class,struct, or union",
    "Expected symbol named %s, didn't find it",
    "Expected type name.",
    "typedef declarations only recognized at global scope",
    "Could not load grammar definition.",
    "Expected array specifiers.",
    "undefined type: %s\n",
    "Redifinition: %s\n",
    "Could not understand: %s\n",
    "undefined command\n",
    "File not found: %s\n",
    "There may have been an error",
};

} // namespace

const char* ParserErrorText(int errorNumber)
{
    const int count = static_cast<int>(sizeof(ErrorTable) / sizeof(ErrorTable[0]));
    if (errorNumber < 0 || errorNumber >= count)
        return "%s";
    return ErrorTable[errorNumber];
}
