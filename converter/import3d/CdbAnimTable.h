#pragma once
// A table of pointers to other records: labels of resources (identifiers, or strings made from
// quoted texts), or nested tables. A block may be placed at an index a type-file constant names.
#include "converter/core/CdbElement.h"

#include <string>
#include <vector>

class CRhuParser;

class CdbAnimTable : public CdbElement {
public:
    enum { Empty = 0, Resources = 1, Arrays = 2 };

    CdbAnimTable(const char* label, CDatabase* database) : CdbElement(label, database) {}
    void Parse(CRhuParser& parser, int node);
    // The block's forced index, or -1.
    int ParseBlock(CRhuParser& parser, int block);
    void Dump(CZelWriter& writer) override;

    int Kind = Empty;
    std::vector<std::string> Entries; // labels; empty for a null entry
    unsigned char Public = 0;
};
