// Layout text: the editor writes a level's objects back into the .rhu source files they came
// from, as parameter blocks the converter compiles again. Objects are sorted into layout files
// by category; each object is written once per save, its embedded children before it.
#include <ctype.h>
#include <errno.h>
#include <math.h>
#include <string.h>
#include <stdint.h>
#include <stdlib.h>
#include <time.h>

#include <mg_win32.h>
#include <stdio.h>
#include <windows.h>

#include "core/containers/ZArray.h"
#include "core/file/CZFile.h"
#include "core/names/CCRC32.h"
#include "core/output/ZOutput.h"
#include "engine/object/CVeskExtraData.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/object/GObject.h"

namespace {

enum CategoryRule { RULE_LIGHTS, RULE_DESIGN_FLAG, RULE_EVERY_OBJECT };

struct LayoutCategory {
    const char* FileName;
    CategoryRule Rule;
};

const LayoutCategory kCategories[] = {
    {"LIGHTING.RHU", RULE_LIGHTS},
    {"DESIGNPARAMS.RHU", RULE_DESIGN_FLAG},
    {"LAYOUTPARAMS.RHU", RULE_EVERY_OBJECT},
};

const int kLabelBytes = 128;
char LabelText[kLabelBytes];
DWORD LabelCounter;
bool bLabelCounterStarted;

const char kAutoString[] = "_autostring";

// Six decimals, unless they would not read back as the same float (small values): then nine
// significant digits, which always do.
const char* FloatText(float number)
{
    static char text[64];
    snprintf(text, sizeof text, "%f", number);
    if (strtof(text, nullptr) != number)
        snprintf(text, sizeof text, "%.9g", number);
    return text;
}

bool MeetsRule(GObject* object, CategoryRule rule)
{
    switch (rule) {
    case RULE_LIGHTS:
        return object->IsDerivedFromClassId(CCRC32::GetCRC("GLight"));
    case RULE_DESIGN_FLAG:
        for (ClassTypeEntry* entry = object->GetClassEntry(); entry != nullptr; entry = entry->pParent)
            if ((entry->Flags & CLASS_DESIGN_PARAMS) != 0)
                return true;
        return false;
    default:
        return true;
    }
}

CVeskExtraData* ExtraDataOf(GObject* object)
{
    return object->GetLabel() != 0 ? CVeskExtraData::Find(object->GetLabel()) : nullptr;
}

// Equal but for letter case and the first character (the drive letter, P: or L:).
bool SameLayoutFile(const char* a, const char* b)
{
    return a[0] != '\0' && b[0] != '\0' && _stricmp(a + 1, b + 1) == 0;
}

bool ContainsUpper(const char* text, const char* upperPart)
{
    char upper[CZFile::kPathSize];
    size_t i = 0;
    for (; text[i] != '\0' && i + 1 < sizeof upper; ++i)
        upper[i] = static_cast<char>(toupper(static_cast<unsigned char>(text[i])));
    upper[i] = '\0';
    return strstr(upper, upperPart) != nullptr;
}

FILE* OpenText(const char* path, const char* mode)
{
    char mapped[CZFile::kPathSize * 2];
    return MgMapPath(path, mapped, sizeof mapped) < 0 ? nullptr : fopen(mapped, mode);
}

void ClearDumpMarks(GObject* object)
{
    for (GObject* child = object->pChild; child != nullptr; child = child->pNext) {
        child->LayoutDumped = 0;
        ClearDumpMarks(child);
    }
}

// The category's output: the layout file in the current level's folder in generated mode,
// else the collected file, moved from P: to L: and marked .NCO when it cannot be read.
bool ChooseOutput(const LayoutCategory& category, const char* collected, const char* level, bool generated, char* out,
                  size_t size)
{
    if (generated) {
        char folder[CZFile::kPathSize];
        snprintf(folder, sizeof folder, "%s", level);
        char* cut = strrchr(folder, '\\');
        char* slash = strrchr(folder, '/');
        if (slash > cut)
            cut = slash;
        if (cut != nullptr)
            cut[1] = '\0';
        else
            folder[0] = '\0';
        char base[CZFile::kPathSize];
        CZFile::GetPath(base, CZFile::kInDataFolder);
        snprintf(out, size, "%s%s%s", base, folder, category.FileName);
        CZFile probe;
        return probe.Open(out, CZFile::kExists | CZFile::kAsNamed) == 0;
    }
    snprintf(out, size, "%s", collected);
    if (out[0] == 'P')
        out[0] = 'L';
    if (FILE* readable = OpenText(out, "r"))
        fclose(readable);
    else
        snprintf(out + strlen(out), size - strlen(out), ".NCO");
    return true;
}

} // namespace

