#include "engine/devices/GInputDevice.h"

GInputDevice* GInputDevice::pThe;

void GInputDevice::Character(int ch)
{
    if (nCharacters >= CHARACTER_QUEUE_SIZE - 1)
        return;
    Characters[nCharacters++] = ch;
}

// No triggers exist yet, so no binding can be made.
bool GInputDevice::Register(HGOBJECT, const char*, unsigned long, InputHandler) { return false; }

bool GInputDevice::Register(HGOBJECT, unsigned long, unsigned long, InputHandler) { return false; }
