#include "InputState.h"

#include <cstring>

#include <mg_window.h>

namespace {
MgInputState g_State;
bool g_Connected;
} // namespace

MgInputState& MgState() { return g_State; }

void MgClearPad()
{
    std::memset(&g_State.Pad, 0, sizeof g_State.Pad);
    for (DWORD& pov : g_State.Pad.rgdwPOV)
        pov = 0xFFFFFFFFu;
}

void MgClearState()
{
    DWORD generation = g_State.PadGeneration;
    std::memset(&g_State, 0, sizeof g_State);
    g_State.PadGeneration = generation + 1;
    MgClearPad();
}

void MgConnectToWindow()
{
    if (g_Connected)
        return;
    g_Connected = true;
    MgSetInputHooks(MgInputPumpTurn, MgSdlInputEvent, nullptr);
}
