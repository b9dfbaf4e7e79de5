#pragma once
// A named input trigger as packed data holds it: a list of conditions on keyboard, mouse and
// gamepad controls. Constructed in place when its file loads; triggers of the current
// configuration join the list of active triggers that bindings are made from.
#include "engine/zel/CZelStaticResource.h"

#pragma pack(push, 1)
union CInputDef {
    unsigned long Code;
    struct {
        unsigned short Control;
        unsigned char Device;
        unsigned char Condition;
    } SubCodes;
};

class CInputTrigger : public CZelStaticResource {
public:
    // Conditions a handler's input data has room for (one word each, then the trigger's value).
    enum { MAX_CONDITIONS = 13 };

    // In place: takes the configuration conditions out of the list and decides whether the
    // trigger belongs to the current configuration.
    CInputTrigger();
    ~CInputTrigger() override;

    CInputTrigger* pNext; // next active trigger
    unsigned long InputLabel;
    unsigned long InputValue;
    unsigned char Size;
    unsigned char Active;
    unsigned short Padding1;
    CInputDef InputDefs[0];
};
#pragma pack(pop)
static_assert(sizeof(CInputDef) == 4, "CInputDef is one 32-bit word");
static_assert(sizeof(CInputTrigger) == 20, "CInputTrigger: 20 bytes before its conditions");
