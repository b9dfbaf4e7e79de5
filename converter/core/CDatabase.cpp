#include "converter/core/CDatabase.h"

#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"

#include "core/names/CCRC32.h"
#include "core/riff/CZRiffFile.h"
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

CDatabase* CDatabase::pThe = nullptr;

namespace {
const char* const TempLabel = "__TempLabelForLoading__";
const unsigned long ElementChunk = MAKEFOURCC('d', 'b', 'e', 'l');
const int MaxClassName = 32;
} // namespace

CDatabase::CDatabase() : ZSearchPtrArray<CdbElement>(512), AxisFormat("East,South,Up", 1, "XYZ")
{
    PixelFormats[1].AlphaKind = 1;
    PixelFormats[2].AlphaKind = 2;
    pThe = this;
}

CDatabase::~CDatabase()
{
    RemoveAll();
    if (pThe == this)
        pThe = nullptr;
}

CdbElement* CDatabase::FindElement(const char* label) const { return Find(CCRC32::GetCRC(label)); }

void CDatabase::Dump(CZelWriter& writer, bool destroy)
{
    VerbosePrintf(2, "CDatabase::Dump()\n");
    for (int i = 0; i < GetSize(); ++i) {
        if (i % 32 == 0)
            VerbosePrintf(1, "\r%20.20s", Items[i]->GetLabel());
        Items[i]->Dump(writer);
    }
    if (destroy)
        RemoveAll();
}

void CDatabase::DumpToFile(const char* fileName, bool destroy)
{
    CZelWriter writer;
    writer.Open(fileName);
    Dump(writer, destroy);
    writer.Finish();
}

void CDatabase::Diagnostic()
{
    printf("\nCDatabase::Diagnostic()\n");
    for (CdbElement* element : Items)
        element->Diagnostic();
}

bool CDatabase::AddDependency(const char* fileName)
{
    if (!DependencyReport)
        return false;
    if (!fileName)
        return true;
    for (const std::string& known : InputFiles)
        if (known == fileName)
            return true;
    InputFiles.push_back(fileName);
    return true;
}

void CDatabase::WriteDependencyReport(const char* path)
{
    if (!DependencyReport)
        return;
    VerbosePrintf(1, "\nRHU: Generating DAMM report\n");
    FILE* report = fopen(path, "w");
    if (!report)
        vbail("Could not open file!\n%s: %s", path, strerror(errno));
    bool failed = false;
    for (const std::string& name : InputFiles)
        failed |= fprintf(report, "%s\n", name.c_str()) < 0;
    if (fclose(report) != 0 || failed)
        vbail("Could not write file!\n%s: %s", path, strerror(errno));
}

void CDatabase::MoveElement(CdbElement* element, CdbElement* before)
{
    int from = IndexOf(element);
    const int to = IndexOf(before);
    if (from <= to)
        return;
    while (from > 0 && from != to) {
        std::swap(Items[from], Items[from - 1]);
        --from;
    }
    if (from != to)
        vbail("Assumed we could move db element, but couldn't.\nInternal tool error: See mq");
}

void CDatabase::RemoveAll()
{
    InputFiles.clear();
    std::vector<CdbElement*> items;
    items.swap(Items);
    for (CdbElement* element : items)
        delete element;
}

bool CDatabase::Save(CZRiffFile& file, int formatVersion)
{
    VerbosePrintf(2, "CDatabase::Save()\n");
    for (CdbElement* element : Items) {
        const unsigned long typeId = element->GetTypeId();
        if (!typeId)
            continue;
        file.Descend(ElementChunk, 0, false);
        file.Write(&typeId, 4);
        const char* className = CdbElement::GetClassName(element);
        file.WriteString(className ? className : "");
        if (formatVersion >= 4) {
            const unsigned long version = element->GetVersion();
            file.Write(&version, 4);
        }
        element->Save(file, formatVersion);
        file.Ascend();
    }
    return false;
}

bool CDatabase::LoadElements(CZRiffFile& file, int formatVersion)
{
    while (file.Descend(ElementChunk, 0, true)) {
        unsigned long typeId = 0;
        char className[MaxClassName + 1] = {};
        file.Read(&typeId, 4, file.IsBigEndian());
        file.ReadString(MaxClassName, className);
        CdbElement* element = CdbElement::CreateElement(typeId, TempLabel, this);
        // Files of formats before 4 store no element version: 0 stands for "unknown".
        unsigned long version = 0;
        if (formatVersion >= 4)
            file.Read(&version, 4, file.IsBigEndian());
        if (element->Load(file, static_cast<int>(version)))
            vbail("Damaged element chunk: cannot read the %s element of type %08lX\n", className, typeId);
        file.Ascend();
    }
    return false;
}
