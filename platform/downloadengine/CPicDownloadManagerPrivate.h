#pragma once

#include <QPointer>
#include <QString>

#include <map>

#include <downloadengine/DownloadInfo.h>

#include "CHttpTransfer.h"

class CPicDownloadManager;
class QNetworkAccessManager;

// The picture engine's state and work, behind CPicDownloadManager: held tasks and the one
// transfer that runs. GUI thread only.
class CPicDownloadManagerPrivate
{
public:
    static constexpr int kNoTask = -1;

    struct PicTask
    {
        DownloadPicInfo info;
        QString strPath;  // the package's file; "<strPath>.part" while it is fetched
        bool bFinished = false;
    };

    explicit CPicDownloadManagerPrivate(CPicDownloadManager* pOwner);

    PicTask* task(int nIndex);
    // Gives the task its file in the download folder: a safe name, free unless it may overwrite.
    void placeFile(int nIndex, PicTask& task);
    bool start(int nIndex, PicTask& task);
    // Ends the running transfer, without a signal.
    void haltRunning();
    static void removePartial(const PicTask& task);

    CPicDownloadManager* q = nullptr;
    std::map<int, PicTask> m_mapTasks;
    int m_nRunning = kNoTask;
    QPointer<CHttpTransfer> m_pTransfer;

private:
    QNetworkAccessManager* access();
    void onTotalKnown(CHttpTransfer* pTransfer, qint64 nTotal);
    void onProgress(CHttpTransfer* pTransfer, qint64 nReceived);
    void onFinished(CHttpTransfer* pTransfer, bool bOk, const QString& strError);

    QNetworkAccessManager* m_pAccess = nullptr;
    int m_nLastPercent = -1;
    bool m_bSizeReported = false;
};
