#pragma once
// Strings that statements create on the spot ("char *" fields, quoted event texts) are labelled
// from the name key of their text and a counter that runs over the whole conversion, so that
// equal texts in different statements never collide.
#include <string>

class CDatabase;
class CZelWriter;

// "_autostring_%08X_%08X_%03d_" of the key, the word and the next count (the first is 1). A
// label whose name key an element of the database already holds is passed over for the next.
std::string NextAutoStringLabel(unsigned long textKey, unsigned long word, const CDatabase* database);

// A name the converter makes up (a diagnostic label, an editor record) that takes no key an
// element of the database or a symbol of the writer holds: the base, else the base with "_2",
// "_3", ... appended. Names a script author wrote keep theirs; made-up ones make way.
std::string UnusedMadeUpName(const std::string& base, const CDatabase* database, const CZelWriter& writer);
