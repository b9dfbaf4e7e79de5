#pragma once
// The class registry's record of one game-object class.
#include "engine/object/HGOBJECT.h"

class GObject;
class CLoadSaveBuffer;
class CState;
struct EditableInfo;
struct EditableFillData;
struct ClassTypeEntry;

// Class flags: the low 16 bits hold the initial sibling priority of the class's objects.
enum ClassFlags : DWORD {
    CLASS_PRIORITY_MASK = 0x0000FFFF,
    CLASS_HAS_HANDLE = 0x80000000,
    CLASS_DESTROY_SECOND_PASS = 0x40000000,
    CLASS_SURVIVES_LEVEL = 0x20000000,
    CLASS_AFTER_EQUALS = 0x10000000,
    CLASS_SAVED = 0x08000000,
    CLASS_NOT_SAVED = 0x04000000,
    CLASS_VESK_FIRST_LIST = 0x02000000,
    CLASS_VESK_SECOND_LIST = 0x01000000,
    CLASS_NO_LAYOUT = 0x00800000,
    CLASS_OWN_RTTI_BIT = 0x00400000,
    CLASS_DESIGN_PARAMS = 0x00040000,
};

typedef GObject* (*GObjectCreateFunction)(GObject* parent, HGOBJECT handle, ClassTypeEntry* entry,
                                          EditableFillData* data, CLoadSaveBuffer* stream);

struct ClassTypeEntry {
    DWORD ClassId; // name key of Name
    const char* Name;
    DWORD* pRttiCode;        // the class's static RttiCode
    ClassTypeEntry* pParent; // null for direct descendants of GObject
    GObjectCreateFunction pCreate;
    DWORD Flags;                    // ClassFlags
    EditableFillData* pDefaultData; // registered by packed data
    EditableInfo* pEditable;        // ended by an entry whose name key is 0
    CState* pStateTable;
};
