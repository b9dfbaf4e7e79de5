// Global new and delete in every replaceable form, all over the engine heap, so that no pair
// ever mixes the C heap with the arena. On Linux the replacement holds for the whole process.
#include "core/heap/ZHeap.h"

#include <new>

namespace {
void* Allocate(std::size_t bytes) { return zmalloc(bytes); }
void* AllocateAligned(std::size_t bytes, std::align_val_t alignment)
{
    return zmalloc_align(bytes, static_cast<unsigned long>(alignment));
}
} // namespace

void* operator new(std::size_t bytes) { return Allocate(bytes); }
void* operator new[](std::size_t bytes) { return Allocate(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes); }
void* operator new(std::size_t bytes, std::align_val_t alignment) { return AllocateAligned(bytes, alignment); }
void* operator new[](std::size_t bytes, std::align_val_t alignment) { return AllocateAligned(bytes, alignment); }
void* operator new(std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return AllocateAligned(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return AllocateAligned(bytes, alignment);
}

void operator delete(void* block) noexcept { zfree(block); }
void operator delete[](void* block) noexcept { zfree(block); }
void operator delete(void* block, std::size_t) noexcept { zfree(block); }
void operator delete[](void* block, std::size_t) noexcept { zfree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { zfree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { zfree(block); }
void operator delete(void* block, std::align_val_t) noexcept { zfree(block); }
void operator delete[](void* block, std::align_val_t) noexcept { zfree(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { zfree(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { zfree(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { zfree(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { zfree(block); }
