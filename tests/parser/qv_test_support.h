#pragma once

#include "qvrn/Grammar.h"
#include "qvrn/ParseTree.h"
#include "qvrn/QuorvaneAPI.h"

#include "../support/RunCommand.h"
#include "../support/TestScratch.h"

#include <cstdio>
#include <string>
#include <unistd.h>
#include <utility>

// Helpers shared by the parser tests: files, commands, qvgc and tree listings.
namespace qvtest {

inline std::string BinaryPath(const std::string& name) { return std::string(MG_BINARY_DIR) + "/" + name; }

inline std::string DataPath(const std::string& name) { return std::string(MG_TESTS_DIR) + "/parser/data/" + name; }

inline std::string ReadAll(const std::string& path)
{
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return text;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    fclose(file);
    return text;
}

inline void WriteAll(const std::string& path, const std::string& data)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file) {
        fwrite(data.data(), 1, data.size(), file);
        fclose(file);
    }
}

// Runs a command, returning its exit status and (in `output`) what it printed on either stream.
inline int RunCommand(const std::string& command, std::string* output = nullptr)
{
    mgtest::CommandResult run = mgtest::RunCommand(command + " 2>&1");
    if (output)
        *output = std::move(run.output);
    return run.exitCode;
}

// Compiles a grammar source under tests/parser/data with qvgc into the scratch folder.
inline std::string CompileGrammar(const std::string& source, const std::string& image)
{
    std::string out = mgtest::ScratchPath(image);
    std::string command = BinaryPath("bin/qvgc") + " " + DataPath(source) + " -o " + out;
    return RunCommand(command) == 0 ? out : std::string();
}

// One line per node, indented by depth: name, then start and length, then the text in quotes.
// Literal nodes (error attributes) show their stored text.
inline std::string DumpTree(QVParseTree* tree)
{
    std::string out;
    if (!tree)
        return "(no tree)\n";
    ParseTreeImp* imp = static_cast<ParseTreeImp*>(tree);
    for (long node = 1; node < imp->Count(); ++node) {
        char name[256];
        long length = tree->GetNodeLength(node);
        std::string text(length > 0 ? length : 0, '\0');
        long written = 0;
        if (length > 0)
            imp->CopyNodeText(node, &text[0], length, written);
        out += std::string(2 * tree->GetDepth(node), ' ') + tree->GetNodeName(node, name, sizeof name) + " " +
               std::to_string(tree->GetNodeStart(node)) + " " + std::to_string(length) + " \"" + text + "\"\n";
    }
    return out;
}

// Compiles grammar source text with qvgc and loads the image; null when either step fails.
inline QVGrammar* CompileAndLoad(QuorvaneAPI& api, const std::string& source, const std::string& tag)
{
    std::string sourcePath = mgtest::ScratchPath(tag + ".qvg");
    std::string imagePath = mgtest::ScratchPath(tag + ".gmr");
    WriteAll(sourcePath, source);
    std::string output;
    if (RunCommand(BinaryPath("bin/qvgc") + " " + sourcePath + " -o " + imagePath, &output) != 0) {
        fprintf(stderr, "%s", output.c_str());
        return nullptr;
    }
    std::string image = ReadAll(imagePath);
    return api.LoadGrammarFromBuffer(image.data(), static_cast<long>(image.size()));
}

} // namespace qvtest
