#pragma once

#include <QString>
#include <QtGlobal>

#include "NetworkReplyData.h"

namespace Common {

// Receives the callbacks of a NetworkManager; every callback names the task it concerns.
class NetworkManagerListener
{
public:
    NetworkManagerListener();

    // The transfer ended; data holds its last piece (possibly empty).
    virtual void onNetworkFinished(NetworkReplyData data, QString strTaskId) = 0;
    // A piece of data arrived.
    virtual void onNetworkReadyRead(NetworkReplyData data, QString strTaskId) = 0;
    // The transfer failed; nothing more comes for that task.
    virtual void onNetworkError(qint64 nCode, QString strError, QString strTaskId) = 0;
    // nTotal is the expected size (0 when unknown), nChunk the bytes since the last report.
    virtual void onNetworkProgress(qint64 nTotal, qint64 nChunk, QString strTaskId) = 0;

protected:
    virtual ~NetworkManagerListener();
};

}  // namespace Common
