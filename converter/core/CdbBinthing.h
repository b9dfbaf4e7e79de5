#pragma once

#include "converter/core/CdbElement.h"

#include <string>

// A binary file copied into the output whole, behind a "CZelBinary" record of its length.
class CdbBinthing : public CdbElement {
public:
    CdbBinthing(const char* label, CDatabase* database);

    void SetFileName(const char* path) { m_Path = path; }

    void Dump(CZelWriter& writer) override;

private:
    std::string m_Path;
};