const char* GObject::GetTextLabel()
{
    if (CVeskExtraData* extra = ExtraDataOf(this))
        if (extra->Label() != nullptr)
            return extra->Label();
    if (!bLabelCounterStarted) {
        LabelCounter = static_cast<DWORD>(time(nullptr));
        bLabelCounterStarted = true;
    }
    snprintf(LabelText, sizeof LabelText, "%s_%08lX_%08lX", GetClassName(),
             static_cast<DWORD>(reinterpret_cast<uintptr_t>(this)), LabelCounter++);
    Label = CCRC32::GetCRC(LabelText);
    return LabelText;
}

void GObject::TextDump(FILE* file) { TextDumpAt(file, 0); }

void GObject::TextDumpAt(FILE* file, int depth)
{
    if ((pClassEntry != nullptr && (pClassEntry->Flags & CLASS_NO_LAYOUT) != 0) || Status == STATUS_DEFAULT_OBJECT ||
        LayoutDumped != 0)
        return;
    CVeskExtraData* extra = ExtraDataOf(this);
    if (extra != nullptr && extra->Dumped(CVeskExtraData::kAskDumped))
        return;
    LayoutDumped = 1;
    if (extra != nullptr)
        extra->Dumped(1);

    for (GObject* child = pChild; child != nullptr; child = child->pNext)
        child->TextDumpAt(file, depth + 1);

    char label[kLabelBytes];
    snprintf(label, sizeof label, "%s", GetTextLabel());
    if (depth == 0)
        fprintf(file, "\n\n/* === %s === */\n\nLayoutParams ", label);
    else
        fprintf(file, "EmbeddedParams ");
    fprintf(file, "%s %s\n{\n", label, GetClassName());
    if (hObject.Player() != 0)
        fprintf(file, "\tPlayer = %u;\n", hObject.Player());
    TextDumpFields(file);
    fprintf(file, "}\n\n");
}

// The value of the field's first default found, in the class's defaults and then its parents'.
bool GObject::HoldsDefault(EditableInfo* info, DWORD value)
{
    for (ClassTypeEntry* entry = pClassEntry; entry != nullptr; entry = entry->pParent)
        for (EditableFillData* record = entry->pDefaultData; record != nullptr && record->Crc != 0;
             record = record->Next())
            if (record->Crc == info->Crc) {
                DWORD stored = 0;
                memcpy(&stored, record->Data, record->Length < 4 ? record->Length : 4);
                return stored == value;
            }
    return false;
}

void GObject::TextDumpFields(FILE* file)
{
    if (pClassEntry == nullptr || pClassEntry->pEditable == nullptr)
        return;
    for (EditableInfo* info = pClassEntry->pEditable; info->Crc != 0 || info->Place != 0; ++info) {
        if (info->Size != 4 || info->Flags == 0)
            continue;
        DWORD value;
        memcpy(&value, reinterpret_cast<BYTE*>(this) + info->Place, 4);
        if (HoldsDefault(info, value))
            continue;
        switch (info->Type) {
        case EDITABLE_FLOAT: {
            float number;
            memcpy(&number, &value, 4);
            if (isfinite(number))
                fprintf(file, "\tfloat %s = %s;\n", info->Name, FloatText(number));
            break;
        }
        case EDITABLE_INT:
            fprintf(file, "\tint %s = %d;\n", info->Name, static_cast<int>(value));
            break;
        case EDITABLE_DWORD:
            fprintf(file, "\tDWORD %s = %lu;\n", info->Name, value);
            break;
        case EDITABLE_CRC32:
            fprintf(file, "\tCCRC32 %s = 0x%08lX;\n", info->Name, value);
            break;
        case EDITABLE_ZELHANDLE: {
            const HashEntry* entry = reinterpret_cast<const HashEntry*>(value);
            if (entry != nullptr && entry->label != nullptr && entry->label[0] != '\0')
                fprintf(file, "\tCZelHandle %s = %s\n", info->Name, entry->label);
            break;
        }
        case EDITABLE_POINTER:
            TextDumpPointer(file, info, reinterpret_cast<void*>(value));
            break;
        default:
            break;
        }
    }
}

