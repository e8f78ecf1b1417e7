#pragma once

#include <QJsonObject>
#include <QString>

class QObject;

#include <functional>

// The client's notification bus: parts of the client register under a name and receive
// the JSON messages posted to that name. Messages are posted: the receiver runs later, from
// the event loop of its context object's thread, never inside sendRPCNotify.
class WebNotifyBus
{
public:
    using Receiver = std::function<void(const QJsonObject& message)>;

    // Answers whether a receiver of that name exists (and so will get the message).
    static bool sendRPCNotify(QJsonObject& message, QString receiver);

    // A later registration under the same name replaces the earlier one. The registration
    // ends by itself when context is destroyed.
    static void registerReceiver(const QString& name, QObject* context, Receiver receiver);
    static void unregisterReceiver(const QString& name);
};
