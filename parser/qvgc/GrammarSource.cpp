#include "GrammarSource.h"

#include "qvrn/Instructions.h"
#include "qvrn/Scanners.h"
#include "qvrn/QVError.h"

#include <cctype>
#include <map>

namespace {

struct Token {
    enum Type { End, Name, String, Char, Punct, EmptyWord } type = End;
    std::string text;
    int line = 1, column = 1;
};

// Splits the source into names, "strings", 'chars', <empty> and punctuation; skips blanks
// and // and /* */ comments.
class Lexer {
public:
    Lexer(const std::string& text, std::vector<GrammarDiagnostic>& diagnostics) : text_(text), diagnostics_(diagnostics)
    {
    }

    Token Next()
    {
        SkipBlank();
        Token token;
        token.line = line_;
        token.column = column_;
        if (pos_ >= text_.size())
            return token;
        char c = text_[pos_];
        if (isalnum(static_cast<unsigned char>(c)) || c == '_') {
            token.type = Token::Name;
            while (pos_ < text_.size() && (isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
                token.text += Take();
        } else if (c == '"' || c == '\'') {
            token.type = c == '"' ? Token::String : Token::Char;
            token.text = Quoted(c);
        } else if (text_.compare(pos_, 7, "<empty>") == 0) {
            token.type = Token::EmptyWord;
            for (int i = 0; i < 7; ++i)
                Take();
        } else if (text_.compare(pos_, 2, "..") == 0) {
            token.type = Token::Punct;
            token.text = "..";
            Take();
            Take();
        } else {
            token.type = Token::Punct;
            token.text = std::string(1, Take());
        }
        return token;
    }

private:
    char Take()
    {
        char c = text_[pos_++];
        if (c == '\n') {
            ++line_;
            column_ = 1;
        } else {
            ++column_;
        }
        return c;
    }

    void SkipBlank()
    {
        while (pos_ < text_.size()) {
            if (isspace(static_cast<unsigned char>(text_[pos_]))) {
                Take();
            } else if (text_.compare(pos_, 2, "//") == 0) {
                while (pos_ < text_.size() && text_[pos_] != '\n')
                    Take();
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                while (pos_ < text_.size() && text_.compare(pos_, 2, "*/") != 0)
                    Take();
                if (pos_ < text_.size()) {
                    Take();
                    Take();
                }
            } else {
                return;
            }
        }
    }

    // The text between the quotes, escapes translated as in the runtime's literal form.
    std::string Quoted(char quote)
    {
        int line = line_, column = column_;
        std::string raw(1, '"');
        Take();
        while (pos_ < text_.size() && text_[pos_] != quote && text_[pos_] != '\n') {
            if (text_[pos_] == '\\' && pos_ + 1 < text_.size())
                raw += Take();
            raw += Take();
        }
        if (pos_ >= text_.size() || text_[pos_] != quote) {
            diagnostics_.push_back({kQVGrammarParseFailed, line, column, "missing closing quote"});
            return std::string();
        }
        Take();
        if (quote == '\'') {
            // A ' inside '...' needs no escape in the runtime's form; a " does.
            std::string escaped;
            for (size_t i = 1; i < raw.size(); ++i)
                escaped += raw[i] == '"' && raw[i - 1] != '\\' ? std::string("\\\"") : std::string(1, raw[i]);
            raw = "\"" + escaped;
        }
        raw += '"';
        std::vector<char> out(raw.size() + 1);
        long n = TranslateLiteralExp(raw.c_str(), out.data(), static_cast<long>(out.size()));
        if (n == 0 && raw != "\"\"") {
            diagnostics_.push_back({kQVGrammarParseFailed, line, column, "bad escape in quoted text"});
            return std::string();
        }
        return std::string(out.data(), n);
    }

    const std::string& text_;
    std::vector<GrammarDiagnostic>& diagnostics_;
    size_t pos_ = 0;
    int line_ = 1, column_ = 1;
};

class Parser {
public:
    Parser(const std::string& text, GrammarSource& out, std::vector<GrammarDiagnostic>& diagnostics)
        : lexer_(text, diagnostics), out_(out), diagnostics_(diagnostics)
    {
        Advance();
    }

    bool Run()
    {
        while (token_.type != Token::End && diagnostics_.empty())
            Statement();
        if (diagnostics_.empty() && out_.name.empty())
            Fail("the source must begin with: grammar NAME ;");
        return diagnostics_.empty();
    }

private:
    void Advance() { token_ = lexer_.Next(); }

    bool IsPunct(const char* p) const { return token_.type == Token::Punct && token_.text == p; }
    bool IsWord(const char* w) const { return token_.type == Token::Name && token_.text == w; }

    void Fail(const std::string& message)
    {
        if (diagnostics_.empty())
            diagnostics_.push_back({kQVGrammarParseFailed, token_.line, token_.column, message});
        token_.type = Token::End;
    }

    void Expect(const char* punct)
    {
        if (IsPunct(punct))
            Advance();
        else
            Fail(std::string("expected '") + punct + "'");
    }

    // The text of the current token when it is of the given type, which moves past it.
    std::string Take(Token::Type type, const char* what)
    {
        if (token_.type != type) {
            Fail(std::string("expected ") + what);
            return std::string();
        }
        std::string text = token_.text;
        Advance();
        return text;
    }

    std::string TakeName(const char* what) { return Take(Token::Name, what); }
    std::string TakeString(const char* what) { return Take(Token::String, what); }

    void Statement()
    {
        if (IsWord("grammar")) {
            Advance();
            out_.line = token_.line;
            out_.name = TakeName("the grammar name");
        } else if (IsWord("start")) {
            Advance();
            out_.start = TakeName("the start rule");
        } else if (IsWord("version")) {
            Advance();
            out_.version = TakeString("the version text");
        } else if (IsWord("attributes")) {
            Advance();
            out_.hasAttributes = true;
            out_.attributes = Annotations(";");
            return Expect(";");
        } else if (IsWord("space")) {
            Advance();
            out_.hasSpace = true;
            out_.spaceIsRule = token_.type == Token::Name;
            out_.space = out_.spaceIsRule ? TakeName("") : TakeString("space characters or a rule");
        } else if (IsWord("token")) {
            Advance();
            out_.token = TakeName("the token rule");
        } else if (out_.name.empty()) {
            return Fail("the source must begin with: grammar NAME ;");
        } else {
            return Rule();
        }
        Expect(";");
    }

    // A comma-separated list of annotation words up to `end`, e.g. "flat", "no node".
    long Annotations(const char* end)
    {
        long flags = 0;
        while (token_.type == Token::Name) {
            std::string words;
            while (token_.type == Token::Name) {
                words += (words.empty() ? "" : " ") + token_.text;
                Advance();
            }
            long bits = GrammarAnnotationFlags(words);
            if (!bits)
                Fail("unknown annotation '" + words + "'");
            flags |= bits;
            if (!IsPunct(","))
                break;
            Advance();
        }
        if (!IsPunct(end))
            Fail(std::string("expected '") + end + "' after the annotations");
        return flags;
    }

    void Rule()
    {
        GrammarRule rule;
        rule.line = token_.line;
        rule.column = token_.column;
        rule.name = TakeName("a rule name");
        if (IsPunct("(")) {
            Advance();
            rule.flags = Annotations(")");
            Expect(")");
        }
        Expect("=");
        rule.body = Choice();
        Expect(";");
        out_.rules.push_back(std::move(rule));
    }

    std::unique_ptr<GrammarExpr> Make(GrammarExpr::Kind kind)
    {
        auto expr = std::make_unique<GrammarExpr>();
        expr->kind = kind;
        expr->line = token_.line;
        expr->column = token_.column;
        return expr;
    }

    bool EndsSequence() const
    {
        return token_.type == Token::End ||
               (token_.type == Token::Punct &&
                (token_.text == "|" || token_.text == "]" || token_.text == "}" || token_.text == ")" ||
                 token_.text == "/" || token_.text == ";" || token_.text == ","));
    }

    std::unique_ptr<GrammarExpr> Choice()
    {
        auto first = Sequence();
        if (!IsPunct("|"))
            return first;
        auto choice = Make(GrammarExpr::Choice);
        choice->line = first->line;
        choice->column = first->column;
        choice->items.push_back(std::move(first));
        while (IsPunct("|")) {
            Advance();
            choice->items.push_back(Sequence());
        }
        return choice;
    }

    std::unique_ptr<GrammarExpr> Sequence()
    {
        auto sequence = Make(GrammarExpr::Sequence);
        while (!EndsSequence())
            sequence->items.push_back(Item());
        if (sequence->items.empty())
            Fail("expected an expression");
        if (sequence->items.size() == 1)
            return std::move(sequence->items[0]);
        return sequence;
    }

    std::unique_ptr<GrammarExpr> Item()
    {
        auto primary = Primary();
        if (!IsWord("except"))
            return primary;
        auto except = Make(GrammarExpr::Except);
        Advance();
        except->items.push_back(std::move(primary));
        except->items.push_back(Primary());
        return except;
    }

    int TakeNumber()
    {
        bool negative = IsPunct("-");
        if (negative)
            Advance();
        if (token_.type != Token::Name || !isdigit(static_cast<unsigned char>(token_.text[0]))) {
            Fail("expected a number");
            return 0;
        }
        int value = atoi(token_.text.c_str());
        Advance();
        return negative ? -value : value;
    }

    std::unique_ptr<GrammarExpr> Primary()
    {
        if (token_.type == Token::Name && token_.text == "except")
            Fail("'except' needs an expression before it");
        if (token_.type == Token::Name) {
            auto ref = Make(GrammarExpr::Ref);
            ref->text = TakeName("a name");
            return ref;
        }
        if (token_.type == Token::String) {
            auto literal = Make(GrammarExpr::Literal);
            literal->text = TakeString("");
            return literal;
        }
        if (token_.type == Token::Char)
            return Range();
        if (token_.type == Token::EmptyWord) {
            auto empty = Make(GrammarExpr::Empty);
            Advance();
            return empty;
        }
        if (IsPunct("["))
            return Enclosed(GrammarExpr::Optional, "]");
        if (IsPunct("{"))
            return Braces();
        if (IsPunct("(")) {
            Advance();
            auto inner = Choice();
            Expect(")");
            return inner;
        }
        if (IsPunct("@"))
            return Function();
        Fail("unexpected '" + token_.text + "'");
        return Make(GrammarExpr::Empty);
    }

    std::unique_ptr<GrammarExpr> Range()
    {
        auto range = Make(GrammarExpr::CharRange);
        if (token_.text.size() != 1)
            Fail("a character in single quotes must be one character");
        range->low = range->high = static_cast<unsigned char>(token_.text.empty() ? 0 : token_.text[0]);
        Advance();
        if (IsPunct("..")) {
            Advance();
            if (token_.type != Token::Char || token_.text.size() != 1)
                return Fail("expected a character after '..'"), std::move(range);
            range->high = static_cast<unsigned char>(token_.text[0]);
            Advance();
        }
        return range;
    }

    std::unique_ptr<GrammarExpr> Enclosed(GrammarExpr::Kind kind, const char* close)
    {
        auto expr = Make(kind);
        Advance();
        expr->items.push_back(Choice());
        Expect(close);
        return expr;
    }

    std::unique_ptr<GrammarExpr> Braces()
    {
        auto repeat = Make(GrammarExpr::Repeat);
        repeat->low = 1;
        Advance();
        repeat->items.push_back(Choice());
        if (IsPunct("/")) {
            Advance();
            repeat->items.push_back(Choice());
        }
        Expect("}");
        return repeat;
    }

    std::unique_ptr<GrammarExpr> Function()
    {
        Advance();
        int line = token_.line, column = token_.column;
        std::string name = TakeName("a function name after '@'");
        std::unique_ptr<GrammarExpr> expr;
        if (name == "eof" || name == "bol" || name == "eol" || name == "expected") {
            expr = Make(GrammarExpr::Position);
            expr->low = name == "eof"   ? QVP_END_OF_INPUT
                        : name == "bol" ? QVP_LINE_START
                        : name == "eol" ? QVP_LINE_END
                                        : QVP_EXPECTED;
        } else {
            Expect("(");
            expr = FunctionBody(name);
            Expect(")");
        }
        expr->line = line;
        expr->column = column;
        return expr;
    }

    std::unique_ptr<GrammarExpr> FunctionBody(const std::string& name)
    {
        std::unique_ptr<GrammarExpr> expr;
        if (name == "token" || name == "not" || name == "notchar") {
            expr = Make(name == "token" ? GrammarExpr::Token
                        : name == "not" ? GrammarExpr::NotTerm
                                        : GrammarExpr::NotChar);
            expr->items.push_back(Choice());
        } else if (name == "skipto") {
            expr = Make(GrammarExpr::SkipTo);
            if (!IsPunct(")"))
                expr->items.push_back(Choice());
        } else if (name == "spaces") {
            expr = Make(GrammarExpr::Spaces);
            expr->spaceIsRule = token_.type == Token::Name;
            expr->text = expr->spaceIsRule ? TakeName("") : TakeString("space characters or a rule");
            Expect(",");
            expr->items.push_back(Choice());
        } else if (name == "length" || name == "repeat") {
            expr = Make(name == "length" ? GrammarExpr::Length : GrammarExpr::Repeat);
            expr->low = TakeNumber();
            Expect(",");
            expr->high = TakeNumber();
            Expect(",");
            expr->items.push_back(Choice());
            if (name == "repeat" && IsPunct("/")) {
                Advance();
                expr->items.push_back(Choice());
            }
        } else if (name == "error") {
            expr = Make(GrammarExpr::Error);
            expr->text = TakeString("the error message");
            Expect(",");
            expr->items.push_back(Choice());
        } else if (name == "words") {
            expr = Make(GrammarExpr::Words);
            expr->words.push_back(TakeString("a word"));
            while (IsPunct(",")) {
                Advance();
                expr->words.push_back(TakeString("a word"));
            }
        } else {
            Fail("unknown function '@" + name + "'");
            expr = Make(GrammarExpr::Empty);
        }
        return expr;
    }

    Lexer lexer_;
    Token token_;
    GrammarSource& out_;
    std::vector<GrammarDiagnostic>& diagnostics_;
};

} // namespace

long GrammarAnnotationFlags(const std::string& annotation)
{
    static const std::map<std::string, long> kFlags = {
        {"flat", QVA_FLAT},
        {"no node", QVA_HIDDEN},
        {"hidden", QVA_HIDDEN},
        {"case", QVA_CASE},
        {"nocase", QVA_NOCASE},
        {"ignore case", QVA_NOCASE},
        {"literal nodes", QVA_LITERAL_NODES},
        {"no literal nodes", QVA_NO_LITERAL_NODES},
        {"repetition nodes", QVA_REPETITION_NODES},
        {"no repetition nodes", QVA_NO_REPETITION_NODES},
        {"separator nodes", QVA_KEEP_SEPARATORS},
        {"no separator nodes", QVA_DROP_SEPARATORS},
        {"backtrack", QVA_BACKTRACK},
        {"no backtrack", QVA_NO_BACKTRACK},
        {"expected terms", QVA_EXPECTED_TERMS},
        {"no expected terms", QVA_NO_EXPECTED_TERMS},
        {"outside", QVA_OUTSIDE},
    };
    auto it = kFlags.find(annotation);
    return it == kFlags.end() ? 0 : it->second;
}

bool ParseGrammarSource(const std::string& path, const std::string& text, GrammarSource& out,
                        std::vector<GrammarDiagnostic>& diagnostics)
{
    out.path = path;
    Parser parser(text, out, diagnostics);
    return parser.Run();
}
