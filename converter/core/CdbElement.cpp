#include "converter/core/CdbElement.h"

#include "converter/core/CDatabase.h"
#include "converter/core/ConsoleOutput.h"

#include "core/names/CCRC32.h"
#include "core/riff/CZRiffFile.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct UdbFactoryEntry {
    unsigned long TypeId;
    CdbElement::CreateFunction Create;
    std::string ClassName;
};

// Built on first registration: saveable classes register from static initialisers.
std::vector<UdbFactoryEntry>& Factories()
{
    static std::vector<UdbFactoryEntry> factories;
    return factories;
}

const UdbFactoryEntry* FindFactory(unsigned long typeId)
{
    for (const UdbFactoryEntry& entry : Factories())
        if (entry.TypeId == typeId)
            return &entry;
    return nullptr;
}

const int MaxLabel = 256;

} // namespace

CdbElement::CdbElement()
{
    vbail("Cannot construct database elements without a label.\nCall CdbElement(label) instead");
}

CdbElement::CdbElement(const char* label, CDatabase* database) : CNamedArrayElement(label), Database(database)
{
    if (const CdbElement* existing = label ? database->Find(GetKey()) : nullptr) {
        if (strcmp(existing->GetLabel(), label) == 0)
            vbail("Database element named %s already exists - all database elements must be uniquely labelled", label);
        // Elements are found by the key of their label alone: two labels of one key cannot both be kept.
        vbail("Database elements %s and %s share the name key 0x%08lX: rename one of them\n", existing->GetLabel(),
              label, GetKey());
    }
    database->Add(this);
}

CdbElement::~CdbElement()
{
    if (Database)
        Database->Detach(this);
}

void CdbElement::Diagnostic() { printf("    CdbElement : %s\n", GetLabel()); }

void CdbElement::Dump(CZelWriter&) { VerbosePrintf(1, "Baseclass CdbElement::Dump() called, that's not normal\n"); }

bool CdbElement::Save(CZRiffFile& file, int) { return file.WriteString(GetLabel()); }

bool CdbElement::Load(CZRiffFile& file, int)
{
    char label[MaxLabel + 1] = {};
    if (file.ReadString(MaxLabel, label))
        return true;
    SetName(label);
    return false;
}

unsigned long CdbElement::RegisterFactory(const char* className, CreateFunction create)
{
    const unsigned long typeId = CCRC32::GetCRC(className);
    Factories().push_back({typeId, create, className});
    return typeId;
}

CdbElement* CdbElement::CreateElement(unsigned long typeId, const char* label, CDatabase* database)
{
    const UdbFactoryEntry* entry = FindFactory(typeId);
    if (!entry)
        vbail("Cannot find factory create function for dbElement %08lX\n", typeId);
    return entry->Create(label, database);
}

const char* CdbElement::GetClassName(const CdbElement* element)
{
    const unsigned long typeId = element ? element->GetTypeId() : 0;
    const UdbFactoryEntry* entry = typeId ? FindFactory(typeId) : nullptr;
    return entry ? entry->ClassName.c_str() : nullptr;
}
