#pragma once

#include <QString>
#include <QtGlobal>

#include <downloadengine/DownloadInfo.h>

#include "CTaskTypes.h"

// One unfinished recording as the record list keeps it: the engine's record and what the row
// shows of its progress. Everything the table answers is worked out from these values.
struct CRecordTaskValue
{
    int nTaskIndex = 0;
    DownloadInfo record;
    CTaskTypes::State eState = CTaskTypes::Waiting;
    bool bDecoding = false;
    // Failed because the engine refused to start it: another icon, and no continue.
    bool bRefused = false;
    // The continue icon is offered (failed by the engine's notice or restored failed).
    bool bRetry = false;
    bool bChecked = false;
    // The speed icon is shown; its tooltip stays once set, as the kit only shows it with the icon.
    bool bSpeedIcon = false;
    bool bSpeedTip = false;
    // The speed factor (1, 2 or 4); 0 until the speed icon was first set or cleared.
    qint8 nSpeed = 0;
    // A factor to go on with when the task starts again after a restart.
    qint8 nRestoredSpeed = 0;
    uint nPercent = 0;
    QString strSpeed = QStringLiteral("--");
    // The time left, while downloading.
    QString strTimeLeft;
    // Its stored copy in the history (0: none).
    qint64 nStoredId = 0;

    qint64 total() const { return record.stRecordFile.nFileSize; }
    // The bytes it has, by its size and the percent shown.
    qint64 bytesDone() const { return total() * qMin<uint>(nPercent, 100) / 100; }
};
