// Windows: each window is a record with its class's window procedure; messages pass through one
// FIFO queue on the calling thread, as the engine's single-threaded loop expects. Where a display
// exists (and headless running was not asked for) a record also owns a real SDL2 window
// (SdlWindow.cpp): presented frames are copied into it, and its events become the record's
// messages and, through the input hook, the keyboard and mouse of the input layer.
#include <windows.h>

#include <cstring>
#include <deque>

#include "SdlWindow.h"
#include "mg_window.h"

namespace {

const int kMaxClasses = 16;
const int kMaxWindows = 16;
const UINT_PTR kFirstHandle = 0x1000;

struct WindowClass {
    bool used;
    char name[64];
    WNDPROC proc;
};

struct Window {
    bool alive;
    WNDPROC proc;
    LONG style;
    RECT rect; // position and size on the desktop
    const WindowClass* windowClass;
    void* display; // the SDL window, or null
};

WindowClass g_Classes[kMaxClasses];
Window g_Windows[kMaxWindows];
HWND g_Foreground;
MG_PUMP_HOOK g_PumpHook;
void* g_PumpUser;
MG_PUMP_HOOK g_InputTurnHook;
MG_EVENT_HOOK g_InputEventHook;
void* g_InputUser;
bool g_Headless;
// Set once the hooks ran in this turn of the main loop; cleared when the queue is found empty
// with them already run, which ends the turn.
bool g_TurnStarted;
bool g_ScrollLock;

std::deque<MSG>& Queue()
{
    static std::deque<MSG>* queue = new std::deque<MSG>;
    return *queue;
}

Window* Find(HWND handle)
{
    UINT_PTR index = reinterpret_cast<UINT_PTR>(handle) - kFirstHandle;
    if (index >= UINT_PTR(kMaxWindows) || !g_Windows[index].alive)
        return nullptr;
    return &g_Windows[index];
}

WindowClass* FindClass(LPCSTR name)
{
    for (WindowClass& c : g_Classes)
        if (c.used && std::strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

HWND HandleOf(int index) { return reinterpret_cast<HWND>(kFirstHandle + UINT_PTR(index)); }

HWND FindDisplayed(void* display)
{
    for (int i = 0; i < kMaxWindows; ++i)
        if (g_Windows[i].alive && display && g_Windows[i].display == display)
            return HandleOf(i);
    return nullptr;
}

void PostFromDisplay(void* display, UINT message, WPARAM wParam)
{
    if (HWND window = FindDisplayed(display))
        PostMessageA(window, message, wParam, 0);
}

// Activation follows the display's focus, as Windows reports it to the application.
void FocusFromDisplay(void* display, bool gained)
{
    HWND window = FindDisplayed(display);
    if (!window)
        return;
    if (gained && g_Foreground != window) {
        g_Foreground = window;
        PostMessageA(window, WM_ACTIVATEAPP, TRUE, 0);
    } else if (!gained && g_Foreground == window) {
        g_Foreground = nullptr;
        PostMessageA(window, WM_ACTIVATEAPP, FALSE, 0);
    }
}

void ToggleFromDisplay(int virtualKey)
{
    if (virtualKey == VK_SCROLL)
        g_ScrollLock = !g_ScrollLock;
}

void RawFromDisplay(const void* event)
{
    if (g_InputEventHook)
        g_InputEventHook(event, g_InputUser);
}

void RunTurnHooks()
{
    SdlPumpEvents(SdlEventSink{PostFromDisplay, FocusFromDisplay, ToggleFromDisplay, RawFromDisplay});
    if (g_InputTurnHook)
        g_InputTurnHook(g_InputUser);
    if (g_PumpHook)
        g_PumpHook(g_PumpUser);
}

bool TakeMessage(LPMSG msg, UINT remove)
{
    if (Queue().empty())
        return false;
    *msg = Queue().front();
    if (remove & PM_REMOVE)
        Queue().pop_front();
    return true;
}

} // namespace

extern "C" {

void MgSetMessagePumpHook(MG_PUMP_HOOK hook, void* user)
{
    g_PumpHook = hook;
    g_PumpUser = user;
}

void MgResetWindows(void)
{
    for (Window& window : g_Windows)
        if (window.alive)
            SdlDestroyWindow(window.display);
    std::memset(g_Classes, 0, sizeof g_Classes);
    std::memset(g_Windows, 0, sizeof g_Windows);
    g_Foreground = nullptr;
    g_TurnStarted = false;
    g_ScrollLock = false;
    Queue().clear();
}

void MgSetHeadless(int headless) { g_Headless = headless != 0; }

int MgHasRealWindow(HWND handle)
{
    Window* window = Find(handle);
    return window && window->display ? 1 : 0;
}

void MgPresentPixels(HWND handle, const void* pixels, int width, int height, int pitch)
{
    if (Window* window = Find(handle))
        SdlPresentPixels(window->display, pixels, width, height, pitch);
}

void MgSetInputHooks(MG_PUMP_HOOK turn, MG_EVENT_HOOK event, void* user)
{
    g_InputTurnHook = turn;
    g_InputEventHook = event;
    g_InputUser = user;
}

void MgSetKeyToggle(int virtualKey, BOOL on)
{
    if (virtualKey == VK_SCROLL)
        g_ScrollLock = on != FALSE;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass)
{
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc ||
        std::strlen(windowClass->lpszClassName) >= sizeof g_Classes[0].name || FindClass(windowClass->lpszClassName))
        return 0;
    for (int i = 0; i < kMaxClasses; ++i) {
        if (!g_Classes[i].used) {
            g_Classes[i].used = true;
            std::strcpy(g_Classes[i].name, windowClass->lpszClassName);
            g_Classes[i].proc = windowClass->lpfnWndProc;
            return ATOM(0xC000 + i);
        }
    }
    return 0;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width, int height,
                            HWND, HMENU, HINSTANCE, LPVOID)
{
    WindowClass* windowClass = className ? FindClass(className) : nullptr;
    if (!windowClass)
        return nullptr;
    for (int i = 0; i < kMaxWindows; ++i) {
        if (!g_Windows[i].alive) {
            void* display = g_Headless ? nullptr : SdlCreateWindow(title, x, y, width, height);
            g_Windows[i] =
                Window{true, windowClass->proc, LONG(style), RECT{x, y, x + width, y + height}, windowClass, display};
            return HandleOf(i);
        }
    }
    return nullptr;
}

// As on Windows, the window procedure sees WM_DESTROY before the window is gone.
BOOL WINAPI DestroyWindow(HWND handle)
{
    Window* window = Find(handle);
    if (!window)
        return FALSE;
    window->proc(handle, WM_DESTROY, 0, 0);
    SdlDestroyWindow(window->display);
    window->display = nullptr;
    window->alive = false;
    if (g_Foreground == handle)
        g_Foreground = nullptr;
    return TRUE;
}

// The first live window of the class; the title is not compared.
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR)
{
    for (int i = 0; i < kMaxWindows; ++i)
        if (g_Windows[i].alive && (!className || std::strcmp(g_Windows[i].windowClass->name, className) == 0))
            return HandleOf(i);
    return nullptr;
}

BOOL WINAPI IsWindow(HWND handle) { return Find(handle) ? TRUE : FALSE; }
BOOL WINAPI ShowWindow(HWND handle, int) { return Find(handle) ? TRUE : FALSE; }
BOOL WINAPI UpdateWindow(HWND handle) { return Find(handle) ? TRUE : FALSE; }

BOOL WINAPI MoveWindow(HWND handle, int x, int y, int width, int height, BOOL)
{
    Window* window = Find(handle);
    if (!window)
        return FALSE;
    window->rect = RECT{x, y, x + width, y + height};
    SdlMoveWindow(window->display, x, y, width, height);
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect)
{
    Window* window = Find(handle);
    if (!window || !rect)
        return FALSE;
    *rect = window->rect;
    return TRUE;
}

LONG WINAPI SetWindowLongA(HWND handle, int index, LONG value)
{
    Window* window = Find(handle);
    if (!window || index != GWL_STYLE)
        return 0;
    LONG previous = window->style;
    window->style = value;
    return previous;
}

LONG WINAPI GetWindowLongA(HWND handle, int index)
{
    Window* window = Find(handle);
    return window && index == GWL_STYLE ? window->style : 0;
}

UINT WINAPI SendInput(UINT count, LPINPUT, int) { return count; }

// Windows tells an application that it became active; the input devices wait for it.
BOOL WINAPI SetForegroundWindow(HWND handle)
{
    Window* window = Find(handle);
    if (!window)
        return FALSE;
    SdlRaiseWindow(window->display);
    if (g_Foreground != handle) {
        g_Foreground = handle;
        PostMessageA(handle, WM_ACTIVATEAPP, TRUE, 0);
    }
    return TRUE;
}

HWND WINAPI SetActiveWindow(HWND handle) { return Find(handle) ? handle : nullptr; }
HWND WINAPI SetCapture(HWND) { return nullptr; }
HWND WINAPI GetForegroundWindow(void) { return g_Foreground; }
SHORT WINAPI GetKeyState(int virtualKey) { return virtualKey == VK_SCROLL && g_ScrollLock ? 1 : 0; }
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }
HGDIOBJ WINAPI GetStockObject(int) { return nullptr; }

BOOL WINAPI PeekMessageA(LPMSG msg, HWND, UINT, UINT, UINT remove)
{
    if (TakeMessage(msg, remove))
        return TRUE;
    if (!g_TurnStarted) {
        g_TurnStarted = true;
        RunTurnHooks();
        if (TakeMessage(msg, remove))
            return TRUE;
    }
    g_TurnStarted = false;
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

LRESULT WINAPI DispatchMessageA(const MSG* msg)
{
    Window* window = msg ? Find(msg->hwnd) : nullptr;
    return window ? window->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (handle && !Find(handle))
        return FALSE;
    Queue().push_back(MSG{handle, message, wParam, lParam, 0, {0, 0}});
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* window = Find(handle);
    return window ? window->proc(handle, message, wParam, lParam) : 0;
}

void WINAPI PostQuitMessage(int exitCode) { Queue().push_back(MSG{nullptr, WM_QUIT, WPARAM(exitCode), 0, 0, {0, 0}}); }

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(handle, WM_CLOSE, 0, 0);
        return 0;
    case WM_NCHITTEST:
        return 1; // the client area
    default:
        return 0;
    }
}

} // extern "C"
