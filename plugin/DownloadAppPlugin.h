#pragma once

#include <QtPlugin>

#include <appplugin/IAppPlugin.h>

// What the host looks for in the DownloadApp library: the host's plugin interface under this
// module's own interface ID. A host needs only this header to load and drive the module.
//
// The module's answers to the interface's calls, all on the GUI thread:
// - initPlugin(parent, host, context): once. Subscribes to the notifications below through host
//   (may be null) and keeps parent (not owned) as the widget the window will cover. Builds no
//   window yet; the first notification or facade call that needs one does.
// - onNotify(notification): reads strName and strJson only; text that is not JSON counts as {}.
//   NotifySwitchMoudle and switchToSubMenu show or hide the window (shown only in parent),
//   notifyDownloadingFileNum sets the file tab's badge, AddDownloadTasksByPublicUrl hands jobs to
//   the file tab, NotifyDeviceStatus with "event":"delete" removes a device's started and failed
//   recordings, NotifyLoginOut logs out (the window and the facade go; blocks for the stop
//   waits, running the event loop). Other names are not subscribed and are ignored.
// - uninitPlugin(): the same log-out; the host need not call CDownloadCenterMgr::destroyInstance()
//   as well, though doing so is harmless. Call it while the QApplication and parent still exist.
class DownloadAppPlugin : public AppPlugin::IAppPlugin
{
};

Q_DECLARE_INTERFACE(DownloadAppPlugin, "DownloadApp.Interface.DownloadAppPlugin")
