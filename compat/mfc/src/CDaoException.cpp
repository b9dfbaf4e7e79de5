#include <afxdao.h>

CDaoException::CDaoException(long errorCode, LPCTSTR description)
    : m_pErrorInfo(new CDaoErrorInfo), m_scode(E_FAIL), m_nAfxDaoError(0)
{
    m_pErrorInfo->m_lErrorCode = errorCode;
    m_pErrorInfo->m_strSource = "SQLite";
    m_pErrorInfo->m_strDescription = description;
}

CDaoException::~CDaoException() { delete m_pErrorInfo; }
