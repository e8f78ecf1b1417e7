#include "CDownloadCenterMgrPrivate.h"

#include <ncl/NPrintLog.h>

#include "QDownloadCenter.h"

CDownloadCenterMgrPrivate::CDownloadCenterMgrPrivate(CDownloadCenterMgr* pFacade)
    : m_pWindow(QDownloadCenter::instance()), m_pFacade(pFacade)
{
}

QDownloadCenter* CDownloadCenterMgrPrivate::window(const char* szCall) const
{
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
