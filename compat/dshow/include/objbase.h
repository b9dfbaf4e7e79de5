#pragma once
// COM start-up and object creation for the DirectShow substitute: each thread initialises and
// uninitialises COM in pairs, and objects are made by class identifier.
#include <windows.h>

#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC CLSCTX_INPROC_SERVER

#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)

extern "C" {
// S_OK for the thread's first initialisation, S_FALSE for a nested one.
HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coInit);
// Ends one initialisation of the calling thread; nothing when it has none.
void WINAPI CoUninitialize(void);
// CO_E_NOTINITIALIZED on a thread without COM; REGDB_E_CLASSNOTREG for a class this layer
// does not make; E_NOINTERFACE when the object lacks the interface.
HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);
}
