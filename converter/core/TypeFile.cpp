// The type file: the text form of the type database, read back by the header reader.
#include "converter/core/CTypeDatabase.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/ScriptPath.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {
const char* KindKeyword(int kind)
{
    switch (kind) {
    case CType::Class:
        return "class";
    case CType::Struct:
        return "struct";
    case CType::Union:
        return "union";
    default:
        return "Builtin";
    }
}

// The comment beside a constant shows its bits: integer kinds by value, others by their
// first four bytes.
unsigned long ConstantBits(const ZVariant& value)
{
    const char* type = value.GetTypeName();
    if (!strcmp(type, "float") || !strcmp(type, "double") || !strcmp(type, "__int64") || !strcmp(type, "string") ||
        !strcmp(type, "pointer") || !strcmp(type, "offset") || !strcmp(type, "CZelHandle") || !strcmp(type, "NoType")) {
        unsigned long bits = 0;
        memcpy(&bits, value.GetData(), 4);
        return bits;
    }
    return value;
}
} // namespace

void CMember::Save(FILE* stream) const
{
    if (IsPointer)
        fprintf(stream, "\t%s * %s", TypeName.c_str(), Name.c_str());
    else
        fprintf(stream, "\t%s %s", Type ? Type->GetName() : TypeName.c_str(), Name.c_str());
    if (Count != 1)
        fprintf(stream, "[%lu]", Count);
    if (BitWidth)
        fprintf(stream, ":%lu", BitWidth);
    if (VerboseLevel >= 2)
        fprintf(stream, ";\t// Offset = %lu, Size=%lu\n", Offset, Size);
    else
        fprintf(stream, ";\n");
}

void CType::Save(FILE* stream, bool diagnostic) const
{
    if (TypeKind == Typedef) {
        if (diagnostic)
            fprintf(stream, "%s %s %c%s;\n\n", "typedef", TargetName.c_str(), TargetIsPointer ? '*' : ' ', GetName());
        return;
    }
    if (!diagnostic && (TypeKind == Builtin || !Exported))
        return;
    fprintf(stream, "%s%s %s", KindKeyword(TypeKind), Exported ? " __rhuexport" : "", GetName());
    if (!BaseName.empty())
        fprintf(stream, " : public %s", BaseName.c_str());
    fprintf(stream, "\n{\n");
    if (HasTablePointer)
        fprintf(stream, "\tvirtual void foobar(void);\n");
    for (const std::unique_ptr<CMember>& member : Members)
        member->Save(stream);
    fprintf(stream, "};\t// Size = %lu\n\n", Size);
}

void CTypeDatabase::Save(const char* fileName) const
{
    VerbosePrintf(3, "CTypeDatabase::Save(%s)\n", fileName);
    FILE* file = fopen(ScriptPath(fileName).c_str(), "wt");
    if (!file)
        vbail("Could not open type data file\n%s: %s", fileName, strerror(errno));
    char created[128];
    const time_t now = time(nullptr);
    strftime(created, sizeof(created), "%A, %B %d, %Y at %H:%M:%S", localtime(&now));
    fprintf(file, "/*\n    RHU Type File - not 100%% C++, so don't send it through a compiler!\n");
    fprintf(file, "    File created on %s\n*/\n\n", created);
    for (int i = 0; i < Constants.GetSize(); ++i) {
        const ZVariant& value = Constants[i]->Value;
        fprintf(file, "const __rhuexport %s %s = %s; \t\t// (0x%08lX)\n", value.GetTypeName(), Constants[i]->GetName(),
                value.ToString(), ConstantBits(value));
    }
    fprintf(file, "\n\n");
    for (int i = 0; i < GetSize(); ++i)
        (*this)[i]->Save(file);
    // A type file cut short would be read back as a smaller database without complaint.
    const bool failed = ferror(file) != 0;
    if (fclose(file) != 0 || failed)
        vbail("Could not write type data file\n%s: %s", fileName, strerror(errno));
}
