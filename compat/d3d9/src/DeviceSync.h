#pragma once
// What a resource asks of the device that made it before it hands out or takes back its
// memory: the device's lock (when the device was created multithreaded) and the covering of
// the recorded draws that read or write the resource, so a lock sees every earlier draw.
#include <mutex>

#include <d3d9.h>

namespace d3d9sw {

std::unique_lock<std::recursive_mutex> GuardDevice(IDirect3DDevice9* device);
void FlushDevice(IDirect3DDevice9* device);

} // namespace d3d9sw
