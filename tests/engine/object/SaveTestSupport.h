#pragma once
// Game-object classes and helpers shared by the save-game tests. The test programs live in
// savedata/bin beside their data folder savedata/zel, so the profile folder is
// savedata/Profiles; test cases run as separate processes and take turns on that folder.
#include <string>

#include "ZelTestSupport.h"
#include "core/containers/ZArray.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/object/GObject.h"

class GSaveChild;

// A saved class with a field of every kind a save stores.
class GSaveProbe : public GObject {
    DECLARE_GOBJECT(GSaveProbe, GObject)

    int SpecifyEditable(EditableInfo*& cursor) override;
    void SaveEx(CLoadSaveBuffer& stream) override;
    void LoadEx(CLoadSaveBuffer& stream) override;

    bool Flag;
    bool Odd[5];
    float Speed;
    int Count;
    DWORD Bits;
    DWORD Key;
    CZelHandle Thing;
    void* pSymbol;
    GSaveProbe* pFriend;
    GObject* pChild;
    GObject* pList[3];
    int Table[3];
    int Extra; // carried by SaveEx and LoadEx only

    // Set in a child process: SaveEx tells the parent through this pipe and waits to be killed.
    static int BlockingPipe;
};

class GSaveChild : public GObject {
    DECLARE_GOBJECT(GSaveChild, GObject)

    int SpecifyEditable(EditableInfo*& cursor) override;

    int Count;
};

// Never written to a saved game.
class GUnsavedChild : public GObject {
    DECLARE_GOBJECT(GUnsavedChild, GObject)
};

// A level's scenery: not a saved class, so a load leaves the level's own objects alone.
class GLevelOnly : public GObject {
    DECLARE_GOBJECT(GLevelOnly, GObject)
};

// Holds a large array, to overfill a save slot.
class GSaveBulk : public GObject {
    DECLARE_GOBJECT(GSaveBulk, GObject)

    int SpecifyEditable(EditableInfo*& cursor) override;

    int Noise[4000];
};

// The saved part of the tree as text: every object under a saved top-level object with its
// label, handle and field values; pointers as the label of the object or the key of the symbol
// they point to.
std::string DumpSavedTree();
GObject* FindLabel(const char* label);

// Paths inside the folder of the profile manager's card (ProfileRoot).
std::string SlotPath(const char* profile, int slot);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Serialises the test processes that use the profile folder and starts each from an empty,
// formatted card.
class ProfileFolderLock {
public:
    ProfileFolderLock();
    ~ProfileFolderLock();

private:
    int m_Fd;
};
