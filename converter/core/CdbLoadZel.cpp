#include "converter/core/CdbLoadZel.h"

#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ZVariant.h"

#include <algorithm>
#include <string>

CdbLoadZel::CdbLoadZel(const char* path, CDatabase* database) : CdbElement(path, database) {}

void CdbLoadZel::Dump(CZelWriter& writer)
{
    std::string path = GetName();
    std::replace(path.begin(), path.end(), '\\', '/');
    VerbosePrintf(2, "\nCdbLoadZel::Dump() : %s\n", path.c_str());
    CType* type = TypeDatabase.FindType("CZelLoad", true);
    type->Begin(writer, path.c_str(), false, 0);
    ZVariant file;
    file.SetString(path.c_str());
    type->Dump(writer, "File", file, false, nullptr);
}
