#include "CPluginHost.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <DownloadAppPlugin.h>

CPluginHost::CPluginHost(QObject* parent) : QObject(parent) {}

bool CPluginHost::load(const QString& strFilePath, QString& strError)
{
    if (m_pPlugin) {
        return true;
    }
    m_loader.setFileName(strFilePath);
    // Read without loading: a library that is not ours is never run.
    const QJsonObject metaData = m_loader.metaData();
    if (metaData.isEmpty()) {
        strError =
            tr("No plugin at %1: %2").arg(QFileInfo(strFilePath).absoluteFilePath(), m_loader.errorString());
        return false;
    }
    const QString strIid = metaData.value(QStringLiteral("IID")).toString();
    if (strIid != QLatin1String(kPluginIid)) {
        strError = tr("%1 is not the download centre: its interface is \"%2\", expected \"%3\".")
                       .arg(m_loader.fileName(), strIid, QLatin1String(kPluginIid));
        return false;
    }
    QObject* pInstance = m_loader.instance();
    auto* pPlugin = qobject_cast<DownloadAppPlugin*>(pInstance);
    if (!pPlugin) {
        strError = tr("%1 could not be loaded as the download centre: %2")
                       .arg(m_loader.fileName(), pInstance ? tr("wrong interface") : m_loader.errorString());
        return false;
    }
    m_pPlugin = pPlugin;
    return true;
}

QString CPluginHost::pluginVersion() const
{
    if (!m_pPlugin) {
        return QString();
    }
    return m_loader.metaData()
        .value(QStringLiteral("MetaData"))
        .toObject()
        .value(QStringLiteral("Version"))
        .toString();
}

void CPluginHost::initPlugin(QWidget* pParent)
{
    if (m_pPlugin) {
        m_pPlugin->initPlugin(pParent, this, this);
    }
}

void CPluginHost::uninitPlugin()
{
    if (m_pPlugin) {
        m_pPlugin->uninitPlugin();
    }
}

bool CPluginHost::notify(const QString& strName, const QJsonObject& payload)
{
    const QString strJson = QString::fromUtf8(QJsonDocument(payload).toJson(QJsonDocument::Compact));
    const bool bDeliver = m_pPlugin && m_listSubscribed.contains(strName);
    // Reported first: what the plugin does may itself lead to more notifications.
    emit sgnNotified(strName, strJson, bDeliver);
    if (!bDeliver) {
        return false;
    }
    AppPluginNotification notification;
    notification.pSender = this;
    notification.nSequence = ++m_nSequence;
    notification.strName = strName;
    notification.strJson = strJson;
    notification.pContext = m_pContext;
    m_pPlugin->onNotify(notification);
    return true;
}

void CPluginHost::registerNotify(const QStringList& names, void* context)
{
    for (const QString& strName : names) {
        if (!m_listSubscribed.contains(strName)) {
            m_listSubscribed << strName;
        }
    }
    m_pContext = context;
}
