#pragma once

#include <QPointer>
#include <QString>

#include <downloadengine/DownloadInfo.h>
#include <orbgui/OrbItemDataRole.h>

#include "CDownloadHistory.h"
#include "CTaskTypes.h"
#include "QDownloadListBase.h"

class QModelIndex;
class QTimer;
class CFinishNotices;
class CPicDownloadManager;
class CPicTaskList;
class CRecordDownloadManager;
class CRecordTaskList;

namespace Ui {
class DownloadingWidget;
}

// The "Downloading" page: a record table and a picture table of unfinished tasks, one shown at a
// time. The tasks, their queues and the engine live in the task core (CRecordTaskList,
// CPicTaskList); this page shows their models, asks the user's questions and forwards clicks,
// keys and menu entries there.
class QDownloadingWidget : public QDownloadListBase
{
    Q_OBJECT

public:
    // State of a task row, under Qt::UserRole of its Status cell and mirrored on its Percent cell.
    enum RecordTaskState
    {
        TaskWaiting = CTaskTypes::Waiting,
        TaskDownloading = CTaskTypes::Downloading,  // downloading or decoding
        TaskFailed = CTaskTypes::Failed,
    };

    static constexpr int kProgressIntervalMs = 1000;

    explicit QDownloadingWidget(QWidget* parent = nullptr);
    // Drops nothing and waits for nothing: shutdown() first.
    ~QDownloadingWidget() override;
    // Log-out's first step, while the window is whole: stores what the tasks have, stops the
    // running ones (each stop waits, running the event loop) and lets the engine go. Tasks and
    // files come back at the next start; a task that ends meanwhile ends as at any time.
    void shutdown();

    // Titles the record table's product column with the product name.
    void setProductName(const QString& strName) override;
    // Removes every row of both tables and disposes of their engine tasks, without questions.
    void clearDownloadingList();
    // Brings back the stored unfinished tasks, in their old order (running and waiting ones queue
    // again, failed ones stay failed), and keeps every task from now on. Call once, on empty
    // tables.
    void attachHistory(CDownloadHistory* pHistory);
    // Runs the event loop for a while: what follows must look its tasks up again.
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
    void onPicGetDownloadZipInfo(qint64 size);
    void onDownloadStateNotify(int downloadId, bool succeed, const DownloadInfo& info);
    void onBeginDecodeNotify(int downloadId);
    void onDeviceDeleteNotify(QString strDeviceId, int nChannelId);

protected:
    void fillRowMenu(QMenu* pMenu, ORBGUI::OrbTableView* pView, const QModelIndex& index) override;
    void openFolder() override;
    void deleteChecked() override;
    void activateRow(ORBGUI::OrbTableView* pView, const QModelIndex& index) override;
    void showEvent(QShowEvent* event) override;

private:
    void initTableViews();
    void updateDownloadingItemNum();
    // Both tables show the icons of the client's skin now.
    void followSkin();
    // The timer starts with the first task and runs from then on.
    void startTimer();
    // The question asked before a downloading picture goes; true only when the user confirmed.
    bool confirmedRunningPictureDelete();

    // Re-applies the style sheet rules that depend on the "selected" property.
    static void setSelectedProperty(QWidget* pButton, bool bSelected);

    Ui::DownloadingWidget* ui = nullptr;
    QTimer* m_pTimer = nullptr;
    CRecordTaskList* m_pRecords = nullptr;
    CPicTaskList* m_pPictures = nullptr;
    CFinishNotices* m_pNotices = nullptr;
    CRecordDownloadManager* m_pRecordDownloadMgr = nullptr;
    CPicDownloadManager* m_pPicDownloadMgr = nullptr;
    QPointer<CDownloadHistory> m_pHistory;
};
