#pragma once

#include <QObject>
#include <QString>

#include "DownloadInfo.h"

class CPicDownloadManagerPrivate;

// The engine's picture download manager: a process-wide singleton that runs one picture
// task at a time. Its signals name no task: they concern the running one.
class CPicDownloadManager : public QObject
{
    Q_OBJECT

public:
    static CPicDownloadManager& getInstance();

    void appendPicDownloadInfo(int nIndex, const DownloadPicInfo& info);
    bool isPicDownloadingNow();
    bool startDownload(int nIndex);
    long getSecondDownloadSize();
    void adjustFileSize(int nIndex, qint64 nSize);
    DownloadPicInfo getDownloadPicInfo(int nIndex);
    // bStopRunning is true for the running task and on clear.
    bool removeDownloadPicTask(int nIndex, bool bStopRunning);
    int getPicDownloadSize();
    void clearAllPicDownloadObj();

signals:
    void sgnPicFinishedDowndload();
    void sgnPicDownloadError(QString strError);
    void sgnPicDownloadProgress(qint64 nPercent);
    void sgnPicGetDownloadZipInfo(qint64 nSize);

private:
    CPicDownloadManager();
    ~CPicDownloadManager() override;
    Q_DISABLE_COPY(CPicDownloadManager)

    CPicDownloadManagerPrivate* d = nullptr;
};
