// The TambleMap command: loads the elements a texture-sharing tool's file carries ("TMBL": a
// "path" chunk, an "Mhdr" chunk with the element-record version, and the elements in a LIST
// "dbse") into the current database, where they are written like any other element.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import2d/TambleElements.h"
#include "core/riff/CZRiffFile.h"

#include <string>

template <> unsigned long CTambleMap::TypeId = CdbElement::RegisterFactory("CTambleMap", &CTambleMap::Create);
template <>
unsigned long CTambleTexture::TypeId = CdbElement::RegisterFactory("CTambleTexture", &CTambleTexture::Create);

const char* CRhuParser::TambleMap(int node)
{
    const std::string fileName = GetChildText(node, "FileName", true);
    if (CheckTargetFile(fileName.c_str()))
        return nullptr;
    VerbosePrintf(1, "%s", fileName.c_str());
    VerbosePrintf(2, "\n");
    CZRiffFile file;
    if (!file.Open(fileName.c_str(), CZRiffFile::MakeFourCC("TMBL")))
        return "Bad RIFF open";
    // Elements before any "Mhdr" chunk are of record version 4.
    unsigned long version = 4;
    while (const ZRIFFCKINFO* chunk = file.Descend(0, 0, true)) {
        if (chunk->id == CZRiffFile::MakeFourCC("LIST") && chunk->listType == CZRiffFile::MakeFourCC("dbse")) {
            m_pDatabase->LoadElements(file, static_cast<int>(version));
        } else if (chunk->id == CZRiffFile::MakeFourCC("Mhdr")) {
            if (file.Read(&version, 4, file.IsBigEndian()))
                Error(node, "%s: damaged Mhdr chunk\n", fileName.c_str());
        }
        file.Ascend();
    }
    return nullptr;
}
