#pragma once

#include "GrammarSource.h"

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class Context;

// Turns a parsed grammar source into the contexts, names and byte code of a format-7 image.
// Refuses duplicate rules, names that differ only in case, unresolved names and left recursion.
class GrammarCompiler {
public:
    GrammarCompiler(const GrammarSource& source, Context& image, std::vector<GrammarDiagnostic>& diagnostics)
        : source_(source), image_(image), diagnostics_(diagnostics)
    {
    }

    bool Compile();

private:
    bool CheckNames();
    void CheckReferences(const GrammarExpr& expr);
    bool CheckLeftRecursion();
    bool Nullable(const GrammarExpr& expr) const;
    void LeftRules(const GrammarExpr& expr, std::vector<int>& out) const;
    void Report(long code, int line, int column, const std::string& message);

    long Emit(const GrammarExpr& expr);
    long EmitSequence(const std::vector<long>& items);
    long EmitFirstTermList(const std::vector<long>& items);
    long EmitChoice(const std::vector<long>& alternatives);
    long EmitRef(const std::string& name);
    long EmitInts(std::initializer_list<int32_t> words, const std::string& bytes = std::string());
    long EmitAttributes(long flags, long body);
    long EmitSpecials();

    // What an emitted instruction offers to the first-term lists of the sequences around it:
    // the terms it can begin with, and whether it may match nothing.
    struct Opening {
        std::vector<int32_t> terms;
        bool nullable = true;
    };
    const Opening& OpeningOf(long at);
    bool RefNullable(long at) const;

    const GrammarSource& source_;
    Context& image_;
    std::vector<GrammarDiagnostic>& diagnostics_;
    std::map<std::string, int> ruleIndex_; // lower-cased name -> rule
    std::vector<char> nullable_;
    long nullOffset_ = 0;
    std::unordered_map<long, Opening> openings_;
};
