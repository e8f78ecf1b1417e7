#pragma once

#include <QString>
#include <QtGlobal>

class QFile;

// One public-URL job, copied in and out of the runner's map by value.
struct PublicUrlTaskInfo
{
    QString strTaskId;           // the page's task id; the map key
    QString strUrl;              // the public URL
    QString strFileName;         // the file name asked for, reported back as it was asked
    QString strFilePath;         // the free name reserved for the file; written as <it>.part first
    QString strHost;             // host and port, for the per-host limit of transfers
    float fProgress = 0;         // received bytes over the total, 0 to 1; 0 while the total is unknown
    int nStatus = 0;             // 0 in progress (waiting or running), 2 failed, 3 finished
    bool bRunning = false;       // its transfer has been started and has not ended
    bool bSpaceChecked = false;  // the announced length was held against the free space
    qint64 nOrder = 0;           // when it was accepted, to drop the oldest ended jobs first
    qint64 nCurrLength = 0;      // bytes counted from progress reports
    QFile* pFile = nullptr;      // the partial file while it is written; owned by the runner
};
