#pragma once

#include <QHash>
#include <QPointer>
#include <QString>

#include <memory>

#include <downloadengine/DownloadInfo.h>
#include <orbgui/OrbItemDataRole.h>

#include "CDownloadHistory.h"
#include "CFinishNotices.h"
#include "CTaskTable.h"
#include "CTimeLeft.h"
#include "QDownloadListBase.h"

class QModelIndex;
class QStandardItem;
class QTimer;
class CRecordDownloadManager;
class CPicDownloadManager;
class CPicTaskList;
class CRecordRemoval;

namespace Ui {
class DownloadingWidget;
}

// The "Downloading" page: a record table and a picture table of unfinished tasks, one shown at a
// time, driven by the download engine. Anything that re-enters the event loop (the stop wait,
// modal boxes, some engine calls) is followed by a fresh look at the rows, through persistent
// indexes or task indexes, never by a row number kept from before.
class QDownloadingWidget : public QDownloadListBase
{
    Q_OBJECT

public:
    // State of a task row, under Qt::UserRole of its Status cell and mirrored on its Percent cell.
    enum RecordTaskState
    {
        TaskWaiting = CTaskTable::Waiting,
        TaskDownloading = CTaskTable::Downloading,  // downloading or decoding
        TaskFailed = CTaskTable::Failed,
    };

    // Columns of the record table.
    enum RecordColumn
    {
        RecordColumnCheck = 0,
        RecordColumnFileName,
        RecordColumnChannel,
        RecordColumnShop,
        RecordColumnBeginTime,
        RecordColumnEndTime,
        RecordColumnFileSize,
        RecordColumnPercent,
        RecordColumnSpeed,
        RecordColumnStatus,
        RecordColumnOperate,
        RecordColumnCount
    };

    // Columns of the picture table.
    enum PicColumn
    {
        PicColumnCheck = 0,
        PicColumnFileName,
        PicColumnBeginTime,
        PicColumnEndTime,
        PicColumnFileSize,
        PicColumnPercent,
        PicColumnSpeed,
        PicColumnStatus,
        PicColumnOperate,
        PicColumnCount
    };

    // The engine runs at most this many record downloads at once.
    static constexpr int kMaxRecordDownloads = 5;
    static constexpr int kProgressIntervalMs = 1000;
    // Pause between stopping a task and acting on it, so the engine can let go of its file.
    static constexpr int kStopWaitMs = 100;

    explicit QDownloadingWidget(QWidget* parent = nullptr);
    ~QDownloadingWidget() override;

    // Titles the record table's column 3 with the product name.
    void setProductName(const QString& strName) override;
    // Removes every row of both tables and disposes of their engine tasks, without questions.
    void clearDownloadingList();
    // Brings back the stored unfinished tasks, in their old order (running and waiting ones queue
    // again, failed ones stay failed), and keeps every task from now on. Call once, on empty
    // tables.
    void attachHistory(CDownloadHistory* pHistory);
    // Runs the event loop for a while: what follows must look its rows up again.
    static void waitWithEventLoop(int nMilliseconds);

signals:
    void sgnDownloadFinished(const DownloadInfo& task);
    void sgnPicDownloadFinished(const DownloadPicInfo& taskInfo);
    // Rows of both tables together, after any change.
    void sgnDownloadingItemNumChanaged(int nCount);

public slots:
    void onAddDownloadTask(const DownloadInfo& task);
    void onAddPicDownloadTask(const DownloadPicInfo& strToken);
    void onTimeOut();
    void onDelete();
    void onDeleteTmpFile();
    void onOpenFolder();
    void onPixmapItemClicked(const QModelIndex& modelIndex,
                             ORBGUI::struTreeViewData::OrbItemDataRole eDateRole);
    void onPicPixmapItemClicked(const QModelIndex& modelIndex,
                                ORBGUI::struTreeViewData::OrbItemDataRole eDateRole);
    void onRecordDownloadingClicked();
    void onPictureDownloadingClicked();
    void onPicFinishedDowndload();
    void onPicDownloadError(QString strError);
    void onPicDownloadProgress(qint64 nPercent);
    void onPicGetDownloadZipInfo(int size);
    void onDownloadStateNotify(int downloadId, bool succeed, const DownloadInfo& info);
    void onBeginDecodeNotify(int downloadId);
    void onDeviceDeleteNotify(QString strDeviceId, int nChannelId);

protected:
    void fillRowMenu(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& index) override;
    void openFolder() override;
    void deleteChecked() override;
    void activateRow(ORBGUI::OrbTableView* pView, const QModelIndex& index) override;

private:
    void initTableViews();
    void updateDownloadingItemNum();

    // Starts the first waiting record row from the top; only -1 does anything.
    void startDownload(int nIndex);
    void addRecordRow(int nIndex, const DownloadInfo& info);
    void restoreRecordTask(const CDownloadHistory::Entry& entry);
    // A failed record row: its icon, the continue icon, no speed icon.
    void showFailed(int nRow);
    // Writes the rows' states and bytes once more and lets go of the history: the rows that go
    // now stay stored for the next start.
    void keepTasksForNextStart();
    // Sets (bShow) or clears icon slot 2 of an Operate cell; the cell keeps nSpeed either way.
    void setSpeedButton(QStandardItem* pItem, int nSpeed, bool bShow);
    void continueRecordTask(int nRow);
    // Continue or re-download: the row waits again; false for a stale click.
    bool requeueRow(CTaskTable& table, int nRow);
    // To nSpeed, or with 0 to the next factor as the speed icon does (1x, 2x, 4x, 1x).
    void changeRecordSpeed(int nRow, int nSpeed = 0);

    // The picture side lives in CPicTaskList; these hand over to it.
    void addPicRow(int nIndex, const DownloadPicInfo& info);
    // Starts the first waiting picture row unless one is downloading; only -1 does anything.
    void startPicDownload(int nIndex);

    // Re-applies the style sheet rules that depend on the "selected" property.
    static void setSelectedProperty(QWidget* pButton, bool bSelected);

    Ui::DownloadingWidget* ui = nullptr;
    QTimer* m_pTimer = nullptr;
    int m_nDownloadIndex = 0;
    int m_nPicDownloadIndex = 0;
    std::unique_ptr<CTaskTable> m_pRecordTable;
    CTimeLeft m_timeLeft;
    CFinishNotices* m_pNotices = nullptr;
    CPicTaskList* m_pPictures = nullptr;
    CRecordRemoval* m_pRemoval = nullptr;
    CRecordDownloadManager* m_pRecordDownloadMgr = nullptr;
    CPicDownloadManager* m_pPicDownloadMgr = nullptr;
    QPointer<CDownloadHistory> m_pHistory;
    // Speed factors of restored tasks, applied when they start again.
    QHash<int, int> m_hashRestoredSpeed;
};
