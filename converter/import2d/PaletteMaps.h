#pragma once
// Positions of palette entries when a palette is written: slot 1 reorders 256 entries the way
// one console's texture unit reads them (within each block of 32, the runs 8-15 and 16-23 swap
// places); slots 0 and 2 and the 16-entry map keep entries where they are.
struct PaletteMaps {
    static const unsigned long* Get(int slot);
    static const unsigned long* Identity16();
};
