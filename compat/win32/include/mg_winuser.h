#pragma once
// The window and message-queue calls of the Windows user interface: windows are records with a
// window procedure, and messages go through one in-process queue. A window is also shown on
// the display when the host asks for it and one exists (mg_window.h).
// Included by windows.h.

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagMOUSEINPUT {
    LONG dx, dy;
    DWORD mouseData, dwFlags, time;
    ULONG_PTR dwExtraInfo;
} MOUSEINPUT;
typedef struct tagKEYBDINPUT {
    WORD wVk, wScan;
    DWORD dwFlags, time;
    ULONG_PTR dwExtraInfo;
} KEYBDINPUT;
typedef struct tagINPUT {
    DWORD type;
    union {
        MOUSEINPUT mi;
        KEYBDINPUT ki;
    };
} INPUT, *LPINPUT;

#define WM_DESTROY 0x0002u
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_ACTIVATEAPP 0x001Cu
#define WM_SETCURSOR 0x0020u
#define WM_NCHITTEST 0x0084u
#define WM_KEYDOWN 0x0100u
#define WM_CHAR 0x0102u
#define WM_SYSKEYDOWN 0x0104u
#define WM_SYSCOMMAND 0x0112u

#define SC_SIZE 0xF000u
#define SC_MOVE 0xF010u
#define SC_MAXIMIZE 0xF030u
#define SC_CLOSE 0xF060u
#define SC_KEYMENU 0xF100u
#define SC_MONITORPOWER 0xF170u

#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_VISIBLE 0x10000000u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_EX_APPWINDOW 0x00040000u
#define CW_USEDEFAULT ((int)0x80000000)
#define VK_SCROLL 0x91
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9
#define GWL_STYLE (-16)
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define BLACK_BRUSH 4
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)

extern "C" {
ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL WINAPI DestroyWindow(HWND window);
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName);
BOOL WINAPI IsWindow(HWND window);
BOOL WINAPI ShowWindow(HWND window, int command);
BOOL WINAPI UpdateWindow(HWND window);
BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL WINAPI GetWindowRect(HWND window, LPRECT rect);
LONG WINAPI SetWindowLongA(HWND window, int index, LONG value);
LONG WINAPI GetWindowLongA(HWND window, int index);
UINT WINAPI SendInput(UINT count, LPINPUT inputs, int size);
BOOL WINAPI SetForegroundWindow(HWND window);
HWND WINAPI SetActiveWindow(HWND window);
HWND WINAPI SetCapture(HWND window);
HWND WINAPI GetForegroundWindow(void);
// Bit 0 of the result is the key's toggle state (Scroll Lock on), bit 15 whether it is down.
SHORT WINAPI GetKeyState(int virtualKey);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HGDIOBJ WINAPI GetStockObject(int object);

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove);
BOOL WINAPI TranslateMessage(const MSG* msg);
LRESULT WINAPI DispatchMessageA(const MSG* msg);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}
