#include "DownloadApp.h"
#include "FuzzProcess.h"

#include <QWidget>

// The host's notifications: the first byte picks one of the names the plugin subscribes to, the
// rest is the notification's JSON text. After a log-out the next window is a new one, as in the
// client.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static const char* const names[] = {"NotifySwitchMoudle",       "switchToSubMenu",
                                        "notifyDownloadingFileNum", "AddDownloadTasksByPublicUrl",
                                        "NotifyDeviceStatus",       "NotifyLoginOut"};
    static DownloadApp* pPlugin = new DownloadApp;
    static QWidget* pHost = new QWidget;
    // Without a host object the plugin subscribes to nothing; the notifications come from here.
    pPlugin->initPlugin(pHost, nullptr, nullptr);
    AppPluginNotification notification;
    notification.strName = QLatin1String(names[nSize > 0 ? pData[0] % 6 : 0]);
    notification.strJson = QString::fromUtf8(reinterpret_cast<const char*>(pData), int(nSize)).mid(1);
    pPlugin->onNotify(notification);
    fuzz::settle();
    return 0;
}
