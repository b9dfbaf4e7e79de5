#include "engine/object/CVeskTemplateFillData.h"

#include "core/containers/ZArray.h"
#include "core/containers/ZChain.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/include/RhuTypes.h"

ZEL_REGISTER_RECORD(CVeskTemplateFillData);

// The converter lays these records out from the shared record header.
static_assert(sizeof(CVeskTemplateFillData) == sizeof(rhu::CVeskTemplateFillData),
              "CVeskTemplateFillData differs from the record header");

CVeskTemplateFillData* CVeskTemplateFillData::pFirst = nullptr;

CVeskTemplateFillData::CVeskTemplateFillData() { ChainAppend(pFirst, this, &CVeskTemplateFillData::pNext); }

CVeskTemplateFillData::~CVeskTemplateFillData() { ChainRemove(pFirst, this, &CVeskTemplateFillData::pNext); }

void CVeskTemplateFillData::GetTemplates(CZArray<CVeskTemplateFillData*>& out)
{
    for (CVeskTemplateFillData* t = pFirst; t; t = t->pNext)
        out.Add(t);
}
