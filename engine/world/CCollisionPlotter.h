#pragma once
// How an object enters the section grid. A small object is marked in the one section under
// its position; a larger one in every section its collision shapes touch.
#include "engine/world/GSectionMgr.h"

class GPhysical;

class CCollisionPlotter {
public:
    virtual ~CCollisionPlotter() {}
    virtual void Plot() {}
    virtual void UnPlot() {}
    virtual void SetHandle(HGOBJECT) {}

    // The kind the object's plotting radius asks for, or null when it is not plotted at all.
    static CCollisionPlotter* Make(GPhysical* object);
};

class CSinglePlotter : public CCollisionPlotter {
public:
    // The one entry is allocated here, so that moving costs an unlink and a relink only.
    explicit CSinglePlotter(HGOBJECT handle);
    ~CSinglePlotter() override;
    void Plot() override;
    void UnPlot() override;
    void SetHandle(HGOBJECT handle) override { pEntry->hObject = handle; }

private:
    PlotEntry* pEntry;
};

class CMultiPlotter : public CCollisionPlotter {
public:
    explicit CMultiPlotter(HGOBJECT handle) : pEntries(nullptr), Count(0), hObject(handle) {}
    ~CMultiPlotter() override;
    void Plot() override;
    void UnPlot() override;
    void SetHandle(HGOBJECT handle) override;
    int GetCount() const { return Count; }

private:
    // Calls visit(column, row) for every section the object's shapes touch, in grid
    // coordinates, and returns how many there were.
    template <class Visit> int ForTouchedSections(GPhysical* object, Visit visit);

    PlotEntry* pEntries;
    int Count;
    HGOBJECT hObject;
};
