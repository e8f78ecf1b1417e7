#pragma once

#include <QObject>
#include <QString>

namespace Common {

class NetworkManagerListener;
class NetworkManagerPrivate;

// The client's HTTP client: one request per task, results through a listener.
class NetworkManager : public QObject
{
    Q_OBJECT

public:
    NetworkManager();
    ~NetworkManager() override;

    void registerObject(NetworkManagerListener* listener);
    // Starts fetching url for taskId; answers 0 when the request was issued.
    int getRequestPublicUrl(QString url, QString taskId);
    // Stops taskId's transfer at once; the listener hears nothing more of it.
    void abortRequest(QString taskId);

private:
    NetworkManagerPrivate* d = nullptr;
};

}  // namespace Common
