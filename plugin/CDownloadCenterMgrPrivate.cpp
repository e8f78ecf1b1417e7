#include "CDownloadCenterMgrPrivate.h"

#include <ncl/NPrintLog.h>

#include "QDownloadCenter.h"

CDownloadCenterMgrPrivate::CDownloadCenterMgrPrivate(CDownloadCenterMgr* pFacade) : m_pFacade(pFacade) {}

void CDownloadCenterMgrPrivate::bind(QDownloadCenter* pWindow)
{
    if (!m_bBound && pWindow) {
        m_pWindow = pWindow;
        m_bBound = true;
    }
}

QDownloadCenter* CDownloadCenterMgrPrivate::window(const char* szCall)
{
    // Asked while its window is being built (from inside that): the one being built.
    bind(QDownloadCenter::current());
    QDownloadCenter* pWindow = m_pWindow;
    if (pWindow && pWindow == QDownloadCenter::current()) {
        return pWindow;
    }
    if (szCall) {
        ncl::NPrintLog::instance()->Log("plugin\\CDownloadCenterMgr", __LINE__, szCall, "", 6, "%s",
                                        "the download centre window is gone; the call is dropped");
    }
    return nullptr;
}
