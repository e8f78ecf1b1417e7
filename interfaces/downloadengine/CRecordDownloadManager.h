#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "DownloadInfo.h"

class CRecordDownloadManagerPrivate;

// The engine's record download manager: a process-wide singleton. Tasks are known by
// the index the caller hands out with addDownloadTask.
class CRecordDownloadManager : public QObject
{
    Q_OBJECT

public:
    static CRecordDownloadManager& getInstance();

    void setMaxDownloadNum(int nMax);
    bool isLeftDiskFreeSpaceEnough(const DownloadInfo& info);
    void addDownloadTask(int nIndex, const DownloadInfo& info);
    void prepareDownloadInfo(int nIndex);
    DownloadInfo getDownloadInfo(int nIndex);
    bool canStillDownload();
    // 0 started, -2 no free slot (try again later), other negative values a failure.
    int startDownload(int nIndex);
    int getCurDownloadNumber();
    void getDownloadSpeedAndPercent(int nIndex, float& fPercent, QString& strSpeed);
    // Above 0 when the new speed factor (1, 2 or 4) is accepted.
    int setDownloadSpeed(int nIndex, int nSpeed);
    QList<int> getCurDownloadIndexs();
    void stopDownload(int nIndex, EnumStopReason eReason, bool bAbort);
    void deleteDownloadFile(int nIndex);
    void destoryDownloadObj(int nIndex);
    QString getDownloadDir();

signals:
    void sgnDownloadStateNotify(int nIndex, bool bSucceed, const DownloadInfo& info);
    void sgnBeginDecodeNotify(int nIndex);

private:
    CRecordDownloadManager();
    ~CRecordDownloadManager() override;
    Q_DISABLE_COPY(CRecordDownloadManager)

    CRecordDownloadManagerPrivate* d = nullptr;
};
