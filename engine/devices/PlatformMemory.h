#pragma once
// Memory of packed files' platform-data segments. On the PC it is the engine heap.

void* zmalloc_plat(unsigned long bytes);
void zfree_plat(void* block);
