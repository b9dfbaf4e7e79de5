// The façade's one-call parse and the posting of error nodes recorded in a tree.
#include "qvrn/QuorvaneAPI.h"

#include "qvrn/InputStream.h"
#include "qvrn/ParseTree.h"
#include "qvrn/ParserImp.h"
#include "qvrn/QVError.h"

#include <cstdlib>

QVParseTree* QuorvaneAPI::Parse(QVGrammar* grammar, const char* startName, QVInputStream* stream, unsigned long flags)
{
    Clear();
    if (!grammar || !stream)
        return nullptr;
    ParserImp* parser = ParserImp::CreateNew(this);
    if (!parser)
        return nullptr;
    QVParseTree* tree = parser->Run(grammar, startName, stream, flags);
    ParserImp::Delete(parser);
    return tree;
}

QVParseTree* QuorvaneAPI::Parse(QVGrammar* grammar, const char* startName, const char* text, long length,
                                unsigned long flags)
{
    QVInputStream* stream = OpenBufferStream(text, length);
    if (!stream)
        return nullptr;
    QVParseTree* tree = Parse(grammar, startName, stream, flags);
    if (tree)
        static_cast<ParseTreeImp*>(tree)->SetOwnsStream(true);
    else
        delete stream;
    return tree;
}

void QuorvaneAPI::DeleteParseTree(QVParseTree* tree) { delete tree; }

long QuorvaneAPI::PostTreeErrors(QVParseTree* parseTree, QVGrammar* grammar)
{
    ParseTreeImp* tree = static_cast<ParseTreeImp*>(parseTree);
    if (!tree || !grammar)
        return 0;
    if (tree->Count() <= 2)
        return 1;
    for (long node = 1; node < tree->Count(); ++node) {
        if (!tree->IsErrorNode(node))
            continue;
        auto child = [&](const char* name) { return tree->FindNode(name, node); };
        long codeNode = child("ErrorCode");
        long severityNode = child("Severity");
        long code = codeNode ? tree->GetNodeTextAsLong(codeNode) : kQVUserParseError;
        long severity = severityNode ? tree->GetNodeTextAsLong(severityNode) : 0;
        QVError* error = severity > 2 ? PostWarning(code) : ThrowError(code);
        if (!error)
            continue;
        error->SetIntAttribute("Severity", severity);
        for (const char* name : {"StartPos", "NumChars", "ConstraintID", "NodeID", "StepNumber"}) {
            long found = child(name);
            if (found)
                error->SetIntAttribute(name, tree->GetNodeTextAsLong(found));
        }
        for (const char* name : {"Description", "Expecting"}) {
            long found = child(name);
            if (found) {
                char text[2048];
                tree->GetNodeText(found, text, sizeof text - 1);
                text[sizeof text - 1] = 0;
                error->SetTextAttribute(name, text);
            }
        }
    }
    return 1;
}
