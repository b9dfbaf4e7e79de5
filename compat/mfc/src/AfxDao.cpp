#include <afxdao.h>

#include <sqlite3.h>

namespace {
bool g_running = false;
}

void AfxDaoInit()
{
    sqlite3_initialize();
    g_running = true;
}

// Open databases keep working: SQLite needs no shutdown, only the engine's bookkeeping ends.
void AfxDaoTerm() { g_running = false; }

BOOL AfxDaoIsRunning() { return g_running; }
