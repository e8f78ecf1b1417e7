#include <hostservices/WebNotifyBus.h>

#include <QMap>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QPointer>

namespace {

struct Registration
{
    QPointer<QObject> pContext;
    WebNotifyBus::Receiver receiver;
};

QMutex& busMutex()
{
    static QMutex s_mutex;
    return s_mutex;
}

QMap<QString, Registration>& registrations()
{
    static QMap<QString, Registration> s_map;
    return s_map;
}

}  // namespace

bool WebNotifyBus::sendRPCNotify(QJsonObject& message, QString receiver)
{
    Registration registration;
    {
        QMutexLocker locker(&busMutex());
        auto it = registrations().find(receiver);
        if (it == registrations().end()) {
            return false;
        }
        if (it->pContext.isNull()) {
            registrations().erase(it);
            return false;
        }
        registration = *it;
    }
    // Posted, so a receiver that tears down the sender's widgets does so after the sender
    // has returned.
    const QJsonObject copy = message;
    const Receiver fnReceive = registration.receiver;
    return QMetaObject::invokeMethod(
        registration.pContext.data(), [fnReceive, copy]() { fnReceive(copy); }, Qt::QueuedConnection);
}

void WebNotifyBus::registerReceiver(const QString& name, QObject* context, Receiver receiver)
{
    if (!context || !receiver) {
        return;
    }
    QMutexLocker locker(&busMutex());
    registrations().insert(name, Registration{context, std::move(receiver)});
}

void WebNotifyBus::unregisterReceiver(const QString& name)
{
    QMutexLocker locker(&busMutex());
    registrations().remove(name);
}
