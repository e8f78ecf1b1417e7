#pragma once

#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>

#include <downloadengine/DownloadInfo.h>

#include "CHttpTransfer.h"

class QNetworkReply;

// What the record engine holds for one task: its record and where its work stands. The files
// of a task are its target (info.strFilePath), the framed download beside it (partPath) and,
// while decoding, the decoder's output (strDecodePath), renamed to the target at the end.
class CRecordTask
{
public:
    enum class State
    {
        Waiting,       // added; never started, or started again later
        Transferring,  // takes a slot
        Decoding,      // takes a slot
        Finished,
        Failed,
        Stopped
    };

    bool isRunning() const { return eState == State::Transferring || eState == State::Decoding; }
    QString partPath() const { return info.strFilePath + QStringLiteral(".part"); }
    // Beside the partial file: the source it was fetched from. A partial file without it, or from
    // another source, is not this task's and is never continued.
    QString sourceMarkPath() const { return partPath() + QStringLiteral(".source"); }

    DownloadInfo info;
    State eState = State::Waiting;
    int nSpeed = 1;
    // Bytes of the framed download on disk, and its whole size once known (-1 before).
    qint64 nReceived = 0;
    qint64 nTotal = -1;
    QPointer<CHttpTransfer> pTransfer;
    QPointer<QNetworkReply> pSizeReply;  // the size asked of the source while waiting
    std::shared_ptr<std::atomic_bool> pCancelDecode;
    quint64 nDecodeToken = 0;  // 0 when no decode's result is awaited
    QString strDecodePath;
};
