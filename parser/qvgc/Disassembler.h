#pragma once

#include <string>

class Context;

// A readable listing of a compiled grammar: header words, contexts, names, inheritance lists
// and every instruction reachable from a context, by offset. The creation time is left out so
// that listings of the same grammar compare equal.
std::string DisassembleGrammar(const Context& image);
