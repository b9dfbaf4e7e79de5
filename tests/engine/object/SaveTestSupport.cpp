#include "SaveTestSupport.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/names/CCRC32.h"
#include "engine/object/CLoadSaveBuffer.h"

int GSaveProbe::BlockingPipe = -1;

IMPLEMENT_GOBJECT(GSaveProbe, 0x88008000)
IMPLEMENT_GOBJECT(GSaveChild, 0x80008000)
IMPLEMENT_GOBJECT(GUnsavedChild, 0x84008000)
IMPLEMENT_GOBJECT(GLevelOnly, 0x80008000)
IMPLEMENT_GOBJECT(GSaveBulk, 0x88008000)

int GSaveProbe::SpecifyEditable(EditableInfo*& cursor)
{
    int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "Flag", "bool", Flag);
    AddEditable(cursor, "Odd", "bool", Odd);
    AddEditable(cursor, "Speed", "float", Speed);
    AddEditable(cursor, "Count", "int", Count);
    AddEditable(cursor, "Bits", "DWORD", Bits);
    AddEditable(cursor, "Key", "CCRC32", Key);
    AddEditable(cursor, "Thing", "CZelHandle", Thing);
    AddEditable(cursor, "pSymbol", "void *", pSymbol);
    AddEditable(cursor, "pFriend", "GSaveProbe *", pFriend);
    AddEditable(cursor, "pChild", "GObject *", pChild);
    AddEditable(cursor, "pList", "GObject *", pList);
    AddEditable(cursor, "Table", "int", Table);
    return count + 12;
}

void GSaveProbe::SaveEx(CLoadSaveBuffer& stream)
{
    stream.Write(Extra);
    if (BlockingPipe >= 0 && Label == CCRC32::GetCRC("Beta")) {
        const char note = 'x';
        if (write(BlockingPipe, &note, 1) == 1)
            for (;;)
                pause();
    }
}

void GSaveProbe::LoadEx(CLoadSaveBuffer& stream) { stream.Read(Extra); }

int GSaveChild::SpecifyEditable(EditableInfo*& cursor)
{
    int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "Count", "int", Count);
    return count + 1;
}

int GSaveBulk::SpecifyEditable(EditableInfo*& cursor)
{
    int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "Noise", "int", Noise);
    return count + 1;
}

namespace {

GObject* FindAt(GObject* under, const void* address)
{
    for (GObject* child = under->pChild; child != nullptr; child = child->pNext) {
        if (child == address)
            return child;
        if (GObject* found = FindAt(child, address))
            return found;
    }
    return nullptr;
}

void DumpPointer(std::ostringstream& out, const BYTE* at)
{
    void* pointer;
    memcpy(&pointer, at, 4);
    char text[32];
    if (pointer == nullptr)
        snprintf(text, sizeof text, " null");
    else if (GObject* object = FindAt(GObject::GetRoot(), pointer))
        snprintf(text, sizeof text, " obj:%08lX", object->GetLabel());
    else if (int key = CZelFixupManager::GetKey(pointer))
        snprintf(text, sizeof text, " sym:%08X", key);
    else
        snprintf(text, sizeof text, " unknown");
    out << text;
}

void DumpObject(std::ostringstream& out, GObject* object, int depth)
{
    if ((object->GetClassEntry()->Flags & CLASS_NOT_SAVED) != 0)
        return;
    char line[96];
    snprintf(line, sizeof line, "%*s%s label %08lX handle %08lX\n", depth * 2, "", object->GetClassName(),
             object->GetLabel(), static_cast<DWORD>(object->GetHandle()));
    out << line;
    for (GObject* child = object->pChild; child != nullptr; child = child->pNext)
        DumpObject(out, child, depth + 1);
    ZPtrArray<EditableInfo, 64> fields;
    object->GetEditableInfoList(fields);
    for (EditableInfo* info : fields) {
        const BYTE* at = reinterpret_cast<const BYTE*>(object) + info->Place;
        out << std::string(depth * 2 + 2, ' ') << info->Name << " =";
        if (info->Type == EDITABLE_POINTER || info->Type == EDITABLE_POINTER_ARRAY) {
            for (DWORD i = 0; i < info->Size / 4u; ++i)
                DumpPointer(out, at + i * 4);
        } else if (info->Type == EDITABLE_ZELHANDLE) {
            const CZelHandle* handle = reinterpret_cast<const CZelHandle*>(at);
            snprintf(line, sizeof line, " key:%08lX", handle->GetKey());
            out << line;
        } else {
            for (DWORD i = 0; i < info->Size && i < 64; ++i) {
                snprintf(line, sizeof line, "%02X", at[i]);
                out << line;
            }
        }
        out << "\n";
    }
}

} // namespace

std::string DumpSavedTree()
{
    std::ostringstream out;
    for (GObject* top = GObject::GetRoot()->pChild; top != nullptr; top = top->pNext)
        if (top->GetClassEntry() != nullptr && (top->GetClassEntry()->Flags & CLASS_SAVED) != 0)
            DumpObject(out, top, 0);
    return out.str();
}

GObject* FindLabel(const char* label) { return GObject::Find(CCRC32::GetCRC(label)); }

std::string SlotPath(const char* profile, int slot)
{
    char name[64];
    snprintf(name, sizeof name, "/%08lX/%d.SAV", CCRC32::GetCRC(profile), slot);
    return ProfileRoot() + name;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

ProfileFolderLock::ProfileFolderLock()
{
    const std::string root = ProfileRoot();
    // The folder above the profiles is the lock (a lock file would stay behind after the run).
    // On a fresh checkout it does not exist yet: without it parallel test processes would share
    // the profiles unguarded.
    const std::filesystem::path lockFolder = std::filesystem::path(root).parent_path();
    std::filesystem::create_directories(lockFolder);
    m_Fd = open(lockFolder.c_str(), O_RDONLY | O_DIRECTORY);
    if (m_Fd < 0 || flock(m_Fd, LOCK_EX) != 0) {
        perror(lockFolder.c_str());
        abort();
    }
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
}

ProfileFolderLock::~ProfileFolderLock()
{
    if (m_Fd >= 0) {
        // The profiles a test made go with it; the next holder formats a fresh card.
        std::error_code ignored;
        std::filesystem::remove_all(ProfileRoot(), ignored);
        flock(m_Fd, LOCK_UN);
        close(m_Fd);
    }
}
