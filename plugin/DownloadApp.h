#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "DownloadAppPlugin.h"

class QDownloadCenter;
class QJsonDocument;
class QWidget;

// The object the host takes from the library: subscribes to the host's notifications and turns
// them into actions on the download centre window (menu switches, badges, device deletions,
// public-URL jobs, log-out).
class DownloadApp : public QObject, public DownloadAppPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "DownloadApp.Interface.DownloadAppPlugin" FILE "DownloadApp.json")
    Q_INTERFACES(DownloadAppPlugin)

public:
    DownloadApp();
    ~DownloadApp() override;

    void initPlugin(QWidget* parent, IAppPluginHost* host, void* context) override;
    // A text that is not JSON counts as an empty object; names not subscribed to do nothing.
    void onNotify(const AppPluginNotification& notification) override;
    // As a log-out: the window and the facade shut down, then go (the host need not call
    // destroyInstance() itself).
    void uninitPlugin() override;

private:
    void dispatchNotify(const QString& strName, const QJsonDocument& document);
    // Shuts the window down, then deletes it and the facade.
    void logOut();
    // The window taken before, while it is not being torn down.
    QDownloadCenter* window() const;
    // Takes the window singleton, embedding it in the host's widget if nobody has yet; null
    // while a window is being torn down.
    QDownloadCenter* ensureDownloadCenter();
    // The same for background work: a window taken here stays hidden.
    QDownloadCenter* ensureHiddenDownloadCenter();
    // Takes the window and shows it; null when there is no host widget to show it in.
    QDownloadCenter* showDownloadCenter();
    // Hides the window if it is shown; every module switch starts from a hidden one.
    void hideDownloadCenter();

    QWidget* m_pParentWidget = nullptr;
    IAppPluginHost* m_pHost = nullptr;
    // The facade may destroy the window on its own; the cache then empties itself.
    QPointer<QDownloadCenter> m_pDownloadCenter;
};
