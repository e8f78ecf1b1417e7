#pragma once

#include <QPointer>

class CDownloadCenterMgr;
class QDownloadCenter;

// The facade's data: the window it forwards to. Held weakly, since the plugin object may destroy
// the window on its own at log-out.
class CDownloadCenterMgrPrivate
{
public:
    explicit CDownloadCenterMgrPrivate(CDownloadCenterMgr* pFacade);
    ~CDownloadCenterMgrPrivate();
    CDownloadCenterMgrPrivate(const CDownloadCenterMgrPrivate&) = delete;
    CDownloadCenterMgrPrivate& operator=(const CDownloadCenterMgrPrivate&) = delete;

    QPointer<QDownloadCenter> m_pWindow;
    CDownloadCenterMgr* const m_pFacade;
};
