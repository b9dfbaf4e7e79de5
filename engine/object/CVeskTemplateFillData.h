#pragma once
// An editor template: a named creation block the editor offers for placing new objects.
#include "engine/object/CFillData.h"

#include "core/containers/ZArray.h"

#pragma pack(push, 1)
class CVeskTemplateFillData : public CEmbeddedFillData {
public:
    CVeskTemplateFillData();
    ~CVeskTemplateFillData() override;

    // Appends every template of the loaded files, in load order.
    static void GetTemplates(CZArray<CVeskTemplateFillData*>& out);

    char* pName;
    CVeskTemplateFillData* pNext;

private:
    static CVeskTemplateFillData* pFirst;
};
#pragma pack(pop)
static_assert(sizeof(CVeskTemplateFillData) == 28, "CVeskTemplateFillData is a packed record");
