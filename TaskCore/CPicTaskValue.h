#pragma once

#include <QString>
#include <QtGlobal>

#include <downloadengine/DownloadInfo.h>

#include "CTaskTypes.h"

// One unfinished picture package as the picture list keeps it.
struct CPicTaskValue
{
    int nTaskIndex = 0;
    DownloadPicInfo picture;
    CTaskTypes::State eState = CTaskTypes::Waiting;
    // The download-again icon is offered (failed).
    bool bRetry = false;
    bool bChecked = false;
    // As the engine reports it, unclamped: the delegate draws what it is given.
    qint64 nPercent = 0;
    // The package's size once the engine knows it; below 0 until then.
    qint64 nSize = -1;
    QString strSpeed = QStringLiteral("--");
    QString strTimeLeft;
    qint64 nStoredId = 0;
};
