#pragma once
// Controls of the win32 substitute that have no Windows counterpart: registering resources,
// capturing the debugger output and driving the performance counter from tests.
#include <windows.h>

extern "C" {

// One resource. Integer names and types are given as MAKEINTRESOURCE values.
typedef struct MG_RESOURCE {
    LPCSTR type;
    LPCSTR name;
    const void* data;
    DWORD size;
} MG_RESOURCE;

// The host program exports its resources (heap size, window title, icon) as a table of this
// name, ended by an entry with a null type. The engine reads it while its own static
// initialisers run, before the host's could register anything, so the table must be constant
// data the dynamic linker can find: define it `extern "C"` in the host and link the host with
// mg_export_host_resources() (CMake).
#define MG_HOST_RESOURCES_SYMBOL mg_host_resources

// A resource compiled into a program or library; generated sources register theirs from a
// static initialiser. The node must live as long as the process: it is linked in, not copied.
typedef struct MG_RESOURCE_NODE {
    MG_RESOURCE resource;
    struct MG_RESOURCE_NODE* next;
} MG_RESOURCE_NODE;
void MgRegisterResource(MG_RESOURCE_NODE* node);

// Debugger output goes to the sink (stderr when none is set). Pass null to restore stderr.
typedef void (*MG_DEBUG_SINK)(const char* text, void* user);
void MgSetDebugOutputSink(MG_DEBUG_SINK sink, void* user);

// Performance counter: ticks of MG_PERF_FREQUENCY per second over CLOCK_MONOTONIC, or a
// virtual clock that moves only when a test advances it.
#define MG_PERF_FREQUENCY 10000000LL
void MgUseVirtualClock(LONGLONG startTicks);
void MgAdvanceVirtualClock(LONGLONG ticks);
// Every read of the virtual counter moves it on by this many ticks afterwards (0: it stands
// still), so that code timing itself by the counter sees time pass at a known rate.
void MgSetVirtualClockStep(LONGLONG ticksPerRead);
void MgUseRealClock(void);
// Whether the counter is the virtual clock (nothing paced in real time reads it then).
BOOL MgVirtualClockInUse(void);

// Paths: the code builds Windows paths. Before one reaches the file system, "\\" becomes "/",
// a drive letter is dropped, and a component that does not exist as spelled is looked up
// without regard to case (Windows names are case-blind; files made elsewhere may differ in
// case). Components still not found are kept as given, so new files get the spelling asked for.
// Returns the mapped length, or -1 when it would not fit in outSize bytes.
int MgMapPath(const char* path, char* out, int outSize);
}

#ifdef __cplusplus
// Registers one resource from a static initialiser:
//   static MgResourceRegistrar reg("RhuDefaults", "ScriptResource", data, size);
class MgResourceRegistrar {
public:
    MgResourceRegistrar(LPCSTR name, LPCSTR type, const void* data, DWORD size)
    {
        m_Node.resource.type = type;
        m_Node.resource.name = name;
        m_Node.resource.data = data;
        m_Node.resource.size = size;
        m_Node.next = nullptr;
        MgRegisterResource(&m_Node);
    }
    MgResourceRegistrar(const MgResourceRegistrar&) = delete;
    MgResourceRegistrar& operator=(const MgResourceRegistrar&) = delete;

private:
    MG_RESOURCE_NODE m_Node;
};
#endif
