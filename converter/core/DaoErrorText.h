#pragma once
// The database's description of a caught error; the exception is released.
#include <afxdao.h>

inline CString DaoErrorText(CDaoException* error)
{
    const CString text = error->m_pErrorInfo ? error->m_pErrorInfo->m_strDescription : CString("unknown error");
    error->Delete();
    return text;
}
