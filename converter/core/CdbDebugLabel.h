#pragma once

#include "converter/core/CdbElement.h"

#include <string>

// The text of an exported symbol, written into the extra data segment so that the editor can
// show symbol names. Written only when the type file knows the record.
class CdbDebugLabel : public CdbElement {
public:
    CdbDebugLabel(const char* label, CDatabase* database);

    // Sets the text and renames the element after the symbol it describes.
    void SetText(const char* symbolName);

    void Dump(CZelWriter& writer) override;

private:
    std::string m_Text;
};
