#pragma once
// A playable sound of a Sound statement: the samples it picks from at random and how it plays
// (flags, priority, fade distance and volume).
#include "converter/core/CdbElement.h"

#include <string>
#include <vector>

class CdbSound : public CdbElement {
public:
    CdbSound(const char* label, CDatabase* database) : CdbElement(label, database) {}

    void Dump(CZelWriter& writer) override;

    // The fade every sound's own fade is multiplied by: 2.0 until a BASEFADE= statement.
    static float BaseFade;

    std::vector<std::string> SampleLabels;
    unsigned long Flags = 0;
    float Priority = 1.0f;
    float Fade = 1.0f;
    float Volume = 1.0f;
};
