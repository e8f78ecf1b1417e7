#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include <functional>

#include <downloadengine/DownloadInfo.h>

#include "CDownloadHistory.h"
#include "CPicTaskValue.h"
#include "CTaskRows.h"
#include "CTimeLeft.h"

class CPicDownloadManager;
class CPicTableModel;

// The picture packages not yet finished: the one owner of their tasks, and the queue that feeds
// them to the engine one at a time. The engine's reports name no task: they are about the one
// downloading.
class CPicTaskList : public QObject
{
    Q_OBJECT

public:
    CPicTaskList(CPicDownloadManager* pManager, QObject* parent);
    ~CPicTaskList() override;

    CPicTableModel* model() const { return m_pModel; }
    int count() const { return m_rows.count(); }
    int taskIndexAt(int nRow) const { return m_rows.taskIndexAt(nRow); }
    // State of a task, or -1 when it has no row.
    int state(int nTaskIndex) const { return m_rows.state(nTaskIndex); }

    // Registers a package, shows it waiting and starts it when nothing downloads. Its index.
    int add(const DownloadPicInfo& info);
    // Brings back the stored packages (failed ones stay failed) and keeps every task from now on;
    // once the events already pending are handled, starts the first and emits sgnRestored.
    void attachHistory(CDownloadHistory* pHistory);
    // Log-out: lets the history go first (what the engine reports from now on changes nothing
    // stored: every package comes back at the next start as it was), then has the engine drop
    // every package. Nothing starts, and nothing is added, from then on.
    void shutdown();

    // Starts the first waiting package unless one downloads; a refused one fails, and the queue
    // waits for the next trigger.
    void startNext();
    void onFinished();
    void onError();
    void onProgress(qint64 nPercent);
    void onZipInfo(qint64 nSize);
    // The speed and time left of the downloading package, nIntervalMs after the last refresh.
    void refresh(int nIntervalMs);
    // A failed package waits again; false for one without the icon (a stale click).
    bool redownload(int nTaskIndex);

    // The delete icon: a downloading package goes only when fnConfirm agrees and then the engine;
    // others go at once.
    void deleteTask(int nTaskIndex, const std::function<bool()>& fnConfirm);
    // The Delete button: the packages checked now, fnConfirm asked for each downloading one.
    // False when nothing was checked.
    bool deleteChecked(const std::function<bool()>& fnConfirm);
    // Everything at once, as many as the engine counts.
    void clear();

signals:
    // A package finished: the engine's final record, before its row goes.
    void sgnFinished(const DownloadPicInfo& info);
    void sgnFailed(const QString& strName);
    void sgnCountChanged();
    void sgnRestored();

private:
    // The downloading package's row, or -1.
    int runningRow() const;
    void setState(CPicTaskValue& task, CTaskTypes::State eState);
    // Removes a package and its engine task; a downloading one only if the engine stops it. True
    // when a downloading one went.
    bool remove(int nTaskIndex);

    CPicDownloadManager* m_pManager;
    CPicTableModel* m_pModel;
    CTaskRows<CPicTaskValue> m_rows;
    int m_nPicDownloadIndex = 0;
    CTimeLeft m_timeLeft;
    QPointer<CDownloadHistory> m_pHistory;
    bool m_bShutDown = false;
};
