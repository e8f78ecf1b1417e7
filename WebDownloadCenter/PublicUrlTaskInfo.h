#pragma once

#include <QString>
#include <QtGlobal>

class QFile;

// One public-URL job, copied in and out of the runner's map by value.
struct PublicUrlTaskInfo
{
    QString strTaskId;         // the page's task id; the map key
    QString strUrl;            // the public URL
    QString strFileName;       // the file name asked for, reported back as it was asked
    QString strFilePath;       // the target path; the free name once the file exists
    float fProgress = 0;       // received bytes over the total, 0 to 1; 0 while the total is unknown
    bool bFileOpened = false;  // the file step ran (successfully or not)
    int nStatus = 0;           // 0 in progress, 2 failed, 3 finished
    qint64 nCurrLength = 0;    // bytes counted from progress reports
    QFile* pFile = nullptr;    // the target file while it is written; owned by the runner
};
