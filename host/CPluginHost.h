#pragma once

#include <QJsonObject>
#include <QObject>
#include <QPluginLoader>
#include <QString>
#include <QStringList>

#include <appplugin/IAppPlugin.h>

class QWidget;

// The client's plugin host, reduced to one plugin: loads it, hands it its parent widget and
// delivers the notifications it subscribed to, each as a name and a JSON text.
class CPluginHost : public QObject, public IAppPluginHost
{
    Q_OBJECT

public:
    static constexpr const char* kPluginIid = "DownloadApp.Interface.DownloadAppPlugin";

    explicit CPluginHost(QObject* parent = nullptr);
    // The library stays loaded: it is linked in too, and its window may outlive this object.
    ~CPluginHost() override = default;

    // Loads the plugin library at strFilePath and checks that it is the download centre. On
    // failure, strError says what was wrong and nothing is loaded.
    bool load(const QString& strFilePath, QString& strError);
    // The version the loaded library's metadata gives; empty before a load.
    QString pluginVersion() const;

    // Hands the plugin the widget it lives in; the plugin subscribes from inside this call.
    void initPlugin(QWidget* pParent);
    void uninitPlugin();

    // Sends a notification; only names the plugin subscribed to reach it. True when delivered.
    bool notify(const QString& strName, const QJsonObject& payload);

    void registerNotify(const QStringList& names, void* context) override;

signals:
    void sgnNotified(const QString& strName, const QString& strJson, bool bDelivered);

private:
    QPluginLoader m_loader;
    AppPlugin::IAppPlugin* m_pPlugin = nullptr;
    QStringList m_listSubscribed;
    void* m_pContext = nullptr;
    qintptr m_nSequence = 0;
};
