#include "converter/core/CdbBinthing.h"

#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ScriptPath.h"
#include "converter/core/ZVariant.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const unsigned long BinaryAlignment = 16;

// Reads a whole file; any failure ends the conversion naming the file.
std::vector<unsigned char> BinaryBuffer(const std::string& path)
{
    FILE* file = OpenScriptFile(path.c_str(), "rb");
    if (!file)
        vbail("Could not open!\n%s", (path + ": " + strerror(errno)).c_str());
    std::vector<unsigned char> bytes;
    long size = -1;
    if (fseek(file, 0, SEEK_END) == 0)
        size = ftell(file);
    if (size < 0 || fseek(file, 0, SEEK_SET) != 0) {
        fclose(file);
        vbail("Error!\n%s", (path + ": " + strerror(errno)).c_str());
    }
    bytes.resize(static_cast<size_t>(size));
    const size_t read = bytes.empty() ? 0 : fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = read != bytes.size() || ferror(file);
    fclose(file);
    if (failed)
        vbail("Error!\n%s", (path + ": read failed").c_str());
    return bytes;
}

} // namespace

CdbBinthing::CdbBinthing(const char* label, CDatabase* database) : CdbElement(label, database) {}

void CdbBinthing::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "\nCdbBinary::Dump() : %s\n", GetName());
    CType* type = TypeDatabase.FindType("CZelBinary", true);
    const std::vector<unsigned char> bytes = BinaryBuffer(m_Path);
    type->Begin(writer, GetName(), true, BinaryAlignment);
    ZVariant length;
    length.Set("signed long", std::to_string(bytes.size()).c_str());
    type->Dump(writer, "Length", length, false, nullptr);
    writer.WriteData(bytes.data(), static_cast<unsigned long>(bytes.size()), 1, "Raw binary data");
}
