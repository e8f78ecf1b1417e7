#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The host's registration object: a plugin subscribes to named notifications through it.
class IAppPluginHost
{
public:
    virtual void registerNotify(const QStringList& names, void* context) = 0;

protected:
    ~IAppPluginHost() = default;
};

// One notification delivered by the host: a name and a JSON text. The host fills the
// record; plugins read only strName and strJson, the third and fourth members.
struct AppPluginNotification
{
    void* pSender = nullptr;
    qintptr nSequence = 0;
    QString strName;
    QString strJson;
    void* pContext = nullptr;
};

namespace AppPlugin {

// What the host calls on every plugin. No virtual destructor: the host never deletes a
// plugin object through this interface.
class IAppPlugin
{
public:
    virtual void initPlugin(QWidget* parent, IAppPluginHost* host, void* context) = 0;
    virtual void onNotify(const AppPluginNotification& notification) = 0;
    virtual void uninitPlugin() = 0;
};

}  // namespace AppPlugin
