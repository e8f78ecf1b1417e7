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
    CDownloadCenterMgrPrivate(const CDownloadCenterMgrPrivate&) = delete;
    CDownloadCenterMgrPrivate& operator=(const CDownloadCenterMgrPrivate&) = delete;

    // The window to forward a call to, or null, with a log line naming the call, when it is gone
    // or shutting down.
    QDownloadCenter* window(const char* szCall);
    // The facade's window, from the first one it meets on.
    void bind(QDownloadCenter* pWindow);

    QPointer<QDownloadCenter> m_pWindow;
    bool m_bBound = false;
    CDownloadCenterMgr* const m_pFacade;
};
