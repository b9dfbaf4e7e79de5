#pragma once
// Object handle: low 16 bits the owning player, high 16 bits the index into the process-wide
// handle table. Objects refer to each other by handle so that a reference survives a save and
// simply stops resolving when its object is destroyed.
#include <windows.h>

class GObject;

class HGOBJECT {
public:
    // Left unset, like a plain number: objects are zero-filled and then filled from data
    // before their constructors run, and a constructor here must not undo that.
    HGOBJECT() = default;
    HGOBJECT(DWORD value) : m_Value(value) {}

    operator DWORD() const { return m_Value; }
    WORD Id() const { return static_cast<WORD>(m_Value >> 16); }
    WORD Player() const { return static_cast<WORD>(m_Value & 0xFFFF); }
    bool IsNull() const { return Id() == 0; }
    GObject* GetGobject() const;

private:
    DWORD m_Value;
};
static_assert(sizeof(HGOBJECT) == 4, "a handle is one 32-bit word");
