#include "SdlWindow.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace {
enum { kUnknown, kAvailable, kUnavailable } g_Video = kUnknown;
} // namespace

bool SdlVideoAvailable()
{
    if (g_Video == kUnknown) {
        const char* x11 = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if ((!x11 || !*x11) && (!wayland || !*wayland)) {
            g_Video = kUnavailable;
        } else if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "window: no display (%s); running without a window\n", SDL_GetError());
            g_Video = kUnavailable;
        } else {
            // Game controllers are optional: a machine without joystick support still has a window.
            SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
            SDL_StartTextInput();
            g_Video = kAvailable;
        }
    }
    return g_Video == kAvailable;
}

void* SdlCreateWindow(const char* title, int x, int y, int width, int height)
{
    if (!SdlVideoAvailable())
        return nullptr;
    SDL_Window* window = SDL_CreateWindow(title ? title : "", x < 0 ? 0 : x, y < 0 ? 0 : y, width > 0 ? width : 640,
                                          height > 0 ? height : 480, SDL_WINDOW_SHOWN);
    if (!window)
        std::fprintf(stderr, "window: %s; running without a window\n", SDL_GetError());
    return window;
}

void SdlDestroyWindow(void* window)
{
    if (window)
        SDL_DestroyWindow(static_cast<SDL_Window*>(window));
}

void SdlRaiseWindow(void* window)
{
    if (!window)
        return;
    SDL_RaiseWindow(static_cast<SDL_Window*>(window));
    SDL_SetWindowInputFocus(static_cast<SDL_Window*>(window));
}

void SdlMoveWindow(void* window, int x, int y, int width, int height)
{
    if (!window || width <= 0 || height <= 0)
        return;
    SDL_SetWindowPosition(static_cast<SDL_Window*>(window), x, y);
    SDL_SetWindowSize(static_cast<SDL_Window*>(window), width, height);
}

void SdlPresentPixels(void* window, const void* pixels, int width, int height, int pitch)
{
    if (!window || !pixels)
        return;
    SDL_Window* sdl = static_cast<SDL_Window*>(window);
    SDL_Surface* surface = SDL_GetWindowSurface(sdl);
    if (!surface)
        return;
    const int w = width < surface->w ? width : surface->w, h = height < surface->h ? height : surface->h;
    if (SDL_LockSurface(surface) == 0) {
        SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_ARGB8888, pixels, pitch, surface->format->format, surface->pixels,
                          surface->pitch);
        SDL_UnlockSurface(surface);
    }
    SDL_UpdateWindowSurface(sdl);
}

namespace {

// Decodes UTF-8; a malformed byte stands for itself, so nothing typed is lost.
void PostText(const SdlEventSink& sink, void* window, const char* text)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        unsigned code = *p++;
        int more = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
        unsigned value = code & (0x3Fu >> more);
        int i = 0;
        while (i < more && (p[i] & 0xC0) == 0x80)
            value = value << 6 | (p[i++] & 0x3F);
        if (i == more && more > 0) {
            code = value;
            p += more;
        }
        sink.Post(window, WM_CHAR, code);
    }
}

void TranslateKey(const SdlEventSink& sink, const SDL_KeyboardEvent& key)
{
    void* window = SDL_GetWindowFromID(key.windowID);
    switch (key.keysym.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        sink.Post(window, WM_CHAR, '\r');
        break;
    case SDLK_BACKSPACE:
        sink.Post(window, WM_CHAR, '\b');
        break;
    case SDLK_TAB:
        sink.Post(window, WM_CHAR, '\t');
        break;
    case SDLK_ESCAPE:
        sink.Post(window, WM_CHAR, 27);
        break;
    case SDLK_SCROLLLOCK:
        if (!key.repeat)
            sink.ToggleKey(VK_SCROLL);
        break;
    default:
        break;
    }
}

} // namespace

void SdlPumpEvents(const SdlEventSink& sink)
{
    if (g_Video != kAvailable)
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_WINDOWEVENT: {
            void* window = SDL_GetWindowFromID(event.window.windowID);
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                sink.Post(window, WM_CLOSE, 0);
            else if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                sink.Focus(window, true);
            else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                sink.Focus(window, false);
            break;
        }
        case SDL_TEXTINPUT:
            PostText(sink, SDL_GetWindowFromID(event.text.windowID), event.text.text);
            break;
        case SDL_KEYDOWN:
            TranslateKey(sink, event.key);
            break;
        default:
            break;
        }
        sink.Raw(&event);
    }
}
