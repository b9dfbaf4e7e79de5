// qvgc: compiles a grammar source into a compiled grammar image, or lists an image.
//
//   qvgc SOURCE -o IMAGE     compile (the image is checked by loading it back)
//   qvgc -d IMAGE            print the listing of an image

#include "Disassembler.h"
#include "GrammarCompiler.h"
#include "GrammarSource.h"

#include "qvrn/Context.h"
#include "qvrn/FileFunctions.h"
#include "qvrn/Grammar.h"
#include "qvrn/QVError.h"
#include "qvrn/QuorvaneAPI.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage()
{
    fprintf(stderr, "usage: qvgc SOURCE -o IMAGE\n       qvgc -d IMAGE\n");
    return 2;
}

bool ReadText(const char* path, std::string& text)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    fclose(file);
    return true;
}

void PrintDiagnostics(const char* path, const std::vector<GrammarDiagnostic>& diagnostics)
{
    for (const GrammarDiagnostic& d : diagnostics)
        fprintf(stderr, "%s:%d:%d: error %ld: %s: %s\n", path, d.line, d.column, d.code, QVGetErrorMessage(d.code),
                d.message.c_str());
}

// Loads the written file back through the runtime's own loaders, from the file and from memory.
bool VerifyImage(const char* path)
{
    QuorvaneAPI api;
    GrammarContext* fromFile = GrammarContext::CreateNew();
    bool ok = fromFile && fromFile->Serialize(path, 0);
    GrammarContext::Delete(fromFile);
    char* bytes = ok ? LoadFile(path) : nullptr;
    QVGrammar* grammar = bytes ? api.LoadGrammarFromBuffer(bytes, GetFileSize(path)) : nullptr;
    ok = grammar != nullptr;
    api.UnloadGrammar(grammar);
    free(bytes);
    return ok;
}

int Compile(const char* sourcePath, const char* imagePath)
{
    std::string text;
    if (!ReadText(sourcePath, text)) {
        fprintf(stderr, "%s: cannot read the grammar source\n", sourcePath);
        return 1;
    }
    GrammarSource source;
    std::vector<GrammarDiagnostic> diagnostics;
    Context* image = new Context();
    bool ok = ParseGrammarSource(sourcePath, text, source, diagnostics) &&
              GrammarCompiler(source, *image, diagnostics).Compile();
    if (!ok) {
        PrintDiagnostics(sourcePath, diagnostics);
        delete image;
        return 1;
    }
    // Written beside the target first, so a failed run never leaves half an image behind.
    std::string temporary = std::string(imagePath) + ".tmp";
    bool written = image->Serialize(temporary.c_str(), 1) && VerifyImage(temporary.c_str()) &&
                   rename(temporary.c_str(), imagePath) == 0;
    delete image;
    if (!written) {
        remove(temporary.c_str());
        fprintf(stderr, "%s: cannot write a valid grammar image\n", imagePath);
        return 1;
    }
    return 0;
}

int Disassemble(const char* imagePath)
{
    Context* image = new Context();
    QVErrorManager errors;
    image->SetErrorManager(&errors);
    if (!image->Serialize(imagePath, 0)) {
        fprintf(stderr, "%s: not a valid grammar image\n", imagePath);
        delete image;
        return 1;
    }
    fputs(DisassembleGrammar(*image).c_str(), stdout);
    delete image;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "-d") == 0)
        return Disassemble(argv[2]);
    if (argc == 4 && strcmp(argv[2], "-o") == 0)
        return Compile(argv[1], argv[3]);
    return Usage();
}
