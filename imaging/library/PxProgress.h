#pragma once
// Progress reporting over a percent range split into steps, and the per-thread random state.
#include "PxKernel.h"

namespace pximg {

class Progress {
public:
    // Fetches the caller's callback and reports `first`; n = 0 steps counts as one.
    int32_t Begin(int32_t first, int32_t last, uint32_t steps);
    // One step done; returns 1 or the callback's result that stops the operation.
    int32_t Advance();

private:
    int32_t Call();

    PxProgressCallback callback_ = nullptr;
    void* user_ = nullptr;
    int32_t percent_ = 0;
    int32_t quotient_ = 0;
    uint32_t remainder_ = 0;
    uint32_t accumulated_ = 0;
    uint32_t steps_ = 1;
};

// One draw of the calling thread's generator: r = (r * 1366 + 150889) mod 714025.
uint32_t NextRandom();

} // namespace pximg
