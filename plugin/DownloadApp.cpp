#include "DownloadApp.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "CDownloadCenterMgr.h"
#include "QDownloadCenter.h"

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

void DownloadApp::uninitPlugin() {}

void DownloadApp::dispatchNotify(const QString& strName, const QJsonDocument& document)
{
    const QJsonObject payload = document.object();
    if (strName == QLatin1String("NotifySwitchMoudle")) {
        hideDownloadCenter();
        if (payload.value(QStringLiteral("menuPath")).toString() == QLatin1String(kDownloadCenterMenu) &&
            showDownloadCenter()) {
            m_pDownloadCenter->notifyWebRefreshDownloadFilePage();
        }
    } else if (strName == QLatin1String("switchToSubMenu")) {
        hideDownloadCenter();
        if (payload.value(QStringLiteral("firstLevelMenu")).toString() ==
                QLatin1String(kDownloadCenterMenu) &&
            showDownloadCenter() &&
            payload.value(QStringLiteral("secondLevelMenu")).toString() == QLatin1String(kFileDownloadMenu)) {
            m_pDownloadCenter->onBtnFileDownloadClicked();
        }
    } else if (strName == QLatin1String("notifyDownloadingFileNum")) {
        // A count for a window nobody has opened yet is dropped.
        if (m_pDownloadCenter) {
            m_pDownloadCenter->notifyDownloadingFileNum(payload);
        }
    } else if (strName == QLatin1String("NotifyDeviceStatus")) {
        ensureHiddenDownloadCenter();
        m_pDownloadCenter->notifyDeviceStatus(payload);
    } else if (strName == QLatin1String("AddDownloadTasksByPublicUrl")) {
        ensureHiddenDownloadCenter();
        m_pDownloadCenter->addDownloadTasksByPublicUrl(payload);
    } else if (strName == QLatin1String("NotifyLoginOut")) {
        if (m_pDownloadCenter) {
            QDownloadCenter::destroyInstance();
            m_pDownloadCenter = nullptr;
        }
        // Also takes the window with it if only the facade held it.
        CDownloadCenterMgr::destroyInstance();
    }
}

void DownloadApp::ensureDownloadCenter()
{
    if (!m_pDownloadCenter) {
        m_pDownloadCenter = QDownloadCenter::instance();
    }
    // Before initPlugin there is nothing to embed it in; it is embedded at the next use after.
    if (!m_pDownloadCenter->isInited() && m_pParentWidget) {
        m_pDownloadCenter->initWidget(m_pParentWidget);
    }
}

void DownloadApp::ensureHiddenDownloadCenter()
{
    // Only the menus show the window; one made for background work stays hidden.
    if (!m_pDownloadCenter) {
        ensureDownloadCenter();
        m_pDownloadCenter->hide();
    }
}

bool DownloadApp::showDownloadCenter()
{
    ensureDownloadCenter();
    // A window that is not embedded would come up as a window of its own.
    if (!m_pDownloadCenter->isInited()) {
        return false;
    }
    m_pDownloadCenter->show();
    return true;
}

void DownloadApp::hideDownloadCenter()
{
    if (m_pDownloadCenter && !m_pDownloadCenter->isHidden()) {
        m_pDownloadCenter->hide();
    }
}
