#pragma once

#include <QObject>

#include <memory>

#include <downloadengine/DownloadInfo.h>
#include <orbgui/OrbItemDataRole.h>

#include "CTaskTable.h"
#include "CTimeLeft.h"

class QModelIndex;
class QStandardItemModel;
class QWidget;
class CPicDownloadManager;

// The picture side of the "Downloading" page: its table and the picture engine, which runs one
// package at a time and reports on it without naming it (the first downloading row is the one).
// The page forwards its picture slots here; questions are asked over the page, and texts are
// translated under the page's name, where the translators find them.
class CPicTaskList : public QObject
{
    Q_OBJECT

public:
    CPicTaskList(QStandardItemModel* pModel, CPicDownloadManager* pManager, QWidget* pPage);
    ~CPicTaskList() override;

    int rowCount() const;
    // A waiting row for a task the engine holds under nIndex.
    void addRow(int nIndex, const DownloadPicInfo& info);
    // A row for a stored task the engine holds again under nIndex; a failed one stays failed.
    void restoreRow(int nIndex, const CDownloadHistory::Entry& entry);
    // Keeps the rows in pHistory from now on (null: no more).
    void setHistory(CDownloadHistory* pHistory);
    // Stores the row just added.
    void storeLastRow(const CDownloadHistory::Entry& entry);
    // Starts the first waiting row unless one is downloading.
    void startNext();
    void onOperateClicked(const QModelIndex& modelIndex, ORBGUI::struTreeViewData::OrbItemDataRole eRole);
    void onFinished();
    void onError();
    void onProgress(qint64 nPercent);
    void onZipInfo(int nSize);
    // The speed and time left of the downloading row, every nIntervalMs.
    void refreshSpeed(int nIntervalMs);
    // The Delete button while the picture table shows: the rows checked at the press.
    void deleteChecked();
    // Removes every row and its engine task, without questions.
    void clear();

signals:
    // A package failed; its file name.
    void sgnFailed(const QString& strName);
    void sgnRowsChanged();
    // A package finished: the engine's final record, before its row goes.
    void sgnFinished(const DownloadPicInfo& info);

private:
    void deleteTask(int nRow);
    void redownload(int nRow);
    // Removes a row and its engine task; a downloading one goes only if the engine agrees to
    // stop it. False when it stays.
    bool removeTask(int nRow, bool bRunning);
    void setFailed(int nRow);

    std::unique_ptr<CTaskTable> m_pTable;
    CTimeLeft m_timeLeft;
    CPicDownloadManager* m_pManager;
    QWidget* m_pPage;
};
