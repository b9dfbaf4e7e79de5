#include "converter/core/CdbString.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/core/ScriptPath.h"
#include "converter/core/TranslationDatabase.h"

#include <afx.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const size_t MaxTextFileBytes = 65536;

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string Unescape(const char* written)
{
    std::string text = written;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    ReplaceAll(text, "\r\n", "");
    ReplaceAll(text, "\\n", "\n");
    ReplaceAll(text, "\\a", "\a");
    ReplaceAll(text, "\\v", "\v");
    ReplaceAll(text, "\x85", "...");
    return text;
}

} // namespace

CdbString::CdbString(const char* label, CDatabase* database) : CdbElement(label, database) {}

void CdbString::SetText(const char* text, bool isPublic, int segment, bool raw, bool translate)
{
    GetDatabase()->AddDependency("$(TRANSFILE)");
    m_Public = isPublic ? 1 : 0;
    m_Segment = segment;
    std::string value = raw ? std::string(text) : Unescape(text);
    if (translate && CTranslationDatabase::Current())
        value = CTranslationDatabase::Current()->Translate(value.c_str());
    m_Value.SetString(value.c_str());
}

void CdbString::LoadFile(const char* path, bool isPublic, int segment, bool raw, bool translate)
{
    CString mapped(path);
    if (!MapTargetDrive(mapped))
        vbail("Cannot determine L:ness or P:ness of target file: %s", path);
    const std::string target = static_cast<const char*>(mapped);
    GetDatabase()->AddDependency(target.c_str());
    FILE* file = fopen(ScriptPath(target.c_str()).c_str(), "rb");
    if (!file)
        vbail("Cannot open file! \n%s\n", (target + ": " + strerror(errno)).c_str());
    std::vector<char> bytes(MaxTextFileBytes + 1, '\0');
    const size_t length = fread(bytes.data(), 1, MaxTextFileBytes, file);
    fclose(file);
    if (length >= MaxTextFileBytes)
        vbail("File %s too large\n", target.c_str());
    bytes[length] = '\0';
    SetText(bytes.data(), isPublic, segment, raw, translate);
}

void CdbString::Dump(CZelWriter& writer)
{
    VerbosePrintf(3, "  CdbString::Dump() : %s (%s) %d\n", GetName(), m_Value.ToString(), m_Public);
    writer.SelectSegment(m_Segment);
    writer.DefineSymbol(GetName(), nullptr, m_Public != 0, 0);
    m_Value.Write(writer, GetName());
    writer.SelectSegment(ZelFormat::kSegData);
}
