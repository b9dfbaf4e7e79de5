#pragma once

#include <memory>
#include <string>
#include <vector>

// One expression of a rule, as written in a grammar source.
struct GrammarExpr {
    enum Kind {
        Ref,       // a rule or a predefined symbol by name
        Literal,   // "text"
        CharRange, // 'a'..'z'
        Sequence,  // items one after another
        Choice,    // a | b, first match wins, later alternatives on backtracking
        Optional,  // [ x ]
        Repeat,    // { x } or { x / sep }, and @repeat(min, max, x / sep)
        Empty,     // <empty>
        Token,     // @token(x): no whitespace inside
        Spaces,    // @spaces("chars", x) or @spaces(Rule, x)
        SkipTo,    // @skipto(x), @skipto()
        NotTerm,   // @not(x)
        NotChar,   // @notchar(x)
        Except,    // x except y
        Position,  // @eof, @bol, @eol
        Length,    // @length(min, max, x)
        Error,     // @error("message", x)
        Words,     // @words("a", "b", ...)
    };

    Kind kind = Empty;
    std::string text;               // name, literal text, space characters or message
    std::vector<std::string> words; // @words entries
    int low = 0, high = 0;          // character range; repetition or length bounds
    bool spaceIsRule = false;
    std::vector<std::unique_ptr<GrammarExpr>> items;
    int line = 0, column = 0;
};

struct GrammarRule {
    std::string name;
    long flags = 0;
    std::unique_ptr<GrammarExpr> body;
    int line = 0, column = 0;
};

struct GrammarSource {
    std::string path;
    std::string name;
    std::string start;
    std::string version;
    long attributes = 0;
    bool hasAttributes = false;
    bool hasSpace = false;
    bool spaceIsRule = false;
    std::string space; // characters or a rule name
    std::string token; // rule name, empty for none
    std::vector<GrammarRule> rules;
    int line = 0;
};

struct GrammarDiagnostic {
    long code;
    int line, column;
    std::string message;
};

// Reads a grammar source text. On failure returns false with one diagnostic per problem.
bool ParseGrammarSource(const std::string& path, const std::string& text, GrammarSource& out,
                        std::vector<GrammarDiagnostic>& diagnostics);

// Maps an annotation such as "flat", "no node" or "nocase" to its attribute flags (0 if unknown).
long GrammarAnnotationFlags(const std::string& annotation);
