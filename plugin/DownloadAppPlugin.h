#pragma once

#include <QtPlugin>

#include <appplugin/IAppPlugin.h>

// What the host looks for in the DownloadApp library: the host's plugin interface under this
// module's own interface ID. A host needs only this header to load and drive the module.
class DownloadAppPlugin : public AppPlugin::IAppPlugin
{
};

Q_DECLARE_INTERFACE(DownloadAppPlugin, "DownloadApp.Interface.DownloadAppPlugin")