void GObject::TextDumpPointer(FILE* file, EditableInfo* info, void* pointer)
{
    if (pointer == nullptr)
        return;
    if (const DWORD key = static_cast<DWORD>(CZelFixupManager::GetKey(pointer))) {
        const HashEntry* entry = CZelFixupManager::GetHashEntry(key);
        const char* label = entry != nullptr ? entry->label : nullptr;
        if (label == nullptr || label[0] == '\0')
            return;
        if (strncmp(label, kAutoString, sizeof kAutoString - 1) != 0)
            fprintf(file, "\tvoid *%s = %s;\n", info->Name, label);
        else if (static_cast<const char*>(pointer)[0] != '\0')
            fprintf(file, "\tchar *%s = \"%s\";\n", info->Name, static_cast<const char*>(pointer));
        else
            fprintf(file, "\t//WARNING: %s: Invalid ZEL string pointer\n", info->Name);
        return;
    }
    GObject* object = ObjectAt(pointer);
    if (object != nullptr && object->LayoutDumped != 0)
        fprintf(file, "\tEmbedded %s = %s;\n", info->Name, object->GetTextLabel());
}

void GObject::VeskTextSave(bool generated, const char* level)
{
    CVeskExtraData::ClearDumped();
    ClearDumpMarks(&Root);
    CZArray<const char*> files;
    CVeskExtraData::GetFiles(files);

    for (const LayoutCategory& category : kCategories) {
        const char* collected = nullptr;
        for (const char* name : files)
            if (collected == nullptr && ContainsUpper(name, category.FileName))
                collected = name;
        char output[CZFile::kPathSize * 2];
        if (collected == nullptr || !ChooseOutput(category, collected, level, generated, output, sizeof output))
            continue;

        // Written beside the layout file and put in its place once complete: a kill or a full
        // disk mid-write leaves the previous layout as it was.
        char partial[sizeof output + 8];
        snprintf(partial, sizeof partial, "%s.NEW", output);
        FILE* file = OpenText(partial, "w");
        if (file == nullptr)
            vbail("Error opening layout file\n%s\n%s", output, strerror(errno));
        fprintf(file, generated ? "\n\n// VESK GENERATED FILE, NO TYPES INFO\n\n"
                                : "\n\nTYPEINFO l:\\brimosdk\\include\\rhutypes.hxx\n\n");
        // An object goes to the file of its own extra data, else to this category's file when
        // it meets the category's rule.
        for (GObject* top = Root.pChild; top != nullptr; top = top->pNext) {
            CVeskExtraData* extra = ExtraDataOf(top);
            const char* own = extra != nullptr ? extra->FileName() : nullptr;
            const bool belongs = own != nullptr ? SameLayoutFile(own, collected) : MeetsRule(top, category.Rule);
            if (belongs)
                top->TextDump(file);
        }
        const bool written = ferror(file) == 0;
        if (fclose(file) != 0 || !written ||
            !MoveFileExA(partial, output, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const int error = errno;
            char mapped[CZFile::kPathSize * 2];
            if (MgMapPath(partial, mapped, sizeof mapped) >= 0)
                remove(mapped);
            vbail("Error writing layout file\n%s\n%s", output, strerror(error));
        }
    }
}
