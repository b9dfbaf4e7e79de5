#pragma once

#include "converter/core/CdbElement.h"
#include "converter/core/ZVariant.h"

// A named text written as a raw NUL-terminated string under its label, in a chosen segment.
class CdbString : public CdbElement {
public:
    CdbString(const char* label, CDatabase* database);

    // Takes the text as written in a script: surrounding quotes and the escapes \n, \a and \v are
    // replaced unless raw; translated through the current translation table when asked.
    void SetText(const char* text, bool isPublic, int segment, bool raw, bool translate);
    // Takes the text from a file of at most 65,535 bytes.
    void LoadFile(const char* path, bool isPublic, int segment, bool raw, bool translate);

    void Dump(CZelWriter& writer) override;

    const ZVariant& Value() const { return m_Value; }

private:
    ZVariant m_Value;
    unsigned char m_Public = 0;
    int m_Segment = 0;
};
