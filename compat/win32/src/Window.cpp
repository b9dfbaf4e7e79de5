// Windows: each window is a record with its class's window procedure; messages pass through
// one FIFO queue on the calling thread, as the engine's single-threaded loop expects. Where a
// display exists (and headless running was not asked for) a window is also a real SDL window
// that presented frames are copied into and whose close and focus events become messages.
#include <windows.h>

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>
#include <deque>

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
    SDL_Window* sdl;
    const WindowClass* windowClass;
};

bool g_Headless;
bool g_VideoStarted;

// A real window needs a display and a caller that did not ask for headless running.
bool ShowsRealWindows()
{
    if (g_Headless || (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")))
        return false;
    if (!g_VideoStarted)
        g_VideoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    return g_VideoStarted;
}

WindowClass g_Classes[kMaxClasses];
Window g_Windows[kMaxWindows];
HWND g_Foreground;
MG_PUMP_HOOK g_PumpHook;
void* g_PumpUser;

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
        if (window.sdl)
            SDL_DestroyWindow(window.sdl);
    std::memset(g_Classes, 0, sizeof g_Classes);
    std::memset(g_Windows, 0, sizeof g_Windows);
    g_Foreground = nullptr;
    Queue().clear();
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
            g_Windows[i] =
                Window{true, windowClass->proc, LONG(style), RECT{x, y, x + width, y + height}, nullptr, windowClass};
            if (ShowsRealWindows())
                g_Windows[i].sdl =
                    SDL_CreateWindow(title ? title : "", x < 0 ? 0 : x, y < 0 ? 0 : y, width > 0 ? width : 640,
                                     height > 0 ? height : 480, SDL_WINDOW_SHOWN);
            return reinterpret_cast<HWND>(kFirstHandle + i);
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
    window->alive = false;
    if (window->sdl)
        SDL_DestroyWindow(window->sdl);
    window->sdl = nullptr;
    if (g_Foreground == handle)
        g_Foreground = nullptr;
    return TRUE;
}

// The first live window of the class; the title is not compared.
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR)
{
    for (int i = 0; i < kMaxWindows; ++i)
        if (g_Windows[i].alive && (!className || std::strcmp(g_Windows[i].windowClass->name, className) == 0))
            return reinterpret_cast<HWND>(kFirstHandle + i);
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
    if (window->sdl && width > 0 && height > 0) {
        SDL_SetWindowPosition(window->sdl, x, y);
        SDL_SetWindowSize(window->sdl, width, height);
    }
    return TRUE;
}

void MgSetHeadless(int headless) { g_Headless = headless != 0; }

int MgHasRealWindow(HWND handle)
{
    Window* window = Find(handle);
    return window && window->sdl ? 1 : 0;
}

// Copies 32-bit XRGB rows into the window's own pixels.
void MgPresentPixels(HWND handle, const void* pixels, int width, int height, int pitch)
{
    Window* window = Find(handle);
    if (!window || !window->sdl || !pixels)
        return;
    SDL_Surface* surface = SDL_GetWindowSurface(window->sdl);
    if (!surface)
        return;
    const int w = width < surface->w ? width : surface->w, h = height < surface->h ? height : surface->h;
    if (SDL_LockSurface(surface) == 0) {
        SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_ARGB8888, pixels, pitch, surface->format->format, surface->pixels,
                          surface->pitch);
        SDL_UnlockSurface(surface);
    }
    SDL_UpdateWindowSurface(window->sdl);
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
    if (!Find(handle))
        return FALSE;
    if (g_Foreground != handle) {
        g_Foreground = handle;
        PostMessageA(handle, WM_ACTIVATEAPP, TRUE, 0);
    }
    return TRUE;
}

HWND WINAPI SetActiveWindow(HWND handle) { return Find(handle) ? handle : nullptr; }
HWND WINAPI SetCapture(HWND) { return nullptr; }
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }
HGDIOBJ WINAPI GetStockObject(int) { return nullptr; }

// The real windows' events as the messages a window procedure expects.
void PumpWindowEvents()
{
    if (!g_VideoStarted)
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type != SDL_WINDOWEVENT)
            continue;
        for (int i = 0; i < kMaxWindows; ++i) {
            if (!g_Windows[i].alive || !g_Windows[i].sdl || SDL_GetWindowID(g_Windows[i].sdl) != event.window.windowID)
                continue;
            HWND handle = reinterpret_cast<HWND>(kFirstHandle + i);
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                PostMessageA(handle, WM_CLOSE, 0, 0);
            else if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                SetForegroundWindow(handle);
        }
    }
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND, UINT, UINT, UINT remove)
{
    PumpWindowEvents();
    if (TakeMessage(msg, remove))
        return TRUE;
    if (g_PumpHook)
        g_PumpHook(g_PumpUser);
    return TakeMessage(msg, remove) ? TRUE : FALSE;
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
