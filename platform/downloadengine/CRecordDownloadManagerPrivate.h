#pragma once

#include <QSet>
#include <QString>
#include <QThreadPool>

#include <map>
#include <memory>

#include "CRecordDecoder.h"
#include "CRecordTask.h"

class CRecordDownloadManager;
class QNetworkAccessManager;

// The record engine's state and work, behind CRecordDownloadManager. GUI thread only, except
// the decoding, which runs on the private pool and hands its result back through the event loop.
class CRecordDownloadManagerPrivate
{
public:
    // Answers of startDownload.
    enum StartResult
    {
        Started = 0,
        UnknownTask = -1,
        NoFreeSlot = -2,
        UnknownSource = -3,
        NotWritable = -4
    };

    static constexpr int kDefaultMaxDownloadNum = 5;

    explicit CRecordDownloadManagerPrivate(CRecordDownloadManager* pOwner);

    CRecordTask* task(int nIndex) const;
    int runningCount() const;

    void prepare(int nIndex, CRecordTask& task);
    int start(int nIndex, CRecordTask& task);
    // Ends the task's transfer or decoding, keeping what is on disk; no signal.
    void halt(CRecordTask& task);
    void removeWorkFiles(CRecordTask& task);
    // Whether info's target lies in the download folder, is no other task's and has the engine's
    // own partial file of info's source beside it: only then is it continued (with a Range
    // request); otherwise the task gets a free name and starts over.
    bool isOwnTarget(int nIndex, const DownloadInfo& info) const;
    // Notes the task's source beside its partial file, before a fresh transfer writes it.
    static bool markSource(const CRecordTask& task);

    CRecordDownloadManager* q = nullptr;
    int m_nMaxDownloadNum = kDefaultMaxDownloadNum;
    std::map<int, std::unique_ptr<CRecordTask>> m_mapTasks;

private:
    QNetworkAccessManager* access();
    QSet<QString> targetsOfOthers(int nIndex) const;
    void askSize(int nIndex, CRecordTask& task);
    void forgetSizeRequest(CRecordTask& task);
    void onTransferFinished(int nIndex, CHttpTransfer* pTransfer, bool bOk, const QString& strError);
    void beginDecode(int nIndex);
    void onDecoded(int nIndex, quint64 nToken, const QString& strOutput,
                   const CRecordDecoder::Result& result);
    // Marks the task failed and reports it.
    void fail(int nIndex, CRecordTask& task, const QString& strError);

    QNetworkAccessManager* m_pAccess = nullptr;
    QThreadPool m_pool;
    quint64 m_nLastToken = 0;
};
