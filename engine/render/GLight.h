#pragma once
// A light placed in a level: the object owns one light record, fills it from its editable
// fields when it is created and when the editor changes them, and moves and turns it with
// itself. The derived classes choose the light's type and what it does each frame.
#include "core/math/CVector.h"
#include "engine/object/GAttachable.h"

class GLight : public GAttachable {
    DECLARE_GOBJECT(GLight, GAttachable)

    GLight();
    ~GLight() override;

    bool OnReceiveMessage(CMessage* message) override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    // The direction of a light turned to the rotation (empty here: the classes that aim do it).
    virtual void SetDirection(const CVector& rotation);

    // The light's direction from the rotation; a rotation that still holds a direction vector
    // (DirMode 0) is turned into the angles of that direction first.
    void TranslateDirection();
    // The direction a light turned to the rotation points along.
    static void TranslateDirection(CVector& direction, const CVector& rotation);

    const CVector& GetAmbient() const { return ambC; }
    const CVector& GetDiffuse() const { return difC; }
    const CVector& GetSpecular() const { return specC; }
    unsigned long GetLightHandle() const { return hLight; }

    CVector ambC, difC, specC; // 0..255
    float cosA;
    int AttachId;
    float Radius;
    float Intensity;
    CVector Attenuate;
    int ViewportIndex;
    int ShadowFlag;
    unsigned long hLight;
    int Priority;
    DWORD Name;
    CVector NormVector;
    int DirMode;
    int NoCull;
    float MinX, MaxX, MinY, MaxY;
    int LimitLeft, LimitTop, LimitRight, LimitBottom;

protected:
    // Everything the editor may change, into the selected light record.
    void SetLightFields();
};
