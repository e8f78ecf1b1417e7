#include "DownloadApp.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "CDownloadCenterMgr.h"
#include "QDownloadCenter.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The host's menu path while the download centre is the current module.
const char* const kDownloadCenterMenu = "/#/client/noPage";
// The second-level entry of the file-download tab.
const char* const kFileDownloadMenu = "/client/base/client/downloadCenter";

}  // namespace

DownloadApp::DownloadApp() = default;

// The window and the facade are shared with the client's other modules: not ours to destroy.
DownloadApp::~DownloadApp() = default;

void DownloadApp::initPlugin(QWidget* parent, IAppPluginHost* host, void* context)
{
    m_pParentWidget = parent;
    m_pHost = host;
    if (!host) {
        return;
    }
    const QStringList listNames{
        QStringLiteral("NotifySwitchMoudle"),       QStringLiteral("switchToSubMenu"),
        QStringLiteral("notifyDownloadingFileNum"), QStringLiteral("AddDownloadTasksByPublicUrl"),
        QStringLiteral("NotifyDeviceStatus"),       QStringLiteral("NotifyLoginOut")};
    host->registerNotify(listNames, context);
}

void DownloadApp::onNotify(const AppPluginNotification& notification)
{
    const QString strName = notification.strName;
    // A parse error leaves a null document, whose object is empty.
    const QJsonDocument document = QJsonDocument::fromJson(notification.strJson.toUtf8());
    dispatchNotify(strName, document);
}

void DownloadApp::uninitPlugin()
{
    logOut();
    m_pHost = nullptr;
    m_pParentWidget = nullptr;
}

void DownloadApp::logOut()
{
    // The window stops its tasks first (what arrives meanwhile is dropped and logged, builds no
    // second window and waits on no lock), then it and the facade go.
    m_pDownloadCenter = nullptr;
    CDownloadCenterMgr::destroyInstance();
#ifdef __GLIBC__
    // A session frees its lists, models and engine tasks at once; hand the pages back to the
    // system rather than leave them in the allocator's per-thread arenas, which the host's next
    // session may never reuse.
    malloc_trim(0);
#endif
}

void DownloadApp::dispatchNotify(const QString& strName, const QJsonDocument& document)
{
    const QJsonObject payload = document.object();
    QDownloadCenter* pWindow = nullptr;
    if (strName == QLatin1String("NotifySwitchMoudle")) {
        hideDownloadCenter();
        if (payload.value(QStringLiteral("menuPath")).toString() == QLatin1String(kDownloadCenterMenu) &&
            (pWindow = showDownloadCenter())) {
            pWindow->notifyWebRefreshDownloadFilePage();
        }
    } else if (strName == QLatin1String("switchToSubMenu")) {
        hideDownloadCenter();
        if (payload.value(QStringLiteral("firstLevelMenu")).toString() ==
                QLatin1String(kDownloadCenterMenu) &&
            (pWindow = showDownloadCenter()) &&
            payload.value(QStringLiteral("secondLevelMenu")).toString() == QLatin1String(kFileDownloadMenu)) {
            pWindow->onBtnFileDownloadClicked();
        }
    } else if (strName == QLatin1String("notifyDownloadingFileNum")) {
        // A count for a window nobody has opened yet is dropped.
        if ((pWindow = window())) {
            pWindow->notifyDownloadingFileNum(payload);
        }
    } else if (strName == QLatin1String("NotifyDeviceStatus")) {
        if ((pWindow = ensureHiddenDownloadCenter())) {
            pWindow->notifyDeviceStatus(payload);
        }
    } else if (strName == QLatin1String("AddDownloadTasksByPublicUrl")) {
        if ((pWindow = ensureHiddenDownloadCenter())) {
            pWindow->addDownloadTasksByPublicUrl(payload);
        }
    } else if (strName == QLatin1String("NotifyLoginOut")) {
        logOut();
    }
}

QDownloadCenter* DownloadApp::window() const
{
    // A window shutting down is still a live object, but no longer one to use.
    QDownloadCenter* pWindow = m_pDownloadCenter;
    return pWindow && pWindow == QDownloadCenter::current() ? pWindow : nullptr;
}

QDownloadCenter* DownloadApp::ensureDownloadCenter()
{
    QDownloadCenter* pWindow = window();
    if (!pWindow) {
        pWindow = m_pDownloadCenter = QDownloadCenter::instance();
    }
    // Before initPlugin there is nothing to embed it in; it is embedded at the next use after.
    if (pWindow && !pWindow->isInited() && m_pParentWidget) {
        pWindow->initWidget(m_pParentWidget);
    }
    return pWindow;
}

QDownloadCenter* DownloadApp::ensureHiddenDownloadCenter()
{
    // Only the menus show the window; one made for background work stays hidden.
    QDownloadCenter* pWindow = window();
    if (!pWindow && (pWindow = ensureDownloadCenter())) {
        pWindow->hide();
    }
    return pWindow;
}

QDownloadCenter* DownloadApp::showDownloadCenter()
{
    QDownloadCenter* pWindow = ensureDownloadCenter();
    // A window that is not embedded would come up as a window of its own.
    if (!pWindow || !pWindow->isInited()) {
        return nullptr;
    }
    pWindow->show();
    return pWindow;
}

void DownloadApp::hideDownloadCenter()
{
    QDownloadCenter* pWindow = window();
    if (pWindow && !pWindow->isHidden()) {
        pWindow->hide();
    }
}
