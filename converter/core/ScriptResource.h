#pragma once

#include <string>

// Resource types of the converter's built-in grammars and scripts.
extern const char* const GrammarResourceType;
extern const char* const ScriptResourceType;

// Copies a resource of the program's own module into bytes. The copy is NUL-terminated behind
// its size (std::string keeps a terminator), because the parser runtime reads texts up to the
// first NUL and a stored resource has none. Returns false when there is no such resource.
bool LoadResourceBytes(const char* name, const char* type, std::string& bytes);
