#pragma once

#include <QString>
#include <QtGlobal>

#include <string>

#include <downloadengine/DownloadInfo.h>

#include "CTaskTypes.h"

// One unfinished recording as the record list keeps it: what it shows and acts on of the
// engine's record (the whole record stays with the engine and, for the next start, in the
// history), and what the row shows of its progress. Everything the table answers is worked out
// from these values. A list of 100,000 tasks keeps 100,000 of them: only what is read is here.
struct CRecordTaskValue
{
    CRecordTaskValue() = default;
    CRecordTaskValue(int nIndex, const DownloadInfo& record);

    qint64 nFileSize = 0;
    // Its stored copy in the history (0: none).
    qint64 nStoredId = 0;
    int nTaskIndex = 0;
    CTaskTypes::State eState = CTaskTypes::Waiting;
    uint nPercent = 0;
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
    // The engine cannot tell this recording's size (by its source and mode).
    bool bSizeUnknown = false;
    QString strFileName;
    QString strFilePath;
    QString strChannelName;
    QString strShopName;
    QString strDeviceId;
    std::string strBeginTime;
    std::string strEndTime;
    QString strSpeed = QStringLiteral("--");
    // The time left, while downloading.
    QString strTimeLeft;

    qint64 total() const { return nFileSize; }
    // The bytes it has, by its size and the percent shown.
    qint64 bytesDone() const { return total() * qMin<uint>(nPercent, 100) / 100; }
};
