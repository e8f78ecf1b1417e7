#pragma once

#include <QByteArray>
#include <QString>

// One piece of a transfer handed to a NetworkManagerListener.
struct NetworkReplyData
{
    QByteArray baData;    // the bytes received since the previous piece
    int nHttpStatus = 0;  // the response's status code, once known
    QString strUrl;       // the address finally fetched, after redirects
};
