#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QWidget>

#include <downloadengine/DownloadInfo.h>
#include <orbgui/OrbItemDataRole.h>

class QModelIndex;
class QPaintEvent;
class QShowEvent;
class QStandardItem;
class QStandardItemModel;
class QTimer;
class CRecordDownloadManager;
class CPicDownloadManager;

namespace ORBGUI {
class OrbTableView;
}

namespace Ui {
class DownloadingWidget;
}

// The "Downloading" page: a record table and a picture table of unfinished tasks, one shown at a
// time, driven by the download engine. Rows keep their task index under Qt::UserRole of column 0;
// anything that re-enters the event loop (the stop wait, modal boxes) is followed by a lookup by
// that index, never by a row number kept from before.
class QDownloadingWidget : public QWidget
{
    Q_OBJECT

public:
    // State of a task row, under Qt::UserRole of its Status cell and mirrored on its Percent cell.
    enum RecordTaskState
    {
        TaskWaiting = 0,
        TaskDownloading = 1,  // downloading or decoding
        TaskFailed = 2,
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
    void setProductName(const QString& strName);
    // Removes every row of both tables and disposes of their engine tasks, without questions.
    void clearDownloadingList();

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
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void initTableViews();
    void updateDownloadingItemNum();
    void waitWithEventLoop(int nMilliseconds);

    // How a removal of a record task ended for its caller.
    enum class RemovalOutcome
    {
        RowGone,    // the row had already left: nothing done
        Removed,    // row removed, engine task disposed of
        WidgetGone  // the widget was destroyed during the wait: the caller must return at once
    };
    // When the file of a stopped task is deleted.
    enum class FileRule
    {
        DeleteFile,
        DeleteFileIfOpenOSD
    };

    // Starts the first waiting record row from the top; only -1 does anything.
    void startDownload(int nIndex);
    void addRecordRow(int nIndex, const DownloadInfo& info);
    // Sets (bShow) or clears icon slot 2 of an Operate cell; the cell keeps nSpeed either way.
    void setSpeedButton(QStandardItem* pItem, int nSpeed, bool bShow);
    void continueRecordTask(int nRow);
    void changeRecordSpeed(int nRow);

    // Delete icon of a record row: one question, then the task the user clicked goes.
    void deleteRecordTask(int nRow);
    // The two branches of the Delete button, on the rows checked when it was pressed.
    void deleteCheckedRecords();
    void deleteCheckedPictures();
    // Removes the task's row (found again by index), then disposes of its engine task; with
    // bStop it is stopped first and its file deleted as eFile says after the stop wait.
    RemovalOutcome removeRecordTask(int nTaskIndex, int nRowHint, bool bStop, FileRule eFile);
    // Removes adjacent rows that go without a stop in one step, from nRunStart down, then
    // disposes of their tasks in order; empties listRun. One model call for the whole run: row
    // by row from the top, the model's cost grows with the rows already removed.
    void removeRecordRun(int nRunStart, QList<int>& listRun);
    // Row where a top-down walk goes on: the rows it passed and left in place are the only ones
    // above it, since rows are only ever appended. nRowHint is checked first.
    int resumeRecordWalk(const QSet<int>& setPassed, int nRowHint) const;
    bool isListedByEngine(int nTaskIndex) const;

    // Starts the first waiting picture row unless one is downloading; only -1 does anything.
    void startPicDownload(int nIndex);
    void addPicRow(int nIndex, const DownloadPicInfo& info);
    void deletePicTask(int nRow);
    void redownloadPicTask(int nRow);
    void setPicRowState(int nRow, RecordTaskState eState, const QString& strStatus, const QString& strIcon);
    // Failed: grey bar at its last percent and the re-download icon.
    void setPicRowFailed(int nRow);
    // The picture row the engine's notices are about, or -1.
    int downloadingPicRow() const;
    int findPicRow(int nTaskIndex, int nRowHint = -1) const;
    int picTaskIndex(int nRow) const;
    // State of a picture row; -1 when it has no Status cell.
    int picRowState(int nRow) const;

    // The row of a record task, or -1. nRowHint is checked first: the row rarely moves.
    int findRecordRow(int nTaskIndex, int nRowHint = -1) const;
    int recordTaskIndex(int nRow) const;
    // State of a record row; -1 when it has no Status cell.
    int recordRowState(int nRow) const;
    void setRecordRowState(int nRow, RecordTaskState eState, const QString& strStatus,
                           const QString& strIcon);
    // Re-applies the style sheet rules that depend on the "selected" property.
    static void setSelectedProperty(QWidget* pButton, bool bSelected);

    Ui::DownloadingWidget* ui = nullptr;
    ORBGUI::OrbTableView* m_pRecordTableView = nullptr;
    QStandardItemModel* m_pRecordModel = nullptr;
    int m_nDownloadIndex = 0;
    QTimer* m_pTimer = nullptr;
    QString m_strProductName;
    int m_nPicDownloadIndex = 0;
    ORBGUI::OrbTableView* m_pPicTableView = nullptr;
    QStandardItemModel* m_pPicModel = nullptr;
    CRecordDownloadManager* m_pRecordDownloadMgr = nullptr;
    CPicDownloadManager* m_pPicDownloadMgr = nullptr;
};
