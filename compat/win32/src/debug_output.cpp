// Debugger output and message boxes. There is no debugger to attach here: the output goes to a
// sink tests can capture (stderr by default), and a message box prints its caption and text.
#include <mg_win32.h>

#include <cstdio>

namespace {
MG_DEBUG_SINK g_Sink = nullptr;
void* g_SinkUser = nullptr;
} // namespace

void MgSetDebugOutputSink(MG_DEBUG_SINK sink, void* user)
{
    g_Sink = sink;
    g_SinkUser = user;
}

void WINAPI OutputDebugStringA(LPCSTR text)
{
    if (text == nullptr)
        return;
    if (g_Sink != nullptr) {
        g_Sink(text, g_SinkUser);
        return;
    }
    std::fputs(text, stderr);
    std::fflush(stderr);
}

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    return IDOK;
}
