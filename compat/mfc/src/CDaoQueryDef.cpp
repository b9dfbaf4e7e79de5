#include <afxdao.h>

#include "SqliteValue.h"

CDaoQueryDef::CDaoQueryDef(CDaoDatabase* database) : m_pDatabase(database) {}

CDaoQueryDef::~CDaoQueryDef() { Close(); }

void CDaoQueryDef::Open(LPCTSTR name)
{
    Close();
    if (!m_pDatabase)
        dao::Throw(SQLITE_MISUSE, "a query definition needs a database");
    m_pDatabase->CheckOpen("open a query definition");
    for (const CString& view : m_pDatabase->ObjectNames("view")) {
        if (view.CompareNoCase(name) == 0) {
            m_name = view;
            m_open = true;
            return;
        }
    }
    dao::Throw(SQLITE_ERROR, CString("no query named '") + name + "'");
}

void CDaoQueryDef::Close()
{
    m_open = false;
    m_name.Empty();
}
