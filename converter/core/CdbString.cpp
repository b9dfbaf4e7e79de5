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
// The longest text a string keeps: the converter's text buffer, which shows every value, holds
// no more.
const size_t MaxStringChars = 65535;

// One pass over the text: each escape is replaced where it stands, so the cost grows with the
// text's length alone. Line breaks written into the script are dropped; "\\n", "\\a" and "\\v"
// become their characters and the one-character ellipsis becomes three dots.
std::string Unescape(const char* written)
{
    std::string joined = written;
    if (joined.size() >= 2 && joined.front() == '"' && joined.back() == '"')
        joined = joined.substr(1, joined.size() - 2);
    // Line breaks go first: an escape may stand on both sides of one.
    size_t kept = 0;
    for (size_t at = 0; at < joined.size(); ++at) {
        if (joined[at] == '\r' && at + 1 < joined.size() && joined[at + 1] == '\n')
            ++at;
        else
            joined[kept++] = joined[at];
    }
    joined.resize(kept);
    const char* end = joined.data() + joined.size();
    std::string text;
    text.reserve(joined.size());
    for (const char* at = joined.data(); at < end; ++at) {
        if (at[0] == '\\' && at + 1 < end && (at[1] == 'n' || at[1] == 'a' || at[1] == 'v')) {
            text += at[1] == 'n' ? '\n' : at[1] == 'a' ? '\a' : '\v';
            ++at;
        } else if (at[0] == '\x85') {
            text += "...";
        } else {
            text += at[0];
        }
    }
    return text;
}

} // namespace

CdbString::CdbString(const char* label, CDatabase* database) : CdbElement(label, database) {}

void CdbString::SetText(const char* text, bool isPublic, int segment, bool raw, bool translate)
{
    GetDatabase()->AddDependency("$(TRANSFILE)");
    m_Public = isPublic ? 1 : 0;
    m_Segment = segment;
    // Unescaping at most halves a text (quotes aside): a longer one cannot fit, and is refused
    // before any work is spent on it.
    if (strlen(text) > 2 * MaxStringChars + 2)
        vbail("String %s is longer than %lu characters\n", GetName(), static_cast<unsigned long>(MaxStringChars));
    std::string value = raw ? std::string(text) : Unescape(text);
    if (translate && CTranslationDatabase::Current())
        value = CTranslationDatabase::Current()->Translate(value.c_str());
    if (value.size() > MaxStringChars)
        vbail("String %s is longer than %lu characters\n", GetName(), static_cast<unsigned long>(MaxStringChars));
    m_Value.SetString(value.c_str());
}

void CdbString::LoadFile(const char* path, bool isPublic, int segment, bool raw, bool translate)
{
    CString mapped(path);
    if (!MapTargetDrive(mapped))
        vbail("Cannot determine L:ness or P:ness of target file: %s", path);
    const std::string target = static_cast<const char*>(mapped);
    GetDatabase()->AddDependency(target.c_str());
    FILE* file = OpenScriptFile(target.c_str(), "rb");
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
