#pragma once

#include "converter/core/CdbElement.h"

#include <string>
#include <vector>

class CzParser;

// A named input trigger: the keys (with optional conditions) that fire it and the value handed
// to its handler. Several statements may share a trigger name; each becomes its own record.
class CdbTrigger : public CdbElement {
public:
    struct KeyDefinition {
        unsigned long key;
        unsigned long modifier; // NoModifier when the key keeps its constant's own condition
    };
    static const unsigned long NoModifier = 0xFFFFFFFF;

    CdbTrigger(const char* label, CDatabase* database);

    // Reads the statement's keys, conditions and value, and renames the element to a label of
    // its own so the trigger name can be used again.
    void Load(CzParser& parser, int node);

    void Dump(CZelWriter& writer) override;

private:
    void LoadKey(CzParser& parser, int keyMap);

    std::vector<KeyDefinition> m_Keys;
    std::string m_TriggerName;
    unsigned long m_InputValue = 0;
};
