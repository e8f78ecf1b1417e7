#pragma once

#include <QJsonObject>

// A component that can take messages from the client's notification bus.
class IWebNotifyBusHost
{
public:
    virtual ~IWebNotifyBusHost() = default;

    // Answers whether the message was taken.
    virtual bool onWebNotifyBusMessage(const QJsonObject& message) = 0;
};
