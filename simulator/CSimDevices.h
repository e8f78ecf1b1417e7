#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <mutex>

// What the simulated devices share between the server's threads and whoever runs the server:
// knobs set per device, and a record of the requests the devices were sent (a test reads the
// Range headers a client sent when it resumed). Safe to use from any thread.
class CSimDevices
{
public:
    struct Request
    {
        QString strMethod;  // "GET" or "HEAD"
        QString strDeviceId;
        int nChannel = 0;
        QString strKind;   // "record" or "pictures"
        QString strRange;  // the Range header as sent, empty when there was none
    };

    // Knobs of CSimKnobs that apply to every request for the device, as a query text
    // ("dropAfter=1000&rate=65536"); a knob in the request's own query wins. Empty clears them.
    void setKnobs(const QString& strDeviceId, const QString& strQuery);
    QString knobs(const QString& strDeviceId) const;

    void record(const Request& request);
    // The requests seen so far, oldest first; the oldest are forgotten past kMaxRequests.
    QList<Request> requests() const;
    QList<Request> requests(const QString& strDeviceId) const;
    // The Range headers of the device's GET requests of one kind, oldest first ("" when none).
    QStringList ranges(const QString& strDeviceId, const QString& strKind) const;
    void clearRequests();

    static constexpr int kMaxRequests = 10000;

private:
    mutable std::mutex m_mutex;
    QMap<QString, QString> m_mapKnobs;
    QList<Request> m_listRequests;
};
